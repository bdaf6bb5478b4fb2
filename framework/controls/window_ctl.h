// Base of the control wrappers: a non-owning handle of a child window, bound by data exchange.
// Every method sends one message (or makes one call) and says which in its comment.
#pragma once

#include <windows.h>

#include <cassert>

class CWindowCtl
{
public:
    void Attach(HWND control) { m_hWnd = control; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // EnableWindow
    void Enable(bool enable) { ::EnableWindow(Checked(), enable ? TRUE : FALSE); }
    // IsWindowEnabled
    bool IsEnabled() const { return ::IsWindowEnabled(Checked()) != FALSE; }
    // GetDlgCtrlID
    int GetId() const { return ::GetDlgCtrlID(Checked()); }
    // WM_GETTEXT (GetWindowTextA); returns the length copied
    int GetText(char* buffer, int size) const { return ::GetWindowTextA(Checked(), buffer, size); }
    // WM_SETTEXT (SetWindowTextA)
    void SetText(const char* text) { ::SetWindowTextA(Checked(), text); }

protected:
    HWND Checked() const
    {
        assert(::IsWindow(m_hWnd));
        return m_hWnd;
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(Checked(), message, wParam, lParam);
    }

    HWND m_hWnd = nullptr;
};
