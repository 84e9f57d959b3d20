// The hit burst: the particle step's arithmetic, the launch of one particle and of 19, the
// frame pacing and the end of a burst.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "app/frmBG.h"
#include "burst/modBarn.h"
#include "tests/support/VirtualDesktop.h"

namespace {

TEST(ParticleStep, WorkedExamples)
{
    struct Case {
        std::int32_t angle;
        double spd, t;
        double dx, dy;
    };
    // The degree divisor is not 180/pi: a sideways particle also drifts down a little.
    const Case cases[] = {
        {90, 300, 1, 299.9999, 5.2389},
        {0, 600, 2, 0, 1220},
        {180, 100, 1, 0.1593, -94.9999},
        {270, 200, 0, 0, 0},
    };
    VirtualDesktop desktop;
    frmDot dot;
    for (const Case &c : cases) {
        dot.StX = 6000;
        dot.StY = 6000;
        dot.Angle = c.angle;
        dot.Spd = c.spd;
        dot.T = c.t;
        dot.Color = 200;
        dot.ColMSpd = 7;
        dot.Flag = true;
        EXPECT_FALSE(modBarn::StepDot(dot, {0, 0, 12000, 12000}));
        EXPECT_NEAR(dot.X - dot.StX, c.dx, 0.001) << c.angle;
        EXPECT_NEAR(dot.Y - dot.StY, c.dy, 0.001) << c.angle;
        EXPECT_DOUBLE_EQ(dot.T, c.t + 0.15);
        EXPECT_EQ(dot.Color, 193);
        EXPECT_TRUE(dot.Flag);
    }
}

TEST(ParticleStep, RetiresOffTheScreenOrFadedOut)
{
    VirtualDesktop desktop;
    frmDot dot;
    auto launch = [&](double x, double y, std::int32_t color, std::int32_t fade) {
        dot.StX = x;
        dot.StY = y;
        dot.Angle = 0;
        dot.Spd = 0;
        dot.T = 0;
        dot.Color = color;
        dot.ColMSpd = fade;
        dot.Flag = true;
    };
    launch(0, 0, 255, 4); // exactly on the edge: still on the screen
    EXPECT_FALSE(modBarn::StepDot(dot, {0, 0, 1000, 1000}));
    launch(-1, 10, 255, 4);
    EXPECT_TRUE(modBarn::StepDot(dot, {0, 0, 1000, 1000}));
    EXPECT_FALSE(dot.Flag);
    launch(10, 1000.5, 255, 4);
    EXPECT_TRUE(modBarn::StepDot(dot, {0, 0, 1000, 1000}));
    launch(10, 10, 3, 4); // fades below zero
    EXPECT_TRUE(modBarn::StepDot(dot, {0, 0, 1000, 1000}));
    launch(10, 10, 4, 4); // exactly zero is still drawn
    EXPECT_FALSE(modBarn::StepDot(dot, {0, 0, 1000, 1000}));
    EXPECT_EQ(dot.Color, 0);
}

// The particles of a burst are armed one slot at a time.
class LaunchDot : public ::testing::Test {
protected:
    void SetUp() override { modBarn::InitDots(); }
    VirtualDesktop desktop;
};

TEST_F(LaunchDot, RoundsTheAngleAndArmsTheParticle)
{
    const std::pair<double, std::int32_t> angles[] = {{44.5, 44}, {45.5, 46}, {45.4, 45}, {-29.5, -30}, {389.6, 390}};
    std::set<std::int32_t> fades;
    for (auto [angle, stored] : angles) {
        for (int round = 0; round < 40; ++round) {
            frmDot &dot = *modBarn::Dots[3];
            dot.Flag = false;
            dot.T = 5;
            dot.Color = -3;
            modBarn::LaunchDot(3, 1500.5, 2500.25, angle, 310.5);
            EXPECT_TRUE(dot.Flag);
            EXPECT_EQ(dot.Angle, stored) << angle;
            EXPECT_EQ(dot.StX, 1500.5);
            EXPECT_EQ(dot.StY, 2500.25);
            EXPECT_EQ(dot.Spd, 310.5);
            EXPECT_EQ(dot.T, 0);
            EXPECT_EQ(dot.Color, 255);
            EXPECT_GE(dot.ColMSpd, 4);
            EXPECT_LE(dot.ColMSpd, 10);
            fades.insert(dot.ColMSpd);
            EXPECT_FALSE(dot.hWnd()->shown()) << "launching shows nothing yet";
        }
    }
    EXPECT_EQ(fades.size(), 7u) << "every fade from 4 to 10 occurs";
}

TEST_F(LaunchDot, LeavesAFlyingParticleAlone)
{
    frmDot &dot = *modBarn::Dots[7];
    modBarn::LaunchDot(7, 100, 200, 20, 300);
    dot.T = 1.5;
    dot.Color = 120;
    const auto before = std::make_tuple(dot.StX, dot.StY, dot.T, dot.Spd, dot.Angle, dot.Color, dot.ColMSpd);
    modBarn::LaunchDot(7, 900, 900, 180, 50);
    EXPECT_EQ(std::make_tuple(dot.StX, dot.StY, dot.T, dot.Spd, dot.Angle, dot.Color, dot.ColMSpd), before);
}

// Watches a burst frame by frame: what each particle window shows at every wait.
class BurstRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        forms::Default<frmBG>().Load();
        desktop.onSleep = [this](std::uint64_t, std::uint32_t ms) {
            sleeps.push_back(ms);
            for (int j = 0; j < modBarn::kDotCount; ++j) {
                const frmDot &dot = *modBarn::Dots[static_cast<std::size_t>(j)];
                const bool visible = dot.hWnd()->shown();
                if (visible && !wasVisible[j])
                    ++shown[j];
                wasVisible[j] = visible;
                if (visible) {
                    const forms::PixelRect place = dot.hWnd()->screenRect();
                    drawn[j].push_back({place.left, place.top});
                    minLeft = std::min(minLeft, dot.Left());
                    minTop = std::min(minTop, dot.Top());
                }
            }
        };
    }

    VirtualDesktop desktop;
    std::vector<std::uint32_t> sleeps;
    std::map<int, int> shown;
    std::map<int, bool> wasVisible;
    std::map<int, std::vector<forms::PixelPoint>> drawn;
    float minLeft = 1e9f, minTop = 1e9f;
};

TEST_F(BurstRun, NineteenParticlesFlyAndAllEndHidden)
{
    const forms::PixelRect screen = forms::PrimaryScreen().geometry;
    modBarn::Burst(screen.width * 15 / 2.0, screen.height * 15 / 2.0);

    EXPECT_EQ(shown.count(0), 0u) << "slot 0 takes no part";
    for (int j = 1; j < 20; ++j) {
        EXPECT_EQ(shown[j], 1) << "slot " << j << " is shown once per flight";
        ASSERT_FALSE(drawn[j].empty());
        EXPECT_EQ(drawn[j].front(), (forms::PixelPoint{screen.width / 2, screen.height / 2}))
            << "first frame at the origin";
    }
    // Base angles 0 and 360 both fly down-ish, each with its own jitter.
    EXPECT_NE(modBarn::Dots[1]->Angle % 360, modBarn::Dots[19]->Angle % 360);
    EXPECT_LE(sleeps.size(), 64u);
    EXPECT_GE(sleeps.size(), 26u) << "the fastest fade still takes 25 drawn frames";
    for (std::uint32_t ms : sleeps)
        EXPECT_EQ(ms, modBarn::kFrameMs) << "no time passes in the frame's work here";
    for (const auto &dot : modBarn::Dots) {
        EXPECT_FALSE(dot->Flag);
        EXPECT_FALSE(dot->hWnd()->shown());
    }
}

TEST_F(BurstRun, TheLastFrameDrawsNothingButStillWaitsAndPumps)
{
    int pumpsAfterLastSleep = -1;
    desktop.onSleep = [&, previous = desktop.onSleep](std::uint64_t at, std::uint32_t ms) {
        previous(at, ms);
        pumpsAfterLastSleep = desktop.pumps;
    };
    modBarn::Burst(6000, 6000);
    bool anyVisibleAtLastSleep = false;
    for (auto &[slot, visible] : wasVisible)
        anyVisibleAtLastSleep |= visible;
    EXPECT_FALSE(anyVisibleAtLastSleep);
    EXPECT_EQ(desktop.pumps, pumpsAfterLastSleep + 1);
}

TEST_F(BurstRun, ParticlesNearTheTopLeftCornerAreNeverDrawnOffTheScreen)
{
    modBarn::Burst(30, 30);
    EXPECT_GE(minLeft, 0);
    EXPECT_GE(minTop, 0);
    int drawnParticles = 0;
    for (auto &[slot, points] : drawn)
        drawnParticles += !points.empty();
    EXPECT_EQ(drawnParticles, 19) << "every particle is drawn at the origin first";
}

// The frame takes 15 ms of work here; the wait makes up the rest of 40 ms even when the
// tick counter wraps between the two readings.
TEST_F(BurstRun, FramesArePacedTo40msAcrossTheTickCountersWrap)
{
    std::uint32_t tick = 0xFFFFFF00u;
    forms::hooks().tickCount = [&] {
        const std::uint32_t now = tick;
        tick += 15;
        return now;
    };
    modBarn::Burst(6000, 6000);
    ASSERT_FALSE(sleeps.empty());
    EXPECT_LT(tick, 0xFFFFFF00u) << "the counter wrapped during the burst";
    for (std::uint32_t ms : sleeps)
        EXPECT_EQ(ms, modBarn::kFrameMs - 15);
}

// --- Golden seeds --------------------------------------------------------------------------

// The first particles of a burst from a fixed seed of the random source: the direction,
// speed and fade each one is launched with. The numbers were taken from this program
// (virtual time, burst at the clock's start) by running this test with the table empty
// and printing what it saw. They pin the order of the three draws per particle, the
// jitter and speed formulas and the reseeding at each launch: a change here changes the
// game's chance and must be deliberate.
struct DotGolden {
    std::int32_t angle;
    float spd;             // twips per unit of T
    std::int32_t colMSpd;
};

struct BurstGolden {
    std::uint64_t seed;
    DotGolden first[3];    // slots 1, 2 and 3: base angles 0, 20 and 40 degrees
};

// Launches a burst from a fresh desktop with the seed and returns the launch values of
// slots 1 to 3, read at the first frame's wait (the motion step changes none of them).
std::vector<DotGolden> launchBurst(std::uint64_t seed)
{
    VirtualDesktop desktop(seed);
    modBarn::InitDots();
    std::vector<DotGolden> seen;
    desktop.onSleep = [&](std::uint64_t, std::uint32_t) {
        if (!seen.empty())
            return;
        for (std::size_t slot = 1; slot <= 3; ++slot) {
            const frmDot &dot = *modBarn::Dots[slot];
            seen.push_back({dot.Angle, static_cast<float>(dot.Spd), dot.ColMSpd});
        }
    };
    modBarn::Burst(6000, 6000);
    return seen;
}

TEST(GoldenSeeds, TheFirstParticlesOfABurstAreFixedBySeed)
{
    const BurstGolden golden[] = {
        // seed, then angle (degrees), speed (twips per unit of T) and fade of slots 1 to 3.
        {1, {{1, 89.9237289f, 5}, {36, 240.056885f, 7}, {41, 363.049194f, 4}}},
        {7, {{4, 365.615479f, 8}, {33, 95.1951752f, 8}, {61, 526.03717f, 9}}},
        {20261207, {{-14, 162.81842f, 8}, {27, 297.102264f, 10}, {36, 77.0404129f, 6}}},
    };
    for (const BurstGolden &g : golden) {
        const std::vector<DotGolden> seen = launchBurst(g.seed);
        ASSERT_EQ(seen.size(), 3u) << "seed " << g.seed;
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(seen[i].angle, g.first[i].angle) << "seed " << g.seed << ", slot " << i + 1;
            EXPECT_EQ(seen[i].spd, g.first[i].spd) << "seed " << g.seed << ", slot " << i + 1;
            EXPECT_EQ(seen[i].colMSpd, g.first[i].colMSpd) << "seed " << g.seed << ", slot " << i + 1;
        }
    }
}

} // namespace
