#include "station/station_totals.h"

#include <cstdio>

namespace
{
constexpr double kSecondsPerHour = 3600.0;
constexpr double kPercent = 100.0;
} // namespace

StationTotals TotalsOf(const std::vector<const CTileModel*>& tiles,
                       std::chrono::steady_clock::time_point started,
                       std::chrono::steady_clock::time_point now)
{
    StationTotals totals;
    unsigned firstAttempts = 0;
    unsigned firstPasses = 0;
    for (const CTileModel* tile : tiles)
    {
        totals.passed += tile->Passed();
        totals.failed += tile->Failures();
        firstAttempts += tile->FirstAttempts();
        firstPasses += tile->FirstAttemptPasses();
    }
    totals.firstPassYield =
        firstAttempts > 0 ? static_cast<double>(firstPasses) / firstAttempts : 0.0;
    const double hours = std::chrono::duration<double>(now - started).count() / kSecondsPerHour;
    totals.unitsPerHour = hours > 0 ? totals.passed / hours : 0.0;
    return totals;
}

std::string TotalsText(const StationTotals& totals)
{
    char text[160];
    std::snprintf(text, sizeof text, "passed %u  failed %u  first-pass yield %.1f %%  units/h %.0f",
                  totals.passed, totals.failed, totals.firstPassYield * kPercent,
                  totals.unitsPerHour);
    return text;
}

void CJournalCount::Apply(const PortEvent& event)
{
    if (event.kind == PortEvent::Kind::Journal)
    {
        ++(event.journalWritten ? m_written : m_failed);
    }
}
