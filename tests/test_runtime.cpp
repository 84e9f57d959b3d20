// The forms runtime: value functions, the random source, region records, and the
// virtual desktop's delivery of scripted input.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "forms/Form.h"
#include "forms/Menu.h"
#include "forms/Screen.h"
#include "forms/Platform.h"
#include "forms/Values.h"
#include "tests/support/VirtualDesktop.h"

namespace {

TEST(Values, ConversionToWholeNumbersTakesHalvesToTheEvenNeighbour)
{
    const std::pair<double, std::int32_t> cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {44.5, 44}, {45.5, 46}, {45.4, 45}, {-30.6, -31}};
    for (auto [x, expected] : cases)
        EXPECT_EQ(forms::CLng(x), expected) << x;
    EXPECT_EQ(forms::Int(-0.5), -1);
    EXPECT_EQ(forms::Int(6.999), 6);
}

TEST(Values, ValReadsTheLeadingNumberOnly)
{
    const std::pair<const char *, double> cases[] = {
        {"18", 18},   {"  7", 7},  {"-5", -5},   {"+3", 3},     {"18.5", 18.5}, {"1e3", 1},
        {"abc", 0},   {"", 0},     {"12abc", 12}, {".5", 0.5},  {"-", 0},       {"25 ", 25},
    };
    for (auto [text, expected] : cases)
        EXPECT_DOUBLE_EQ(forms::Val(text), expected) << text;
}

TEST(Values, TimeStampsAreWrittenAndReadInBothPatterns)
{
    const forms::DateTime t{2004, 5, 12, 0, 5, 9};
    EXPECT_EQ(forms::FormatStamp(t), "2004/05/12 00:05:09");
    EXPECT_EQ(forms::FormatDisplay(t), "2004年05月12日 00:05:09");
    EXPECT_EQ(forms::ParseStamp("2004/05/12 00:05:09"), t);
    EXPECT_EQ(forms::FormatDigits(1, 2), "01");
    EXPECT_EQ(forms::FormatDigits(25, 2), "25");
    for (const char *bad : {"2004/13/12 00:05:09", "2004/02/30 10:00:00", "2004/05/12 24:00:00", "2004/05/12",
                            "abc", "", "2004/05/12 00:05:09x", "2004-05-12 00:05:09"})
        EXPECT_FALSE(forms::ParseStamp(bad).has_value()) << bad;
    EXPECT_TRUE(forms::ParseStamp("2004/02/29 10:00:00").has_value());
}

TEST(RandomSource, ValuesStayBelowOneAndCoverTheRange)
{
    forms::SeedRandom(42);
    float lowest = 1, highest = 0;
    for (int i = 0; i < 100000; ++i) {
        const float r = forms::Rnd();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    EXPECT_LT(lowest, 0.001f);
    EXPECT_GT(highest, 0.999f);
}

// A burst reseeds at every particle launch, all within one clock tick: the reseeds
// must not replay one sequence, or every particle would get the same jitter.
TEST(RandomSource, ReseedsWithinOneClockTickDoNotReplayValues)
{
    VirtualDesktop desktop; // the tick count stands still
    std::set<float> firstValues;
    for (int i = 0; i < 19; ++i) {
        forms::Randomize();
        firstValues.insert(forms::Rnd());
    }
    EXPECT_EQ(firstValues.size(), 19u);
}

// Region records: a 32-byte header, then nCount rectangles of four 32-bit integers.
std::vector<std::int32_t> record(std::int32_t dwSize, std::int32_t iType, std::vector<std::array<int, 4>> rects)
{
    std::vector<std::int32_t> r{dwSize, iType, static_cast<std::int32_t>(rects.size()),
                                static_cast<std::int32_t>(16 * rects.size()), 0, 0, 0, 0};
    for (auto &rc : rects)
        r.insert(r.end(), rc.begin(), rc.end());
    return r;
}

std::uint32_t bytes(const std::vector<std::int32_t> &r) { return static_cast<std::uint32_t>(r.size() * 4); }

TEST(Regions, InvalidRecordsAreRefused)
{
    const forms::XFORM identity{1, 0, 0, 1, 0, 0};
    const auto good = record(32, 1, {{0, 0, 2, 2}, {3, 3, 5, 5}});
    EXPECT_TRUE(forms::ExtCreateRegion(&identity, bytes(good), good.data()));
    EXPECT_TRUE(forms::ExtCreateRegion(nullptr, bytes(good), good.data()));

    EXPECT_FALSE(forms::ExtCreateRegion(&identity, bytes(good), nullptr));
    const auto zero = std::vector<std::int32_t>(48, 0);
    EXPECT_FALSE(forms::ExtCreateRegion(&identity, bytes(zero), zero.data())) << "never-filled record";
    for (std::int32_t size : {31, 33}) {
        const auto r = record(size, 1, {{0, 0, 2, 2}});
        EXPECT_FALSE(forms::ExtCreateRegion(&identity, bytes(r), r.data())) << size;
    }
    const auto wrongType = record(32, 2, {{0, 0, 2, 2}});
    EXPECT_FALSE(forms::ExtCreateRegion(&identity, bytes(wrongType), wrongType.data()));
    EXPECT_FALSE(forms::ExtCreateRegion(&identity, 31, good.data())) << "shorter than a header";
    EXPECT_FALSE(forms::ExtCreateRegion(&identity, bytes(good) - 1, good.data())) << "last rectangle cut";
    const forms::XFORM scaled{2, 0, 0, 2, 0, 0};
    EXPECT_FALSE(forms::ExtCreateRegion(&scaled, bytes(good), good.data()));
    auto huge = good;
    huge[2] = 0x7fffffff; // a count that would overflow a naive size check
    EXPECT_FALSE(forms::ExtCreateRegion(&identity, bytes(huge), huge.data()));
}

// A window 20 pixels square to clip.
struct ShapedWindow : forms::Form {
    ShapedWindow() : forms::Form(forms::FormStyle::Hidden) { Move(0, 0, 300, 300); }
};

TEST(Regions, RectanglesAreHalfOpenAndEmptyOnesAddNothing)
{
    const auto r = record(32, 1, {{0, 0, 5, 5}, {5, 0, 10, 5}, {7, 7, 7, 9}, {9, 9, 8, 10}});
    forms::HRGN region = forms::ExtCreateRegion(nullptr, bytes(r), r.data());
    ASSERT_TRUE(region);

    ShapedWindow window;
    ASSERT_EQ(forms::SetWindowRgn(window.hWnd(), region, true), 1);
    EXPECT_FALSE(region) << "the window took the region over";
    EXPECT_EQ(window.hWnd()->shape(), (std::vector<forms::PixelRect>{{0, 0, 10, 5}}))
        << "touching rectangles merge; empty and inverted ones vanish";
}

TEST(Regions, AnEmptyRegionHidesTheWholeWindow)
{
    const auto r = record(32, 1, {});
    forms::HRGN region = forms::ExtCreateRegion(nullptr, bytes(r), r.data());
    ASSERT_TRUE(region);
    ShapedWindow window;
    forms::SetWindowRgn(window.hWnd(), region, false);
    const std::vector<forms::PixelRect> shape = window.hWnd()->shape();
    EXPECT_FALSE(shape.empty()) << "a window without a shape would be rectangular";
    for (const forms::PixelRect &rect : shape)
        EXPECT_TRUE(rect.right() <= 0 || rect.bottom() <= 0 || rect.left >= 20 || rect.top >= 20);
}

// A window with a control and a counter of presses on each, to watch delivery.
struct PressTarget : forms::Form {
    PressTarget() : forms::Form(forms::FormStyle::Strip), box(*this)
    {
        Move(0, 0, 3000, 1500);
        box.Move(0, 0, 600, 600);
        MouseDown = [this](std::int16_t b, std::int16_t, float, float) { formPresses.push_back(b); };
        box.MouseDown = [this](std::int16_t b, std::int16_t, float, float) { boxPresses.push_back(b); };
        Show();
    }
    forms::PictureBox box;
    std::vector<int> formPresses, boxPresses;
};

TEST(VirtualDesktop, ScriptedPressesArriveAtTheFirstPumpAfterTheirTime)
{
    VirtualDesktop desktop;
    PressTarget target;
    desktop.click(100, {5, 5}, forms::vbLeftButton);
    desktop.click(150, {100, 50}, forms::vbRightButton);
    desktop.click(150, {100, 50}, forms::vbMiddleButton);
    forms::DoEvents();
    EXPECT_TRUE(target.boxPresses.empty()) << "nothing before its time";
    forms::Sleep(120);
    EXPECT_TRUE(target.boxPresses.empty()) << "a wait handles no input";
    forms::DoEvents();
    EXPECT_EQ(target.boxPresses, std::vector<int>{1});
    EXPECT_TRUE(target.formPresses.empty()) << "the control under the point takes the press";
    forms::Sleep(40);
    forms::DoEvents();
    EXPECT_EQ(target.formPresses, (std::vector<int>{2, 4}));
}

// The runtime's one-shot timers run from the pump, never inside a wait, and never once
// their owner is gone; the idle desktop runs the pump at each one's time.
TEST(VirtualDesktop, TimersFireAtTheFirstPumpAfterTheirTimeWhileTheirOwnerLives)
{
    VirtualDesktop desktop;
    std::vector<std::uint64_t> fired;
    const auto record = [&] { fired.push_back(desktop.elapsed()); };
    auto owner = std::make_unique<forms::Timer>();
    owner->After(100, record);
    owner->After(30, [&] { owner->After(90, record); });
    forms::Timer().After(50, record);
    forms::Sleep(120);
    EXPECT_TRUE(fired.empty()) << "a wait runs no timer";
    forms::DoEvents();
    desktop.idle(1000);
    EXPECT_EQ(fired, (std::vector<std::uint64_t>{120, 210}));
    owner->After(10, record);
    owner.reset();
    desktop.idle(100);
    EXPECT_EQ(fired.size(), 2u) << "an owner's pending waits end with it";
}

// The program shows a panel, pumps once and then blocks: that one pump must paint it.
TEST(MessagePump, OnePassPaintsAControlJustShown)
{
    struct CountedBox : forms::PictureBox {
        using forms::PictureBox::PictureBox;
        void paint(forms::body::Canvas &canvas) override
        {
            ++paints;
            forms::PictureBox::paint(canvas);
        }
        int paints = 0;
    };
    PressTarget target;
    CountedBox box(target);
    box.Move(0, 0, 600, 600);
    forms::DoEvents();
    forms::DoEvents();
    box.setVisible(false);
    forms::DoEvents();
    box.paints = 0;
    box.setBackColor(forms::RGB(255, 255, 192));
    box.setVisible(true);
    forms::DoEvents();
    EXPECT_GT(box.paints, 0);
}

TEST(Exit, EndStopsTheProcessFromInsideNestedLoops)
{
    EXPECT_EXIT(
        {
            VirtualDesktop desktop;
            PressTarget target;
            target.box.MouseDown = [](std::int16_t, std::int16_t, float, float) {
                forms::DoEvents();
                forms::End();
            };
            desktop.clickNow({5, 5});
            forms::DoEvents();
            std::fputs("returned from the pump", stderr);
            std::abort();
        },
        testing::ExitedWithCode(0), testing::Not(testing::HasSubstr("returned")));
}

} // namespace
