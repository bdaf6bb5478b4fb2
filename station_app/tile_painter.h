// Draws one tile from its model: a fill of the state's tone, the state in large text, the
// progress bar with percent, rate and elapsed time, the handset, the counters, and the last
// failure with its hint. Drawn anew each time: no picture is kept or swapped.
#pragma once

#include "station/tile_model.h"

#include <windows.h>

#include <string>

class CTilePainter
{
public:
    CTilePainter();
    ~CTilePainter();
    CTilePainter(const CTilePainter&) = delete;
    CTilePainter& operator=(const CTilePainter&) = delete;

    void Paint(HDC dc, const RECT& area, const std::string& port, const CTileModel& tile,
               CTileModel::Clock::time_point now) const;

private:
    HFONT m_stateFont = nullptr; // large and bold
    HFONT m_textFont = nullptr;
};
