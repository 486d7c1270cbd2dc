// Line timing: bytes arrive by the cumulative schedule of their busy period.
#include "sim/LinePacer.h"

#include <gtest/gtest.h>

namespace {
using std::chrono::microseconds;
const SimTime t0 = SimTime() + seconds(1000);
} // namespace

TEST(LinePacer, BytesArriveAtTheirByteTime)
{
    LinePacer line(115200); // 11,520 bytes a second
    line.Push(11520, t0);
    EXPECT_EQ(line.TakeDue(t0), 0u);
    EXPECT_EQ(line.TakeDue(t0 + milliseconds(500)), 5760u);
    EXPECT_EQ(line.TakeDue(t0 + seconds(1) - nanoseconds(1)), 5759u);
    EXPECT_EQ(line.TakeDue(t0 + seconds(1)), 1u);
    EXPECT_FALSE(line.NextDue());
}

TEST(LinePacer, ManySmallWritesDoNotDrift)
{
    // A writer faster than the line, one byte at a time for ten seconds'
    // worth: the last byte is due exactly when the count says, however late
    // the reader wakes.
    LinePacer line(9600); // 960 bytes a second, 1,041,666.67 ns each
    for (int i = 0; i < 9600; ++i)
        line.Push(1, t0 + microseconds(100) * i);
    size_t taken = 0;
    for (SimTime t = t0; t < t0 + seconds(10); t += microseconds(3331))
        taken += line.TakeDue(t);
    EXPECT_LT(taken, 9600u);
    EXPECT_EQ(line.NextDue(), t0 + seconds(10));
    EXPECT_EQ(taken + line.TakeDue(t0 + seconds(10)), 9600u);
}

TEST(LinePacer, IdleLineStartsAfreshAndLatencyAdds)
{
    LinePacer line(115200, milliseconds(20));
    line.Push(10, t0);
    const SimTime later = t0 + seconds(5);
    EXPECT_EQ(line.TakeDue(later), 10u);
    line.Push(1, later);
    EXPECT_EQ(line.NextDue(), later + milliseconds(20) + nanoseconds(86806));

    LinePacer unpaced(0, milliseconds(20));
    unpaced.Push(100, t0);
    EXPECT_EQ(unpaced.TakeDue(t0 + milliseconds(19)), 0u);
    EXPECT_EQ(unpaced.TakeDue(t0 + milliseconds(20)), 100u);
}

TEST(LinePacer, BurstEndIsTheLastByteOfTheBurstOnItsWay)
{
    LinePacer line(115200, milliseconds(1)); // 86,805.6 ns a byte
    EXPECT_FALSE(line.BurstEndDue());
    line.Push(1029, t0); // a 1K block
    const SimTime end = t0 + nanoseconds(1029LL * 1000000000 / 11520) + milliseconds(1);
    ASSERT_TRUE(line.BurstEndDue());
    EXPECT_LE(*line.BurstEndDue() - end, nanoseconds(1));
    EXPECT_GE(*line.BurstEndDue() - end, nanoseconds(-1));
    line.TakeDue(t0 + milliseconds(50)); // part of it delivered: the end stays
    EXPECT_LE(*line.BurstEndDue() - end, nanoseconds(1));
    line.TakeDue(end + nanoseconds(1));
    EXPECT_FALSE(line.BurstEndDue()) << "nothing left on its way";
}
