// The Win32 body's pictures and the drawing of windows with GDI, magnified to the device
// scale without smoothing.

#include "forms/win32/Native.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace forms::win32 {

namespace {

HBITMAP makeDib(int width, int height, std::uint32_t **bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // rows top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *memory = nullptr;
    const HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    *bits = static_cast<std::uint32_t *>(memory);
    return dib;
}

std::uint32_t opaque(COLORREF c)
{
    return 0xFF000000u | static_cast<std::uint32_t>(GetRValue(c)) << 16 | static_cast<std::uint32_t>(GetGValue(c)) << 8
           | GetBValue(c);
}

bool isAscii(const std::string &text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Where a logical coordinate lands on the device.
int device(int logical, double factor) { return static_cast<int>(std::lround(logical * factor)); }

} // namespace

HRGN region(const std::vector<PixelRect> &rects, double factor, PixelPoint origin)
{
    const HRGN outline = CreateRectRgn(0, 0, 0, 0);
    for (const PixelRect &rect : rects) {
        const int left = origin.x + rect.left, top = origin.y + rect.top;
        const HRGN piece = CreateRectRgn(device(left, factor), device(top, factor), device(left + rect.width, factor),
                                         device(top + rect.height, factor));
        CombineRgn(outline, outline, piece, RGN_OR);
        DeleteObject(piece);
    }
    return outline;
}

std::vector<PixelRect> canonical(const std::vector<PixelRect> &rects)
{
    if (rects.empty())
        return {};
    const HRGN outline = region(rects, 1.0, {});
    std::vector<RGNDATA> data(GetRegionData(outline, 0, nullptr) / sizeof(RGNDATA) + 1);
    GetRegionData(outline, static_cast<DWORD>(data.size() * sizeof(RGNDATA)), data.data());
    DeleteObject(outline);
    const auto *band = reinterpret_cast<const RECT *>(data.front().Buffer);
    std::vector<PixelRect> merged;
    for (DWORD i = 0; i < data.front().rdh.nCount; ++i)
        merged.push_back({band[i].left, band[i].top, band[i].right - band[i].left, band[i].bottom - band[i].top});
    return merged;
}

Bitmap::Bitmap(int width, int height, std::vector<std::uint32_t> pixels)
    : width_(width), height_(height), pixels_(std::move(pixels))
{
}

Bitmap::~Bitmap() { changed(); }

void Bitmap::resize(int width, int height, std::uint32_t fill)
{
    std::vector<std::uint32_t> grown(static_cast<std::size_t>(width) * height, fill);
    for (int y = 0; y < std::min(height, height_); ++y)
        std::copy_n(&at(0, y), std::min(width, width_), &grown[static_cast<std::size_t>(y) * width]);
    width_ = width;
    height_ = height;
    pixels_ = std::move(grown);
    changed();
}

void Bitmap::changed()
{
    if (scaled_)
        DeleteObject(scaled_);
    scaled_ = nullptr;
}

HBITMAP Bitmap::scaled(double factor) const
{
    if (scaled_ && scaledFactor_ == factor)
        return scaled_;
    if (scaled_)
        DeleteObject(scaled_);
    const int w = device(width_, factor), h = device(height_, factor);
    std::uint32_t *bits = nullptr;
    scaled_ = makeDib(w, h, &bits);
    scaledFactor_ = factor;
    // Nearest neighbour: each picture pixel becomes one solid block.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bits[static_cast<std::size_t>(y) * w + x] =
                at(std::min(width_ - 1, static_cast<int>(x / factor)), std::min(height_ - 1, static_cast<int>(y / factor)));
    return scaled_;
}

HICON Bitmap::icon() const
{
    std::uint32_t *bits = nullptr;
    const HBITMAP colour = makeDib(width_, height_, &bits);
    for (std::size_t i = 0; i < pixels_.size(); ++i) {
        const std::uint32_t p = pixels_[i], a = p >> 24;
        const auto straight = [&](int shift) { return a ? ((p >> shift & 0xFF) * 255 / a) << shift : 0u; };
        bits[i] = (a << 24) | straight(16) | straight(8) | straight(0);
    }
    const HBITMAP mask = CreateBitmap(width_, height_, 1, 1, nullptr);
    ICONINFO info{TRUE, 0, 0, mask, colour};
    const HICON icon = CreateIconIndirect(&info);
    DeleteObject(mask);
    DeleteObject(colour);
    return icon;
}

RECT DeviceCanvas::device(const PixelRect &r) const
{
    const int left = origin_.x + r.left, top = origin_.y + r.top;
    return RECT{win32::device(left, factor_), win32::device(top, factor_), win32::device(left + r.width, factor_),
                win32::device(top + r.height, factor_)};
}

void DeviceCanvas::fill(const PixelRect &rect, Color color)
{
    const RECT r = device(rect);
    const HBRUSH brush = CreateSolidBrush(colorRef(color));
    FillRect(dc_, &r, brush);
    DeleteObject(brush);
}

void DeviceCanvas::frame(const PixelRect &rect, Color color)
{
    fill({rect.left, rect.top, rect.width, 1}, color);
    fill({rect.left, rect.bottom() - 1, rect.width, 1}, color);
    fill({rect.left, rect.top, 1, rect.height}, color);
    fill({rect.right() - 1, rect.top, 1, rect.height}, color);
}

void DeviceCanvas::drawImage(const body::Image &image, PixelPoint at)
{
    const RECT r = device({at.x, at.y, image.width(), image.height()});
    if (!RectVisible(dc_, &r))
        return;
    const auto &bitmap = static_cast<const Bitmap &>(image);
    const HBITMAP scaled = bitmap.scaled(factor_);
    BITMAP size{};
    GetObjectW(scaled, sizeof size, &size);
    const HDC source = CreateCompatibleDC(dc_);
    const HGDIOBJ old = SelectObject(source, scaled);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(dc_, r.left, r.top, size.bmWidth, size.bmHeight, source, 0, 0, size.bmWidth, size.bmHeight, blend);
    SelectObject(source, old);
    DeleteDC(source);
}

HFONT DeviceCanvas::font(const body::Font &f, bool japanese, int narrowTo)
{
    // Made once for the process: a program shows a handful of fonts, and making one (finding
    // a face with the glyphs) costs more than the paint that asks for it.
    static std::map<std::tuple<std::string, int, bool, bool, int>, HFONT> made;
    const int height = win32::device(f.pixelSize, factor_);
    const auto key = std::make_tuple(f.family, height, f.bold, japanese, narrowTo);
    if (const auto found = made.find(key); found != made.end())
        return found->second;
    LOGFONTW wanted{};
    wanted.lfHeight = -height;
    wanted.lfWidth = narrowTo;
    wanted.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
    // Asking for the Japanese character set gets a face with its glyphs wherever the
    // named one lacks them, whatever the system's locale.
    wanted.lfCharSet = japanese ? SHIFTJIS_CHARSET : DEFAULT_CHARSET;
    wanted.lfQuality = DEFAULT_QUALITY;
    const std::wstring face = widen(f.family).substr(0, LF_FACESIZE - 1);
    std::copy(face.begin(), face.end(), wanted.lfFaceName);
    return made.emplace(key, CreateFontIndirectW(&wanted)).first->second;
}

void DeviceCanvas::drawText(const PixelRect &box, const std::string &text, const body::Font &f, Color color,
                            body::TextAlign align)
{
    const RECT r = device(box);
    if (!RectVisible(dc_, &r))
        return;
    const std::wstring wide = widen(text);
    const bool japanese = !isAscii(text);
    const int boxWidth = r.right - r.left;
    SelectObject(dc_, font(f, japanese, 0));
    SIZE extent{};
    GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &extent);
    // A text wider than its box gets narrower letters rather than being cut.
    if (extent.cx > boxWidth && extent.cx > 0) {
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc_, &metrics);
        for (int width = metrics.tmAveCharWidth * boxWidth / extent.cx; width > 0 && extent.cx > boxWidth; --width) {
            SelectObject(dc_, font(f, japanese, width));
            GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &extent);
        }
    }
    const int x = align == body::TextAlign::Center ? r.left + (boxWidth - extent.cx) / 2 : r.left;
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, colorRef(color));
    SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    ExtTextOutW(dc_, std::max(x, static_cast<int>(r.left)), r.top, ETO_CLIPPED, &r, wide.c_str(),
                static_cast<UINT>(wide.size()), nullptr);
}

void DeviceCanvas::enter(const PixelRect &child, const std::vector<PixelRect> &shape)
{
    savedStates_.push_back(SaveDC(dc_));
    origin_ = {origin_.x + child.left, origin_.y + child.top};
    const RECT box = device({0, 0, child.width, child.height});
    IntersectClipRect(dc_, box.left, box.top, box.right, box.bottom);
    if (shape.empty())
        return;
    const HRGN outline = region(shape, factor_, origin_);
    ExtSelectClipRgn(dc_, outline, RGN_AND);
    DeleteObject(outline);
}

void DeviceCanvas::leave(const PixelRect &child)
{
    origin_ = {origin_.x - child.left, origin_.y - child.top};
    RestoreDC(dc_, savedStates_.back());
    savedStates_.pop_back();
}

void PersistentSurface::copy(const body::Image &image, const PixelRect &source, const PixelRect &target,
                             Color background)
{
    const PixelRect window = window_.rect();
    const int width = std::max(window.width, 1), height = std::max(window.height, 1);
    const std::uint32_t fill = opaque(colorRef(background));
    if (!bitmap_)
        bitmap_ = std::make_unique<Bitmap>(width, height, std::vector<std::uint32_t>(std::size_t(width) * height, fill));
    else if (bitmap_->width() < width || bitmap_->height() < height)
        bitmap_->resize(std::max(width, bitmap_->width()), std::max(height, bitmap_->height()), fill);
    const auto &picture = static_cast<const Bitmap &>(image);
    if (target.width <= 0 || target.height <= 0 || source.width <= 0 || source.height <= 0)
        return;
    // Stretched without smoothing: each target pixel takes the source pixel it falls on.
    for (int y = std::max(target.top, 0); y < std::min(target.bottom(), bitmap_->height()); ++y) {
        const int sy = source.top + (y - target.top) * source.height / target.height;
        for (int x = std::max(target.left, 0); x < std::min(target.right(), bitmap_->width()); ++x) {
            const int sx = source.left + (x - target.left) * source.width / target.width;
            const bool inside = sx >= 0 && sy >= 0 && sx < picture.width() && sy < picture.height();
            bitmap_->at(x, y) = inside ? picture.at(sx, sy) : fill;
        }
    }
    bitmap_->changed();
}

} // namespace forms::win32
