#include "serial/stopwatch.h"

CStopwatch::CStopwatch() : m_available(FALSE), m_frequency(0), m_startCount(0)
{
    LARGE_INTEGER frequency{};
    m_available = QueryPerformanceFrequency(&frequency);
    m_frequency = frequency.QuadPart;
}

BOOL CStopwatch::Start()
{
    if (!m_available)
        return FALSE;
    LARGE_INTEGER now{};
    const BOOL read = QueryPerformanceCounter(&now);
    m_startCount = now.QuadPart;
    return read;
}

double CStopwatch::ElapsedSeconds()
{
    if (!m_available)
        return 0.0;
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const LONGLONG counts = now.QuadPart - m_startCount;
    return static_cast<double>(counts) / static_cast<double>(m_frequency);
}
