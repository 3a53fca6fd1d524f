#include <gtest/gtest.h>

#include "platform/Clock.h"

namespace vantrel {
namespace {

TEST(ClockTest, ElapsedTicksAcrossTheWrap)
{
    EXPECT_EQ(ElapsedTicks(100, 350), 250u);
    // The counter wrapped: start near the top, now near zero.
    EXPECT_EQ(ElapsedTicks(0xFFFFFFF0u, 0x10u), 0x1Fu);
    VirtualClock clock;
    clock.SetTickOffset(0xFFFFFF00u);
    const uint32_t start = clock.TickCount();
    clock.Sleep(0x200);
    EXPECT_LT(clock.TickCount(), start);
    EXPECT_GE(ElapsedTicks(start, clock.TickCount()), 0x1FFu);
}

// The simulated line wakes its reader inside a millisecond; the program's
// millisecond rules must read the same as on a whole-millisecond clock.
TEST(ClockTest, MillisecondRulesStayExactBetweenWholeMilliseconds)
{
    VirtualClock clock(1000);
    EXPECT_EQ(clock.NowUs(), 1000000u);
    clock.SleepUntilUs(1000400);
    EXPECT_EQ(clock.NowUs(), 1000400u);
    EXPECT_EQ(clock.NowMs(), 1000u) << "a millisecond reading counts only whole milliseconds";

    clock.Sleep(5);
    EXPECT_EQ(clock.NowUs(), 1005400u) << "a pause lasts exactly its length";
    clock.SleepUntil(1007);
    EXPECT_EQ(clock.NowUs(), 1007000u) << "a millisecond deadline wakes at its first microsecond";
    clock.SleepUntil(1003);
    clock.SleepUntilUs(1006999);
    EXPECT_EQ(clock.NowUs(), 1007000u) << "time never goes back";

    // The 32-bit tick counter wraps from a reading inside a millisecond.
    clock.SetTickOffset(0xFFFFFFFFu - 1007u);
    clock.SleepUntilUs(1007999);
    const uint32_t start = clock.TickCount();
    EXPECT_EQ(start, 0xFFFFFFFFu);
    clock.SleepUntilUs(1008001);
    EXPECT_EQ(clock.TickCount(), 0u);
    clock.Sleep(10);
    EXPECT_EQ(clock.TickCount(), 10u);
    EXPECT_EQ(ElapsedTicks(start, clock.TickCount()), 10u);

    // A deadline too far off to count in microseconds is "never", not a time in the past.
    clock.SleepUntil(~0ull / 100);
    EXPECT_EQ(clock.NowUs(), ~0ull);
}

TEST(ClockTest, RealClockSleepsToTheMicrosecondAndAgreesWithItsMilliseconds)
{
    RealClock clock;
    const uint64_t us = clock.NowUs();
    const uint64_t ms = clock.NowMs();
    EXPECT_GE(ms, us / 1000);
    EXPECT_LE(ms, us / 1000 + 50);
    const uint64_t target = clock.NowUs() + 1500;
    clock.SleepUntilUs(target);
    EXPECT_GE(clock.NowUs(), target);
    // A time already past returns at once.
    const uint64_t before = clock.NowUs();
    clock.SleepUntilUs(before - 1000);
    clock.SleepUntil(clock.NowMs() - 1);
    EXPECT_LT(clock.NowUs() - before, 100000u);
}

}  // namespace
}  // namespace vantrel
