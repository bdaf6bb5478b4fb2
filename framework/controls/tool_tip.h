// Tooltip control of a dialog. It is created by its owner and destroyed with it, so the wrapper
// owns nothing. Messages relayed before it exists (or after a failed create) go nowhere.
#pragma once

#include "framework/controls/window_ctl.h"

#include <commctrl.h>

class CToolTipCtl : public CWindowCtl
{
public:
    // CreateWindowExA(TOOLTIPS_CLASSA) owned by `owner`; false when the control cannot be made
    bool Create(HWND owner)
    {
        m_hWnd = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                   owner, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        m_owner = owner;
        return m_hWnd != nullptr;
    }
    // TTM_ADDTOOLA: the control `tool` of the owner shows string resource `textId`
    bool AddTool(HWND tool, UINT textId)
    {
        TOOLINFOA info = {};
        // The first layout of the record: every version of the control takes it.
        info.cbSize = TTTOOLINFOA_V2_SIZE;
        info.uFlags = TTF_IDISHWND; // the tool is a control; messages come through RelayEvent
        info.hwnd = m_owner;
        info.uId = reinterpret_cast<UINT_PTR>(tool);
        info.hinst = ::GetModuleHandleA(nullptr);
        info.lpszText = MAKEINTRESOURCEA(textId);
        return Send(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
    }
    // TTM_ACTIVATE
    void Activate(bool active) { Send(TTM_ACTIVATE, active ? TRUE : FALSE); }
    // TTM_GETTOOLCOUNT
    int GetToolCount() const { return static_cast<int>(Send(TTM_GETTOOLCOUNT)); }
    // TTM_RELAYEVENT; a no-op while there is no control
    void RelayEvent(MSG* msg)
    {
        if (m_hWnd != nullptr)
        {
            ::SendMessageA(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
        }
    }

private:
    HWND m_owner = nullptr;
};
