// Progress bar. Its range ends are 16-bit values (PBM_SETRANGE).
#pragma once

#include "framework/controls/window_ctl.h"

#include <commctrl.h>

#include <cstdint>

class CProgressCtl : public CWindowCtl
{
public:
    // PBM_SETRANGE; each end keeps its low 16 bits
    void SetRange(std::uint16_t lower, std::uint16_t upper)
    {
        Send(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
    }
    // PBM_SETPOS; returns the previous position
    int SetPos(int position) { return static_cast<int>(Send(PBM_SETPOS, position)); }
    // PBM_GETPOS
    int GetPos() const { return static_cast<int>(Send(PBM_GETPOS)); }
    // PBM_GETRANGE: true for the lower end, false for the upper end
    int GetRangeLimit(bool lower) const
    {
        return static_cast<int>(Send(PBM_GETRANGE, lower ? TRUE : FALSE));
    }
};
