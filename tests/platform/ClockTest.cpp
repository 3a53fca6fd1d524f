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

}  // namespace
}  // namespace vantrel
