#include "settings/preset_name_dlg.h"

#include "framework/data_exchange.h"
#include "res/resource.h"
#include "settings/preset_names.h"

#include <cstring>
#include <iterator>

CPresetNameDlg::CPresetNameDlg(HWND parent, char* nameBuffer)
    : CDialog(IDD_PRESET_NAME, parent), m_pPresetName(nameBuffer)
{
}

const MessageMap& CPresetNameDlg::GetMessageMap() const
{
    using D = CPresetNameDlg;
    static const MessageEntry kEntries[] = {
        On::AnyCommand<&D::OnOK>(IDOK),
        On::AnyCommand<&D::OnCancel>(IDCANCEL),
    };
    static const MessageMap kMap{kEntries, std::size(kEntries), &CDialog::GetMessageMap()};
    return kMap;
}

void CPresetNameDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Text(dx, IDC_PRESET_NAME_EDIT, m_name);
}

void CPresetNameDlg::OnOK()
{
    // The edit field takes any length; the whole length decides, not what fits the buffer.
    const int typed = GetWindowTextLengthA(GetDlgItem(IDC_PRESET_NAME_EDIT));
    UpdateData(true);
    const char* problem =
        PresetNameProblem(m_name, typed > 0 ? static_cast<std::size_t>(typed) : 0);
    if (problem != nullptr)
    {
        ShowMessageBox(problem);
        return; // the operator mends the name or cancels
    }
    CopyCut(m_pPresetName, kRegistryTextSize, m_name, std::strlen(m_name));
    EndDialog(IDOK);
}

void CPresetNameDlg::OnCancel()
{
    m_pPresetName[0] = '\0';
    EndDialog(IDCANCEL);
}
