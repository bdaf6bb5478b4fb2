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
    // LB_INSERTSTRING; -1 appends at the end, also in a sorted list
    int InsertString(int index, const char* text)
    {
        return static_cast<int>(Send(LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text)));
    }
    // LB_FINDSTRINGEXACT over the whole list, case ignored; LB_ERR when absent
    int FindStringExact(const char* text) const
    {
        return static_cast<int>(
            Send(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)));
    }
    // LB_FINDSTRING: the first line that begins with the text, case ignored; LB_ERR when none
    int FindString(const char* prefix) const
    {
        return static_cast<int>(
            Send(LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(prefix)));
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
