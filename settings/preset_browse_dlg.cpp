#include "settings/preset_browse_dlg.h"

#include "framework/data_exchange.h"
#include "res/resource.h"
#include "settings/preset_name_dlg.h"
#include "settings/preset_names.h"
#include "settings/preset_registry.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

namespace
{
constexpr char kUsingPresetCaption[] = "Tervolo - Using Preset Program \"%s\"";
constexpr char kNoNameText[] = "No Preset name selected!";
constexpr char kNoSelectionText[] = "No preset selected !";
constexpr char kReservedText[] = "Development is a reserved preset!";

void CopyName(char* destination, const char* source)
{
    CopyCut(destination, kRegistryTextSize, source, std::strlen(source));
}

// The text of list line `index`, or the empty text when it cannot be had.
std::string LineText(const CListBoxCtl& list, int index)
{
    const int length = list.GetTextLen(index);
    if (length == LB_ERR)
    {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    list.GetText(index, text.data());
    text.resize(std::strlen(text.c_str()));
    return text;
}
} // namespace

CPresetBrowseDlg::CPresetBrowseDlg(HWND parent) : CDialog(IDD_PRESET_BROWSE, parent) {}

const MessageMap& CPresetBrowseDlg::GetMessageMap() const
{
    using D = CPresetBrowseDlg;
    static const MessageEntry kEntries[] = {
        On::Notification<&D::OnSelChangeList>(IDC_PRESET_LIST, LBN_SELCHANGE),
        On::Clicked<&D::OnNewSetup>(IDC_NEW_SETUP),
        On::Clicked<&D::OnDeleteSetup>(IDC_DELETE_SETUP),
        On::AnyCommand<&D::OnCancel>(IDCANCEL),
    };
    static const MessageMap kMap{kEntries, std::size(kEntries), &CDialog::GetMessageMap()};
    return kMap;
}

void CPresetBrowseDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Control(dx, IDC_NEW_SETUP, m_newSetupButton);
    DDX_Control(dx, IDC_PRESET_LIST, m_presetList);
}

BOOL CPresetBrowseDlg::OnInitDialog()
try
{
    CDialog::OnInitDialog();
    CopyName(m_nameAtOpen, m_pPresetName);
    m_selectionMade = false;

    const CPresetRegistry registry(m_pPresetName);
    if (registry.Presets().empty())
    {
        return TRUE;
    }
    for (const std::string& name : registry.Presets())
    {
        m_presetList.AddString(name.c_str());
    }
    m_presetList.SetCurSel(0); // shown, not picked
    m_newSetupButton.Enable(true);
    return TRUE;
}
catch (const PresetListFailure&)
{
    ListFailed();
    return TRUE;
}

void CPresetBrowseDlg::OnCancel()
{
    // Whatever was picked or named since is dropped, so no save lands on it.
    CopyName(m_pPresetName, m_nameAtOpenDeleted ? kDevelopmentPreset : m_nameAtOpen);
    CDialog::OnCancel();
}

void CPresetBrowseDlg::OnSelChangeList()
{
    const int index = m_presetList.GetCurSel();
    if (index == LB_ERR)
    {
        return;
    }
    CopyName(m_pPresetName, LineText(m_presetList, index).c_str());
    m_selectionMade = true;
}

void CPresetBrowseDlg::OnNewSetup()
{
    // One new preset per opening of the browser.
    m_newSetupButton.Enable(false);

    char name[kRegistryTextSize] = {};
    CPresetNameDlg prompt(m_hWnd, name);
    if (prompt.DoModal() != IDOK)
    {
        return;
    }
    if (name[0] == '\0')
    {
        ShowMessageBox(kNoNameText);
        return;
    }
    char caption[kRegistryTextSize + sizeof kUsingPresetCaption];
    std::snprintf(caption, sizeof caption, kUsingPresetCaption, name);
    SetWindowTextA(m_hWnd, caption);
    CopyName(m_pPresetName, name);
    if (m_presetList.FindStringExact(name) == LB_ERR)
    {
        m_presetList.InsertString(-1, name); // appended, not sorted in
    }
    m_selectionMade = false;
}

void CPresetBrowseDlg::OnDeleteSetup()
try
{
    const int index = m_presetList.GetCurSel();
    if (index == LB_ERR)
    {
        ShowMessageBox(kNoSelectionText);
        return;
    }
    const std::string name = LineText(m_presetList, index);
    if (IsReservedPreset(name.c_str()))
    {
        ShowMessageBox(kReservedText);
        m_presetList.SetCurSel(index);
        return;
    }
    const CPresetRegistry registry(m_pPresetName);
    registry.DeletePreset(name.c_str());
    // Key names are compared without regard to case, as the registry does.
    if (_stricmp(name.c_str(), m_nameAtOpen) == 0)
    {
        m_nameAtOpenDeleted = true;
    }
    m_presetList.DeleteString(index);
    // LB_ERR (-1) selects nothing.
    m_presetList.SetCurSel(m_presetList.FindString(kDevelopmentPreset));
    CopyName(m_pPresetName, kDevelopmentPreset);
}
catch (const PresetListFailure&)
{
    ListFailed();
}

void CPresetBrowseDlg::ListFailed()
{
    m_listFailed = true;
    EndDialog(IDABORT);
}
