// Sprite outlines: the three region records, the outlines they give real windows,
// and what the shaped sprites show over the strip().

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "app/frmBG.h"
#include "forms/Platform.h"
#include "sprites/mod_RGN_Data.h"
#include "sprites/mod_RGN_Proc.h"
#include "tests/support/Shot.h"
#include "tests/support/StripOnDesktop.h"

namespace {

using mod_RGN_Proc::RgnData;
using forms::PixelRect;
using forms::RGB;

// The pixels a shape covers, whatever rectangles it is stored as.
using Pixels = std::set<std::pair<int, int>>;

Pixels pixelsOf(const std::vector<PixelRect> &rects)
{
    Pixels pixels;
    for (const PixelRect &r : rects)
        for (int y = r.top; y < r.bottom(); ++y)
            for (int x = r.left; x < r.right(); ++x)
                pixels.emplace(x, y);
    return pixels;
}

PixelRect rectAt(const mod_RGN_Proc::RegionRecord &record, std::size_t at)
{
    return {record[at], record[at + 1], record[at + 2] - record[at], record[at + 3] - record[at + 1]};
}

std::vector<PixelRect> rectsOf(const mod_RGN_Proc::RegionRecord &record)
{
    std::vector<PixelRect> rects;
    for (int i = 0; i < record[2]; ++i)
        rects.push_back(rectAt(record, 8 + 4 * static_cast<std::size_t>(i)));
    return rects;
}

Pixels regionOf(const mod_RGN_Proc::RegionRecord &record) { return pixelsOf(rectsOf(record)); }

bool contains(const PixelRect &outer, const PixelRect &inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right() <= outer.right()
        && inner.bottom() <= outer.bottom();
}

// The pixels of a picture that are not of the given ground colour, as a window shows it on
// that ground.
Pixels pixelsOtherThan(const char *name, forms::Color ground)
{
    struct PictureWindow : forms::Form {
        PictureWindow() : forms::Form(forms::FormStyle::Hidden), box(*this) { box.setAutoSize(true); }
        forms::PictureBox box;
    } window;
    window.box.setBackColor(ground);
    window.box.setPicture(forms::Picture::Load(name));
    const Shot shot(*window.box.hWnd());
    Pixels pixels;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width; ++x)
            if (shot.at(x, y) != ground)
                pixels.emplace(x, y);
    return pixels;
}

// The pictures with clear pixels let the ground show through exactly there: the title's
// by its clear colour, the icon's by its mask.
TEST(Pictures, ClearPixelsShowTheGround)
{
    const struct {
        const char *name;
        std::size_t shown;
    } pictures[] = {{"title.gif", 470}, {"shotgun.ico", 194}};
    for (const auto &picture : pictures)
        EXPECT_EQ(pixelsOtherThan(picture.name, RGB(255, 0, 255)).size(), picture.shown) << picture.name;
}

TEST(OutlineRecords, HeadersDescribeTheirRectangles)
{
    mod_RGN_Proc::InitRgnData();
    struct Expected {
        int count;
        std::uint32_t bytes;
        PixelRect bound;
    };
    const Expected expected[] = {{2, 64, {1, 1, 11, 20}}, {9, 176, {1, 1, 11, 20}}, {4, 96, {1, 0, 12, 5}}};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto &record = RgnData[i];
        EXPECT_EQ(record[0], 32);
        EXPECT_EQ(record[1], 1);
        EXPECT_EQ(record[2], expected[i].count) << i;
        EXPECT_EQ(record[3], 16 * record[2]) << i;
        EXPECT_EQ(mod_RGN_Proc::RecordBytes(record), expected[i].bytes) << i;
        const PixelRect bound = rectAt(record, 4);
        EXPECT_EQ(bound, expected[i].bound) << i;
        std::size_t seen = 0;
        for (const PixelRect &rect : rectsOf(record)) {
            EXPECT_TRUE(contains(bound, rect)) << i << " rect " << rect.left << "," << rect.top;
            seen += static_cast<std::size_t>(rect.width * rect.height);
        }
        EXPECT_EQ(regionOf(record).size(), seen) << i << ": no two rectangles overlap";
    }
}

// Each outline must cut exactly the picture's ground away: a pixel too many shows a white
// or magenta speck on the strip, a pixel too few eats into the sprite.
TEST(OutlineRecords, OutlinesMatchThePictures)
{
    mod_RGN_Proc::InitRgnData();
    EXPECT_EQ(regionOf(RgnData[0]), pixelsOtherThan("shell_loaded.bmp", RGB(255, 255, 255)));
    EXPECT_EQ(regionOf(RgnData[1]), pixelsOtherThan("shell_spent.bmp", RGB(255, 255, 255)));
    EXPECT_EQ(regionOf(RgnData[2]), pixelsOtherThan("plate.bmp", RGB(255, 0, 255)));

    const Pixels dome = regionOf(RgnData[2]);
    const int widths[] = {6, 10, 12, 12};
    for (int row = 0; row < 4; ++row) {
        int first = 14, last = -1, count = 0;
        for (const auto &[x, y] : dome) {
            if (y != row + 1)
                continue;
            first = std::min(first, x);
            last = std::max(last, x);
            ++count;
        }
        EXPECT_EQ(last - first + 1, widths[row]) << "row " << row + 1;
        EXPECT_EQ(count, widths[row]) << "row " << row + 1 << " has no gap";
    }
}

using ShapedSprites = StripOnDesktop;

TEST_F(ShapedSprites, RealWindowsAreClippedToTheOutlines)
{
    EXPECT_EQ(pixelsOf(strip().SARA.hWnd()->shape()), regionOf(RgnData[2]));
    EXPECT_EQ(strip().SARA.hWnd()->screenRect().width, 14);
    EXPECT_EQ(strip().SARA.hWnd()->screenRect().height, 8);
    for (auto &icon : strip().pTama) {
        EXPECT_EQ(pixelsOf(icon.hWnd()->shape()), regionOf(RgnData[0]));
        EXPECT_EQ(icon.hWnd()->screenRect().width, 13);
        EXPECT_EQ(icon.hWnd()->screenRect().height, 22);
    }
}

TEST_F(ShapedSprites, SwitchingAShellToSpentKeepsItsBoxAndShowsOnlyTheOutline)
{
    auto &icon = strip().pTama[0];
    const PixelRect before = icon.hWnd()->screenRect();
    for (int round = 0; round < 2; ++round) {
        mod_RGN_Proc::SizeSprite(1, icon);
        mod_RGN_Proc::ApplyRgn(1, icon);
        mod_RGN_Data::SetSpritePicture(1, icon);
    }
    EXPECT_EQ(icon.Width(), 195);
    EXPECT_EQ(icon.Height(), 330);
    EXPECT_EQ(icon.hWnd()->screenRect(), before);
    const Pixels shape = pixelsOf(icon.hWnd()->shape());
    EXPECT_EQ(shape, regionOf(RgnData[1]));
    EXPECT_FALSE(shape.count({5, 8})) << "the shell's inside is see-through";
}

TEST_F(ShapedSprites, SizeSpriteIgnoresUnknownIndexes)
{
    strip().SARA.Move(100, 100, 500, 400);
    mod_RGN_Proc::SizeSprite(3, strip().SARA);
    mod_RGN_Proc::SizeSprite(-1, strip().SARA);
    EXPECT_EQ(strip().SARA.Width(), 500);
    EXPECT_EQ(strip().SARA.Height(), 400);
}

// The plate's magenta ground and the shells' white margins must never reach the screen.
TEST_F(ShapedSprites, NoGroundColourShowsOnTheStrip)
{
    strip().SARA.Move(3000, 300);
    strip().SARA.setVisible(true);
    for (auto &icon : strip().pTama)
        icon.setVisible(true);
    const Shot shot(*strip().hWnd());
    const PixelRect origin = strip().hWnd()->screenRect();
    auto onStrip = [&](const forms::Control &c) {
        const PixelRect r = c.hWnd()->screenRect();
        return PixelRect{r.left - origin.left, r.top - origin.top, r.width, r.height};
    };
    const PixelRect plate = onStrip(strip().SARA);
    EXPECT_EQ(shot.count(plate, RGB(255, 0, 255)), 0);
    EXPECT_GT(shot.count(plate, RGB(255, 255, 255)), 0) << "the dome itself is drawn";
    const PixelRect left = onStrip(strip().pTama[0]), right = onStrip(strip().pTama[1]);
    const PixelRect shells{left.left, std::min(left.top, right.top), right.right() - left.left,
                           std::max(left.bottom(), right.bottom()) - std::min(left.top, right.top)};
    EXPECT_EQ(shot.count(shells, RGB(255, 255, 255)), 0);
    EXPECT_GT(shot.count(shells, RGB(0, 0, 128)), 0) << "the loaded shells' bodies are drawn";
}

TEST(OutlineFailure, ARecordThatWasNeverFilledEndsTheProgramWithAMessage)
{
    EXPECT_EXIT(
        {
            VirtualDesktop desktop;
            forms::hooks().msgBox = [](const std::string &text) { std::fprintf(stderr, "message: %s\n", text.c_str()); };
            forms::PictureBox &plate = forms::Default<frmBG>().SARA;
            RgnData[2].fill(0);
            mod_RGN_Proc::ApplyRgn(2, plate);
            std::fputs("went on after the failure\n", stderr);
        },
        testing::ExitedWithCode(0),
        testing::AllOf(testing::HasSubstr("message: It failed in reading of region data."),
                       testing::Not(testing::HasSubstr("went on"))));
}

} // namespace
