// The station header's totals since Start station: passes and failures of every tile, the
// first-pass yield, units per hour, and the journal's lines.
#pragma once

#include "station/tile_model.h"

#include <chrono>
#include <vector>

struct StationTotals
{
    unsigned passed = 0;
    unsigned failed = 0;
    double firstPassYield = 0.0; // 0 to 1, of units' first attempts; 0 before any
    double unitsPerHour = 0.0;   // units passed
};

// `tiles` since `started`.
StationTotals TotalsOf(const std::vector<const CTileModel*>& tiles,
                       std::chrono::steady_clock::time_point started,
                       std::chrono::steady_clock::time_point now);

// "passed 41  failed 2  first-pass yield 95.3 %  units/h 212"
std::string TotalsText(const StationTotals& totals);

// The journal's lines as the header tells them: written, and failed to be written.
class CJournalCount
{
public:
    void Apply(const PortEvent& event);
    unsigned Written() const { return m_written; }
    unsigned Failed() const { return m_failed; }

private:
    unsigned m_written = 0;
    unsigned m_failed = 0;
};
