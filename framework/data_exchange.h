// Data exchange between a dialog's controls and its fields (UpdateData): DoDataExchange lists
// the bindings, and each binding moves its value in the direction the caller asked for.
#pragma once

#include <windows.h>

#include <cstddef>

class CDialog;
class CWindowCtl;

class CDataExchange
{
public:
    CDataExchange(CDialog& dialog, bool saveAndValidate)
        : m_dialog(dialog), m_bSaveAndValidate(saveAndValidate)
    {
    }

    HWND Control(int id) const;

    CDialog& m_dialog;
    const bool m_bSaveAndValidate; // true: controls to fields; false: fields to controls
};

// Binds a control wrapper to the dialog's control with this id.
void DDX_Control(CDataExchange& dx, int id, CWindowCtl& control);

// Exchanges a control's text (for a combo box: its edit field) with a zero-terminated buffer.
void DDX_Text(CDataExchange& dx, int id, char* buffer, std::size_t size);

template <std::size_t N> void DDX_Text(CDataExchange& dx, int id, char (&buffer)[N])
{
    DDX_Text(dx, id, buffer, N);
}
