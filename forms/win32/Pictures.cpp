// The Win32 body's pictures, decoded from the program's resources: bitmaps and GIFs by
// stb_image, the icon by the system. (GDI+ would read all three, but starting it took
// longer than everything else the strip needs before it shows.)

#include "forms/win32/Native.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace forms::win32 {

namespace {

// The program cannot run without its pictures.
[[noreturn]] void missingPicture(const std::string &name)
{
    std::fprintf(stderr, "kestrin: cannot load the picture %s\n", name.c_str());
    std::fflush(nullptr);
    ExitProcess(1);
}

// The resource's bytes: a picture file compiled in as RCDATA under its upper-case name.
std::optional<std::pair<const BYTE *, DWORD>> resourceBytes(const std::string &name)
{
    const HRSRC found = FindResourceW(nullptr, widen(name).c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found)
        return std::nullopt;
    const HGLOBAL loaded = LoadResource(nullptr, found);
    const void *bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return std::nullopt;
    return std::make_pair(static_cast<const BYTE *>(bytes), SizeofResource(nullptr, found));
}

// Straight alpha to the premultiplied ARGB that GDI's blending wants.
std::uint32_t premultiplied(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a)
{
    const auto times = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | times(r) << 16 | times(g) << 8 | times(b);
}

std::unique_ptr<Bitmap> decodeImage(const BYTE *bytes, DWORD size)
{
    int width = 0, height = 0, channels = 0;
    stbi_uc *rgba = stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &channels, 4);
    if (!rgba)
        return nullptr;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const stbi_uc *p = rgba + 4 * i;
        pixels[i] = premultiplied(p[0], p[1], p[2], p[3]);
    }
    stbi_image_free(rgba);
    return std::make_unique<Bitmap>(width, height, std::move(pixels));
}

// A bitmap's pixels as 32-bit rows, top down.
std::vector<std::uint32_t> pixelsOf(HBITMAP bitmap, int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    const HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// The first picture of an icon file. Its colours carry alpha when it has 32 bits a pixel;
// otherwise its mask says which pixels are clear.
std::unique_ptr<Bitmap> decodeIcon(const BYTE *bytes, DWORD size)
{
    constexpr DWORD kDirectory = 6, kEntry = 16; // ICONDIR, then ICONDIRENTRY each
    if (size < kDirectory + kEntry)
        return nullptr;
    DWORD length = 0, offset = 0;
    std::memcpy(&length, bytes + kDirectory + 8, sizeof length);
    std::memcpy(&offset, bytes + kDirectory + 12, sizeof offset);
    if (offset > size || length > size - offset)
        return nullptr;
    const HICON icon =
        CreateIconFromResourceEx(const_cast<BYTE *>(bytes + offset), length, TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
    ICONINFO parts{};
    if (!icon || !GetIconInfo(icon, &parts)) {
        if (icon)
            DestroyIcon(icon);
        return nullptr;
    }
    BITMAP shape{};
    GetObjectW(parts.hbmColor, sizeof shape, &shape);
    std::vector<std::uint32_t> colours = pixelsOf(parts.hbmColor, shape.bmWidth, shape.bmHeight);
    const std::vector<std::uint32_t> mask = pixelsOf(parts.hbmMask, shape.bmWidth, shape.bmHeight);
    const bool hasAlpha = std::any_of(colours.begin(), colours.end(), [](std::uint32_t c) { return c >> 24; });
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const std::uint32_t c = colours[i], alpha = hasAlpha ? c >> 24 : (mask[i] & 0xFFFFFF ? 0 : 255);
        colours[i] = premultiplied(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF, alpha);
    }
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    DestroyIcon(icon);
    return std::make_unique<Bitmap>(shape.bmWidth, shape.bmHeight, std::move(colours));
}

bool isIcon(const std::string &name) { return name.size() > 4 && name.compare(name.size() - 4, 4, ".ico") == 0; }

} // namespace

} // namespace forms::win32

namespace forms::body {

std::shared_ptr<const Image> loadImage(const std::string &name)
{
    const auto bytes = win32::resourceBytes(name);
    if (!bytes)
        win32::missingPicture(name);
    std::shared_ptr<const Image> picture = win32::isIcon(name) ? win32::decodeIcon(bytes->first, bytes->second)
                                                               : win32::decodeImage(bytes->first, bytes->second);
    if (!picture)
        win32::missingPicture(name);
    return picture;
}

} // namespace forms::body
