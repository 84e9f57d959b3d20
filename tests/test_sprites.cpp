// Sprite outlines: the three region records, the outlines they give real widgets,
// and what the shaped sprites show over the strip().

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>
#include <QRegion>
#include <QWidget>

#include "forms/Platform.h"
#include "app/frmBG.h"
#include "sprites/mod_RGN_Data.h"
#include "sprites/mod_RGN_Proc.h"
#include "tests/support/StripOnDesktop.h"

namespace {

using mod_RGN_Proc::RgnData;

QRect rectAt(const mod_RGN_Proc::RegionRecord &record, std::size_t at)
{
    return QRect(record[at], record[at + 1], record[at + 2] - record[at], record[at + 3] - record[at + 1]);
}

QRegion regionOf(const mod_RGN_Proc::RegionRecord &record)
{
    QRegion region;
    for (int i = 0; i < record[2]; ++i)
        region += rectAt(record, 8 + 4 * static_cast<std::size_t>(i));
    return region;
}

// The pixels of a picture that are not of the given ground colour.
QRegion pixelsOtherThan(const char *resource, QRgb ground)
{
    const QImage image(resource);
    QRegion region;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != (ground & 0xFFFFFF))
                region += QRect(x, y, 1, 1);
    return region;
}

// Regions cover the same pixels, whatever rectangles they are stored as.
bool samePixels(const QRegion &a, const QRegion &b) { return a.xored(b).isEmpty(); }

TEST(OutlineRecords, HeadersDescribeTheirRectangles)
{
    mod_RGN_Proc::InitRgnData();
    struct Expected {
        int count;
        std::uint32_t bytes;
        QRect bound;
    };
    const Expected expected[] = {{2, 64, QRect(1, 1, 11, 20)}, {9, 176, QRect(1, 1, 11, 20)}, {4, 96, QRect(1, 0, 12, 5)}};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto &record = RgnData[i];
        EXPECT_EQ(record[0], 32);
        EXPECT_EQ(record[1], 1);
        EXPECT_EQ(record[2], expected[i].count) << i;
        EXPECT_EQ(record[3], 16 * record[2]) << i;
        EXPECT_EQ(mod_RGN_Proc::RecordBytes(record), expected[i].bytes) << i;
        const QRect bound = rectAt(record, 4);
        EXPECT_EQ(bound, expected[i].bound) << i;
        QRegion seen;
        for (int r = 0; r < record[2]; ++r) {
            const QRect rect = rectAt(record, 8 + 4 * static_cast<std::size_t>(r));
            EXPECT_TRUE(bound.contains(rect)) << i << " rect " << r;
            EXPECT_FALSE(seen.intersects(rect)) << i << " rect " << r << " overlaps";
            seen += rect;
        }
    }
}

// Each outline must cut exactly the picture's ground away: a pixel too many shows a white
// or magenta speck on the strip, a pixel too few eats into the sprite.
TEST(OutlineRecords, OutlinesMatchThePictures)
{
    mod_RGN_Proc::InitRgnData();
    EXPECT_TRUE(samePixels(regionOf(RgnData[0]), pixelsOtherThan(":/shell_loaded.bmp", qRgb(255, 255, 255))));
    EXPECT_TRUE(samePixels(regionOf(RgnData[1]), pixelsOtherThan(":/shell_spent.bmp", qRgb(255, 255, 255))));
    EXPECT_TRUE(samePixels(regionOf(RgnData[2]), pixelsOtherThan(":/plate.bmp", qRgb(255, 0, 255))));

    const QRegion dome = regionOf(RgnData[2]);
    const int widths[] = {6, 10, 12, 12};
    for (int row = 0; row < 4; ++row) {
        const QRegion line = dome & QRect(0, row + 1, 14, 1);
        EXPECT_EQ(line.boundingRect().width(), widths[row]) << "row " << row + 1;
        EXPECT_EQ(line.rectCount(), 1);
    }
}

using ShapedSprites = StripOnDesktop;

TEST_F(ShapedSprites, RealWidgetsAreClippedToTheOutlines)
{
    EXPECT_TRUE(samePixels(strip().SARA.hWnd()->mask(), regionOf(RgnData[2])));
    EXPECT_EQ(strip().SARA.hWnd()->size(), QSize(14, 8));
    for (auto &icon : strip().pTama) {
        EXPECT_TRUE(samePixels(icon.hWnd()->mask(), regionOf(RgnData[0])));
        EXPECT_EQ(icon.hWnd()->size(), QSize(13, 22));
    }
}

TEST_F(ShapedSprites, SwitchingAShellToSpentKeepsItsBoxAndShowsOnlyTheOutline)
{
    auto &icon = strip().pTama[0];
    const QRect before = icon.hWnd()->geometry();
    for (int round = 0; round < 2; ++round) {
        mod_RGN_Proc::SizeSprite(1, icon);
        mod_RGN_Proc::ApplyRgn(1, icon);
        mod_RGN_Data::SetSpritePicture(1, icon);
    }
    EXPECT_EQ(icon.Width(), 195);
    EXPECT_EQ(icon.Height(), 330);
    EXPECT_EQ(icon.hWnd()->geometry(), before);
    EXPECT_TRUE(samePixels(icon.hWnd()->mask(), regionOf(RgnData[1])));
    EXPECT_FALSE(icon.hWnd()->mask().contains(QPoint(5, 8))) << "the shell's inside is see-through";
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
    const QImage shot = strip().hWnd()->grab().toImage();
    auto count = [&](QRect area, QRgb colour) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += (shot.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
        return n;
    };
    const QRect plate = strip().SARA.hWnd()->geometry();
    EXPECT_EQ(count(plate, qRgb(255, 0, 255)), 0);
    EXPECT_GT(count(plate, qRgb(255, 255, 255)), 0) << "the dome itself is drawn";
    const QRect shells = strip().pTama[0].hWnd()->geometry().united(strip().pTama[1].hWnd()->geometry());
    EXPECT_EQ(count(shells, qRgb(255, 255, 255)), 0);
    EXPECT_GT(count(shells, qRgb(0, 0, 128)), 0) << "the loaded shells' bodies are drawn";
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
