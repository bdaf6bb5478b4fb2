#include "station_app/preset_job_dlg.h"

#include "settings/preset_registry.h"
#include "station_app/serial_ports.h"
#include "station_app/station_ids.h"

#include <cstring>

namespace
{
// The text of line `index` of a list or combo box (get-length and get-text messages given).
std::string LineText(HWND list, int index, UINT lengthMessage, UINT textMessage)
{
    const LRESULT length = SendMessageA(list, lengthMessage, static_cast<WPARAM>(index), 0);
    if (length < 0)
    {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(list, textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(std::strlen(text.c_str()));
    return text;
}
} // namespace

CPresetJobDlg::CPresetJobDlg(HWND parent) : CDialog(IDD_STATION_PRESET, parent) {}

BOOL CPresetJobDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const HWND presets = GetDlgItem(IDC_STATION_PRESET_LIST);
    try
    {
        const CPresetRegistry registry("");
        for (const std::string& name : registry.Presets())
        {
            SendMessageA(presets, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        }
    }
    catch (const PresetListFailure& failure)
    {
        ShowMessageBox(failure.what(), MB_OK | MB_ICONSTOP);
    }
    SendMessageA(presets, CB_SETCURSEL, 0, 0);
    const HWND ports = GetDlgItem(IDC_STATION_PRESET_PORTS);
    for (const std::string& port : WindowsSerialPorts())
    {
        SendMessageA(ports, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(port.c_str()));
    }
    return TRUE;
}

void CPresetJobDlg::OnOK()
{
    const HWND presets = GetDlgItem(IDC_STATION_PRESET_LIST);
    const LRESULT chosen = SendMessageA(presets, CB_GETCURSEL, 0, 0);
    if (chosen == CB_ERR)
    {
        ShowMessageBox("Choose a preset.");
        return;
    }
    m_preset = LineText(presets, static_cast<int>(chosen), CB_GETLBTEXTLEN, CB_GETLBTEXT);
    const HWND ports = GetDlgItem(IDC_STATION_PRESET_PORTS);
    m_ports.clear();
    const int count = static_cast<int>(SendMessageA(ports, LB_GETCOUNT, 0, 0));
    for (int index = 0; index < count; ++index)
    {
        if (SendMessageA(ports, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0)
        {
            m_ports.push_back(LineText(ports, index, LB_GETTEXTLEN, LB_GETTEXT));
        }
    }
    EndDialog(IDOK);
}
