// Where the main window meets its presets: applying the current preset to the window, taking the
// window's choices into it, and the Presets menu command with its browser.
#include "app/downloader_dlg.h"

#include "framework/message_box.h"
#include "settings/preset_browse_dlg.h"
#include "settings/preset_names.h"
#include "settings/preset_registry.h"
#include "settings/registry_encoding.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace
{
constexpr char kGangModeValue[] = "GangMode";
constexpr char kBootCodeValue[] = "BootCodeDownload";
constexpr char kMainCodeValue[] = "MainCodeDownload";
constexpr char kLanguagePackValue[] = "LanguagePackDownload";
constexpr char kModelValue[] = "MobileModel";
constexpr char kComPortValue[] = "ComPort";
constexpr char kBaudRateValue[] = "BaudRate";
constexpr char kImageAbsFolderValue[] = "ImageAbsBrowseDirectory";
constexpr char kImageRelFolderValue[] = "ImageRelBrowseDirectory";
constexpr char kLpAbsFolderValue[] = "LPAbsBrowseDirectory";
constexpr char kLpRelFolderValue[] = "LPRelBrowseDirectory";
constexpr char kImagePrefix[] = "Image";
constexpr char kLpPrefix[] = "LP";

// The window's text fields are the store's texts.
static_assert(kRegistryTextSize == kTextBufferSize, "window fields and stored texts differ");

constexpr char kDefaultFolder[] = "C:\\";
constexpr int kDefaultListIndex = 0;
constexpr bool kDefaultMainCode = true;

constexpr char kPresetNotFoundText[] = "Preset not found. Check the registry !!!";
constexpr char kReadFailedText[] =
    "Failed to read the Registry Settings. Close and Restart TervoloPLUS.";
constexpr int kPresetNotFoundExitCode = 1;
// The store could not list the presets: the program ends quietly, as it always has there.
constexpr int kPresetListFailureExitCode = 0;

[[noreturn]] void EndOnPresetListFailure(const PresetListFailure& failure)
{
    AppMessageBox(nullptr, failure.what());
    std::exit(kPresetListFailureExitCode);
}

// Reads a value of which only the first character counts (a flag, an index): one longer than
// its room, such as the index "-1", counts by the first character that was kept.
bool ReadLeading(const CPresetRegistry& registry, const char* name, char* text, DWORD room)
{
    DWORD size = room;
    return registry.ReadValue(name, size, text) || (size > room && text[0] != '\0');
}

// A flag of the preset, or `fallback` when the preset lacks it.
bool ReadFlag(const CPresetRegistry& registry, const char* name, bool fallback)
{
    char text[kFlagTextSize] = {};
    return ReadLeading(registry, name, text, static_cast<DWORD>(sizeof text)) ? FlagFromText(text)
                                                                              : fallback;
}

void CopyText(char* destination, const char* source)
{
    CopyCut(destination, kRegistryTextSize, source, std::strlen(source));
}

// Whether the store lists the preset; key names compare without regard to case.
bool IsListed(const CPresetRegistry& registry, const char* name)
{
    for (const std::string& listed : registry.Presets())
    {
        if (_stricmp(listed.c_str(), name) == 0)
        {
            return true;
        }
    }
    return false;
}

// Selects the list position stored under `name`, the first one when the preset lacks it.
void SelectStoredIndex(CComboBoxCtl& list, const CPresetRegistry& registry, const char* name)
{
    char text[kIndexTextSize] = {};
    const int index = ReadLeading(registry, name, text, static_cast<DWORD>(sizeof text))
                          ? IndexFromText(text)
                          : kDefaultListIndex;
    // "-1", stored for a list without selection, reads back as no position and selects nothing.
    list.SetCurSel(SelectableIndex(index, list.GetCount()));
}

// The Browse... dialogs' folders: image .abs and .rel, language pack .abs and .rel.
void LoadBrowseFolders(const CPresetRegistry& registry, const std::array<char*, 4>& folders)
{
    const char* const values[] = {kImageAbsFolderValue, kImageRelFolderValue, kLpAbsFolderValue,
                                  kLpRelFolderValue};
    for (std::size_t i = 0; i < folders.size(); ++i)
    {
        if (!registry.ReadTextWithLength(values[i], folders[i], kRegistryTextSize))
        {
            CopyText(folders[i], kDefaultFolder);
        }
    }
}
} // namespace

void CDownloaderDlg::LoadPreset(bool keepSections)
try
{
    const CPresetRegistry registry(m_presetName);
    if (!PresetReadable(registry))
    {
        return;
    }

    // A value missing from the preset takes its default rather than any earlier read's text.
    m_gangModeCheck.SetCheck(ReadFlag(registry, kGangModeValue, false) ? BST_CHECKED
                                                                       : BST_UNCHECKED);
    bool languagePack = false;
    if (!keepSections)
    {
        SelectBootCode(ReadFlag(registry, kBootCodeValue, false));
        SelectMainCode(ReadFlag(registry, kMainCodeValue, kDefaultMainCode));
        languagePack = ReadFlag(registry, kLanguagePackValue, false);
        // Judged by the model in use before the preset's model is read.
        SelectLanguagePack(languagePack);
    }

    LoadModel(registry);

    // Judged again by the preset's own model, both ways: the model shown before may differ.
    if (!keepSections)
    {
        SelectLanguagePack(languagePack);
    }

    LoadBrowseFolders(registry, {ImageAbsBrowseDirectory, ImageRelBrowseDirectory,
                                 LPAbsBrowseDirectory, LPRelBrowseDirectory});

    LoadRecentFiles(m_imagePath, m_imageFileBox, kImagePrefix);
    LoadRecentFiles(m_lpPath, m_languagePackFileBox, kLpPrefix);

    SelectStoredIndex(m_comPortList, registry, kComPortValue);
    SelectStoredIndex(m_baudRateList, registry, kBaudRateValue);

    UpdateData(false);
}
catch (const PresetListFailure& failure)
{
    EndOnPresetListFailure(failure);
}

bool CDownloaderDlg::PresetReadable(const CPresetRegistry& registry)
{
    char presence[kPresenceTextSize] = {};
    DWORD presenceSize = static_cast<DWORD>(sizeof presence);
    if (registry.ReadValue(kMainCodeValue, presenceSize, presence))
    {
        m_unreadPreset[0] = '\0';
        return true;
    }
    if (m_startMode == StartModePreset)
    {
        ShowMessageBox(kPresetNotFoundText);
        std::exit(kPresetNotFoundExitCode);
    }
    ShowMessageBox(kReadFailedText);
    // A preset that is stored but cannot be read keeps what it holds: the defaults shown
    // now are not saved over it. A preset not stored yet (the first run) is made by a save.
    CopyText(m_unreadPreset, IsListed(registry, m_presetName) ? m_presetName : "");
    LoadDefaultSettings();
    return false;
}

void CDownloaderDlg::LoadModel(const CPresetRegistry& registry)
{
    // Read with room for any stored text: a model of more than five characters is one the list
    // does not have, kept like any other.
    char model[kRegistryTextSize] = {};
    DWORD modelSize = static_cast<DWORD>(sizeof model);
    if (registry.ReadValue(kModelValue, modelSize, model))
    {
        CopyText(m_modelName, model);
        // A model the list does not have selects nothing, and SavePreset keeps its text.
        m_modelList.SetCurSel(m_modelList.FindStringExact(m_modelName));
    }
    else
    {
        m_modelList.SetCurSel(kDefaultListIndex);
        TakeSelectedModel();
    }
}

void CDownloaderDlg::LoadDefaultSettings()
{
    // The model, port and rate lists keep what they show; the recent lists are not read.
    m_gangModeCheck.SetCheck(BST_UNCHECKED);
    SelectBootCode(false);
    SelectMainCode(kDefaultMainCode);
    SelectLanguagePack(false);
    UpdateData(false);
    for (char* folder : {ImageAbsBrowseDirectory, ImageRelBrowseDirectory, LPAbsBrowseDirectory,
                         LPRelBrowseDirectory})
    {
        CopyText(folder, kDefaultFolder);
    }
}

void CDownloaderDlg::SavePreset()
try
{
    UpdateData(true);
    if (m_startMode == StartModePreset)
    {
        return; // a preset run with /P is never written
    }
    // A name the registry cannot hold would leave values under part of it.
    if (m_presetName[0] == '\0' ||
        PresetNameProblem(m_presetName, std::strlen(m_presetName)) != nullptr)
    {
        return;
    }

    const CPresetRegistry registry(m_presetName);
    if (m_unreadPreset[0] != '\0' && _stricmp(m_unreadPreset, m_presetName) == 0 &&
        IsListed(registry, m_presetName))
    {
        return; // its load failed: the window shows defaults, not what it holds
    }
    registry.WriteValue(kGangModeValue, FlagText(m_gangModeCheck.GetCheck() == BST_CHECKED));
    registry.WriteValue(kBootCodeValue, FlagText(m_bootCodeSelected != 0));
    registry.WriteValue(kMainCodeValue, FlagText(m_mainCodeSelected != 0));
    registry.WriteValue(kLanguagePackValue, FlagText(m_languagePackSelected != 0));

    // Without a selection the model read from the preset goes back unchanged.
    char model[kRegistryTextSize] = {};
    const int modelIndex = m_modelList.GetCurSel();
    const int modelLength = modelIndex >= 0 ? m_modelList.GetLBTextLen(modelIndex) : -1;
    if (modelLength >= 0 && static_cast<std::size_t>(modelLength) < sizeof model)
    {
        m_modelList.GetLBText(modelIndex, model);
    }
    else
    {
        CopyText(model, m_modelName);
    }
    registry.WriteValue(kModelValue, model);

    registry.WriteValue(kComPortValue, IndexText(m_comPortList.GetCurSel()).c_str());
    registry.WriteValue(kBaudRateValue, IndexText(m_baudRateList.GetCurSel()).c_str());

    SaveRecentFiles(m_imagePath, m_imageFileBox, kImagePrefix);
    SaveRecentFiles(m_lpPath, m_languagePackFileBox, kLpPrefix);

    registry.WriteTextWithLength(kImageAbsFolderValue, ImageAbsBrowseDirectory);
    registry.WriteTextWithLength(kImageRelFolderValue, ImageRelBrowseDirectory);
    registry.WriteTextWithLength(kLpAbsFolderValue, LPAbsBrowseDirectory);
    registry.WriteTextWithLength(kLpRelFolderValue, LPRelBrowseDirectory);
}
catch (const PresetListFailure& failure)
{
    EndOnPresetListFailure(failure);
}

void CDownloaderDlg::OnPresets()
{
    CPresetBrowseDlg browser(m_hWnd);
    browser.m_pPresetName = m_presetName;
    if (browser.DoModal() != IDOK)
    {
        if (browser.m_listFailed)
        {
            EndOnPresetListFailure(PresetListFailure());
        }
        return;
    }
    if (browser.m_selectionMade)
    {
        LoadPreset(false);
    }
    SavePreset();
}
