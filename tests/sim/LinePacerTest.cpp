// Line timing: bytes arrive by the cumulative schedule of their busy period.
#include "sim/LinePacer.h"

#include <gtest/gtest.h>

TEST(LinePacer, BytesArriveAtTheirByteTimeWithoutDrift)
{
    const SimTime t0 = SimTime() + seconds(1000);
    LinePacer line(115200, milliseconds(1)); // 11,520 bytes a second, 86,805.6 ns each
    line.Push(11520, t0);
    EXPECT_EQ(line.TakeDue(t0 + milliseconds(501)), 5760u);
    EXPECT_EQ(line.TakeDue(t0 + milliseconds(1001) - nanoseconds(1)), 5759u);
    ASSERT_TRUE(line.BurstEndDue()); // the end of what is on its way, for the relay's wake-up
    EXPECT_EQ(*line.BurstEndDue(), t0 + milliseconds(1001));
    EXPECT_EQ(line.TakeDue(t0 + milliseconds(1001)), 1u);
    EXPECT_FALSE(line.NextDue() || line.BurstEndDue());
    // After a pause the line starts afresh, with the latency added.
    line.Push(1, t0 + seconds(5));
    EXPECT_EQ(line.NextDue(), t0 + seconds(5) + milliseconds(1) + nanoseconds(86806));

    // A writer faster than the line, a byte at a time for ten seconds' worth,
    // and a reader that wakes late: the last byte is due exactly on time.
    LinePacer slow(9600);
    for (int i = 0; i < 9600; ++i)
        slow.Push(1, t0 + std::chrono::microseconds(100 * i));
    size_t taken = 0;
    for (SimTime t = t0; t < t0 + seconds(10); t += std::chrono::microseconds(3331))
        taken += slow.TakeDue(t);
    EXPECT_EQ(slow.NextDue(), t0 + seconds(10));
    EXPECT_EQ(taken + slow.TakeDue(t0 + seconds(10)), 9600u);
}
