#include "framework/data_exchange.h"

#include "framework/controls/window_ctl.h"
#include "framework/dialog.h"

#include <climits>

HWND CDataExchange::Control(int id) const
{
    return m_dialog.GetDlgItem(id);
}

void DDX_Control(CDataExchange& dx, int id, CWindowCtl& control)
{
    control.Attach(dx.Control(id));
}

void DDX_Text(CDataExchange& dx, int id, char* buffer, std::size_t size)
{
    HWND control = dx.Control(id);
    if (control == nullptr || size == 0)
    {
        return;
    }
    if (dx.m_bSaveAndValidate)
    {
        const int room = size > INT_MAX ? INT_MAX : static_cast<int>(size);
        buffer[0] = '\0';
        GetWindowTextA(control, buffer, room);
    }
    else
    {
        SetWindowTextA(control, buffer);
    }
}
