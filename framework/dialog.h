// A modal dialog built from a dialog template, in the manner of MFC's CDialog: DoModal runs it,
// the object reaches its window through the parameter of DialogBoxParamA (stored at
// WM_INITDIALOG), messages go through the message table of the most derived class, and data
// exchange moves texts between controls and fields.
#pragma once

#include "framework/message_map.h"

#include <windows.h>

class CDataExchange;

class CDialog
{
public:
    // The template is a dialog resource of the program file. Without a parent the thread's
    // active window (if any) owns the dialog while it runs.
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the dialog and runs it until EndDialog. Returns EndDialog's result, or -1 when the
    // dialog could not be created.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const;

    // true: takes the controls' contents into the fields; false: puts the fields into the
    // controls. Returns true when the exchange succeeded.
    bool UpdateData(bool saveAndValidate = true);

    // Owned message box with the application's name as caption unless one is given.
    int ShowMessageBox(const char* text, UINT type = MB_OK, const char* caption = nullptr) const;

protected:
    // Virtual operations in MFC's order: message table, data exchange, pre-translation,
    // initialisation, then the two endings.
    virtual const MessageMap& GetMessageMap() const;
    virtual void DoDataExchange(CDataExchange& dx);

public:
    // Sees every message that a modal loop of this thread takes for this dialog or one of its
    // controls, before the dialog's keyboard handling. true consumes the message.
    virtual BOOL PreTranslateMessage(MSG* msg);

protected:
    // Runs once the controls exist; the base puts the fields into the controls. Returns true to
    // let the system set the focus.
    virtual BOOL OnInitDialog();
    // IDOK (Enter): take the controls into the fields, then end with IDOK.
    virtual void OnOK();
    // IDCANCEL (Escape, close box): end with IDCANCEL.
    virtual void OnCancel();

    // Called by a handler that wants the default dialog processing to see the message as well
    // (false), as if its row were not there.
    void SetMsgHandled(bool handled) { m_msgHandled = handled; }

    HWND m_hWnd = nullptr; // valid from WM_INITDIALOG to WM_NCDESTROY

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Result(UINT message, LRESULT result);

    UINT m_templateId;
    HWND m_parent;
    bool m_msgHandled = true;
};
