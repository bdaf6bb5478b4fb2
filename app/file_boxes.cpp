// The two file boxes: their Browse... buttons, the recent lists that opening a box's list grows,
// and the paths and lists kept under the current preset.
#include "app/downloader_dlg.h"

#include "files/recent_files.h"
#include "framework/file_dialog.h"
#include "settings/preset_registry.h"
#include "settings/registry_encoding.h"

#include <cstring>
#include <string>

namespace
{
constexpr char kSourceFileFilter[] =
    "Absolute Files (*.abs)|*.abs|Motorola Files (*.mot)|*.mot|S-Record Files (*.sre)|*.sre|"
    "Binary Files (*.bin)|*.bin|Release Files (*.rel)|*.rel|Compressed Files (*.lzh)|*.lzh|"
    "All Files (*.*)|*.*";
constexpr char kEntryReadErrorText[] = "Error reading item from Recent Files list";

void CopyText(char* destination, const char* source)
{
    CopyCut(destination, kRegistryTextSize, source, std::strlen(source));
}

// The names being read go to the debugger, for following a load.
void TraceRead(const std::string& name)
{
    OutputDebugStringA((name + "\n").c_str());
}

// Entry `index` of a box's list into a text buffer of the window; false when it cannot be had.
bool FetchEntry(const CComboBoxCtl& box, int index, char* entry)
{
    const int length = box.GetLBTextLen(index);
    if (length == CB_ERR || static_cast<std::size_t>(length) >= kRegistryTextSize)
    {
        return false;
    }
    return box.GetLBText(index, entry) != CB_ERR;
}

// The path of the entry chosen in a box's list.
void TakeChosenEntry(const CComboBoxCtl& box, char* path)
{
    const int index = box.GetCurSel();
    if (index != CB_ERR)
    {
        FetchEntry(box, index, path);
    }
}
} // namespace

void CDownloaderDlg::OnBrowseImage()
{
    BrowseForSourceFile(ImageAbsBrowseDirectory, m_imageFileBox, m_imagePath);
}

void CDownloaderDlg::OnBrowseLanguagePack()
{
    BrowseForSourceFile(LPAbsBrowseDirectory, m_languagePackFileBox, m_lpPath);
}

void CDownloaderDlg::OnDropDownImage()
{
    AddToRecentList(m_imagePath, m_imageFileBox);
}

void CDownloaderDlg::OnDropDownLanguagePack()
{
    AddToRecentList(m_lpPath, m_languagePackFileBox);
}

void CDownloaderDlg::OnSelEndOkImage()
{
    TakeChosenEntry(m_imageFileBox, m_imagePath);
}

void CDownloaderDlg::OnSelEndOkLanguagePack()
{
    TakeChosenEntry(m_languagePackFileBox, m_lpPath);
}

void CDownloaderDlg::BrowseForSourceFile(char* folder, CComboBoxCtl& box, char* path)
{
    SetCurrentDirectoryA(folder);
    if (m_startMode == StartModePreset || m_session.Running())
    {
        return;
    }
    UpdateData(true);
    // The path shown before browsing joins the list.
    AddToRecentList(path, box);

    SetCurrentDirectoryA(folder);
    CFileDialog dialog(true, kSourceFileFilter, m_hWnd);
    dialog.m_ofn.lpstrInitialDir = folder;
    dialog.DoModal();
    const char* chosen = dialog.GetPathName();
    if (chosen[0] != '\0')
    {
        CopyText(path, chosen);
        CopyText(folder, FolderOf(chosen).c_str());
    }
    UpdateData(false);
}

void CDownloaderDlg::AddToRecentList(const char* path, CComboBoxCtl& box)
{
    if (m_startMode == StartModePreset || m_session.Running())
    {
        return;
    }
    UpdateData(true);
    const bool listed = path[0] != '\0' && box.FindStringExact(path) != CB_ERR;
    const RecentInsertion change = DecideRecentInsertion(path, listed, box.GetCount());
    if (change.insert)
    {
        box.InsertString(0, path);
    }
    if (change.dropOldest)
    {
        box.DeleteString(kRecentListTrimAt - 1);
    }
}

void CDownloaderDlg::SaveRecentFiles(const char* path, CComboBoxCtl& box, const char* prefix)
{
    const CPresetRegistry registry(m_presetName);
    const int count = RecentCountToSave(m_presetName, box.GetCount());
    registry.WriteValue(RecentCountName(prefix).c_str(),
                        LengthText(static_cast<std::size_t>(count)).c_str());
    const int stored = RecentEntriesStored(static_cast<std::size_t>(count));
    for (int i = 0; i < stored; ++i)
    {
        char entry[kRegistryTextSize] = {};
        if (!FetchEntry(box, i, entry))
        {
            ShowMessageBox(kEntryReadErrorText);
            continue;
        }
        registry.WriteTextWithLength(RecentEntryName(prefix, i).c_str(), entry);
    }
    registry.WriteTextWithLength(CurrentFileName(prefix).c_str(), path);
}

void CDownloaderDlg::LoadRecentFiles(char* path, CComboBoxCtl& box, const char* prefix)
{
    const CPresetRegistry registry(m_presetName);
    if (!m_fileFromCommandLine)
    {
        const std::string name = CurrentFileName(prefix);
        TraceRead(name);
        if (!registry.ReadTextWithLength(name.c_str(), path, kRegistryTextSize))
        {
            path[0] = '\0';
        }
    }

    const std::string countName = RecentCountName(prefix);
    TraceRead(countName);
    char countText[kLengthTextSize] = {};
    DWORD countSize = static_cast<DWORD>(sizeof countText);
    std::size_t count = 0;
    if (!registry.ReadValue(countName.c_str(), countSize, countText) ||
        !LengthFromText(countText, count))
    {
        count = 0;
    }
    TraceRead(countText);

    // Appended behind what the list holds already, in their stored order.
    const int stored = RecentEntriesStored(count);
    for (int i = 0; i < stored; ++i)
    {
        const std::string name = RecentEntryName(prefix, i);
        TraceRead(name);
        char entry[kRegistryTextSize] = {};
        if (registry.ReadTextWithLength(name.c_str(), entry, sizeof entry))
        {
            box.AddString(entry);
        }
    }
}
