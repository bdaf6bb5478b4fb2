// List box.
#pragma once

#include "framework/controls/window_ctl.h"

class CListBoxCtl : public CWindowCtl
{
public:
    // LB_ADDSTRING; returns the new line's index
    int AddString(const char* text)
    {
        return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    // LB_DELETESTRING
    int DeleteString(int index) { return static_cast<int>(Send(LB_DELETESTRING, index)); }
    // LB_RESETCONTENT
    void ResetContent() { Send(LB_RESETCONTENT); }
    // LB_GETCOUNT
    int GetCount() const { return static_cast<int>(Send(LB_GETCOUNT)); }
    // LB_SETCURSEL
    int SetCurSel(int index) { return static_cast<int>(Send(LB_SETCURSEL, index)); }
    // LB_GETCURSEL
    int GetCurSel() const { return static_cast<int>(Send(LB_GETCURSEL)); }
    // LB_GETTEXTLEN
    int GetTextLen(int index) const { return static_cast<int>(Send(LB_GETTEXTLEN, index)); }
    // LB_GETTEXT; the caller has made sure the line fits (GetTextLen)
    int GetText(int index, char* buffer) const
    {
        return static_cast<int>(Send(LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer)));
    }
};
