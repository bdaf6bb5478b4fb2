// The download stopwatch on the performance counter.

#include <gtest/gtest.h>

#include <windows.h>

#include "serial/stopwatch.h"

namespace
{

constexpr DWORD kIntervalMs = 200;
// Sleep and the tick count are coarse; the counter is not.
constexpr double kToleranceSeconds = 0.1;

TEST(StopwatchTest, MeasuresTheTimeSinceStart)
{
    CStopwatch stopwatch;
    ASSERT_TRUE(stopwatch.m_available);
    ASSERT_GT(stopwatch.m_frequency, 0);

    ASSERT_TRUE(stopwatch.Start());
    const ULONGLONG startTicks = GetTickCount64();
    Sleep(kIntervalMs);
    const double elapsed = stopwatch.ElapsedSeconds();
    const double ticks = static_cast<double>(GetTickCount64() - startTicks) / 1000.0;

    EXPECT_GE(elapsed, kIntervalMs / 1000.0 - kToleranceSeconds);
    EXPECT_NEAR(ticks, elapsed, kToleranceSeconds);
}

TEST(StopwatchTest, EveryStartCountsFromThatMoment)
{
    CStopwatch stopwatch;
    ASSERT_TRUE(stopwatch.Start());
    Sleep(kIntervalMs);
    const double first = stopwatch.ElapsedSeconds();

    ASSERT_TRUE(stopwatch.Start());
    const double second = stopwatch.ElapsedSeconds();
    EXPECT_LT(second, first);
    EXPECT_LT(second, kToleranceSeconds);
}

TEST(StopwatchTest, KeepsTheFractionOfASecond)
{
    CStopwatch stopwatch;
    ASSERT_TRUE(stopwatch.Start());
    // As if started 90.5 seconds ago.
    stopwatch.m_startCount -= stopwatch.m_frequency * 90 + stopwatch.m_frequency / 2;
    const double elapsed = stopwatch.ElapsedSeconds();
    EXPECT_GE(elapsed, 90.5);
    EXPECT_LT(elapsed, 90.5 + kToleranceSeconds);
}

TEST(StopwatchTest, WithoutACounterStaysAtZeroAndKeepsItsStart)
{
    CStopwatch stopwatch;
    stopwatch.m_available = FALSE;
    stopwatch.m_startCount = 12345;

    EXPECT_FALSE(stopwatch.Start());
    EXPECT_EQ(12345, stopwatch.m_startCount);
    EXPECT_EQ(0.0, stopwatch.ElapsedSeconds());
}

} // namespace
