// Combo box (drop-down list or drop-down with edit field).
#pragma once

#include "framework/controls/window_ctl.h"

#include <cstddef>

class CComboBoxCtl : public CWindowCtl
{
public:
    // CB_GETCURSEL; CB_ERR without a selection
    int GetCurSel() const { return static_cast<int>(Send(CB_GETCURSEL)); }
    // CB_SETCURSEL
    int SetCurSel(int index) { return static_cast<int>(Send(CB_SETCURSEL, index)); }
    // CB_GETCOUNT
    int GetCount() const { return static_cast<int>(Send(CB_GETCOUNT)); }
    // CB_GETLBTEXTLEN
    int GetLBTextLen(int index) const { return static_cast<int>(Send(CB_GETLBTEXTLEN, index)); }
    // CB_GETLBTEXT; the caller has made sure the entry fits (GetLBTextLen)
    int GetLBText(int index, char* buffer) const
    {
        return static_cast<int>(Send(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer)));
    }
    // CB_ADDSTRING
    int AddString(const char* text)
    {
        return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    // CB_INSERTSTRING
    int InsertString(int index, const char* text)
    {
        return static_cast<int>(Send(CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text)));
    }
    // CB_DELETESTRING
    int DeleteString(int index) { return static_cast<int>(Send(CB_DELETESTRING, index)); }
    // CB_FINDSTRINGEXACT over the whole list, case ignored
    int FindStringExact(const char* text) const
    {
        return static_cast<int>(
            Send(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)));
    }
    // CB_RESETCONTENT
    void ResetContent() { Send(CB_RESETCONTENT); }
};
