#pragma once

#include <windows.h>

// Elapsed download time from the high-resolution performance counter. Every reading is computed
// afresh from the counter, so a missed timer tick loses no time.
class CStopwatch
{
public:
    CStopwatch();
    // Counts from now on; an earlier start is forgotten. FALSE, and nothing changes, without a
    // performance counter.
    BOOL Start();
    // Seconds since the last Start(); 0.0 without a performance counter.
    double ElapsedSeconds();

    BOOL m_available;      // the performance counter exists
    LONGLONG m_frequency;  // counts per second
    LONGLONG m_startCount; // counter value at the last Start()
};
