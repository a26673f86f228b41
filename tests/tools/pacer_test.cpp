#include "noteserver/pacer.h"

#include <gtest/gtest.h>

namespace quillpost::noteserver::test {
namespace {

using namespace std::chrono_literals;
using Clock = Pacer::Clock;

// A fake clock: time points are made from a fixed origin, nothing waits.
const Clock::time_point t0 {};

TEST(Pacer, FirstPulseIsDueAtOnceThenOnePerPeriod)
{
    Pacer pacer(250ms);
    EXPECT_TRUE(pacer.due(t0));
    EXPECT_EQ(pacer.untilNext(t0), 0ms);
    pacer.pulseStarted(t0);
    EXPECT_FALSE(pacer.due(t0 + 249ms));
    EXPECT_EQ(pacer.untilNext(t0 + 100ms), 150ms);
    EXPECT_TRUE(pacer.due(t0 + 250ms));
}

TEST(Pacer, LatePulseIsNotMadeUpFor)
{
    Pacer pacer(250ms);
    pacer.pulseStarted(t0);
    pacer.pulseStarted(t0 + 700ms); // should have started at 250
    EXPECT_FALSE(pacer.due(t0 + 750ms));
    EXPECT_FALSE(pacer.due(t0 + 949ms));
    EXPECT_TRUE(pacer.due(t0 + 950ms));
}

TEST(Pacer, WaitIsRoundedUpSoThePollerDoesNotSpin)
{
    Pacer pacer(10ms);
    pacer.pulseStarted(t0);
    EXPECT_EQ(pacer.untilNext(t0 + 9ms + 500us), 1ms);
    EXPECT_EQ(pacer.untilNext(t0 + 9ms + 1us), 1ms);
    EXPECT_EQ(pacer.untilNext(t0 + 10ms), 0ms);
}

} // namespace
} // namespace quillpost::noteserver::test
