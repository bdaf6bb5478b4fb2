// Start-up of the main window: from the template to a window ready for the operator.
#include "app/downloader_dlg.h"

#include "app/settings_controls.h"
#include "base/app_title.h"
#include "download/progress_text.h"
#include "framework/message_box.h"
#include "res/resource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr char kTempSubfolder[] = "\\Temp\\";
constexpr char kDefaultTempDir[] = "C:\\Windows\\Temp\\";
constexpr char kPresetCaptionFormat[] = "%s - Using Preset Program \"%s\"";
constexpr int kInvalidArgumentsExitCode = 1;
constexpr int kMenuTextSize = 256;

// Tooltips of the main window: control and the string resource it shows, in the order they are
// registered.
struct ToolTipText
{
    int controlId;
    UINT textId;
};
constexpr ToolTipText kToolTips[] = {
    {IDC_START_DOWNLOAD, IDS_TIP_START_STOP},  {IDC_MAIN_CODE_BUTTON, IDS_TIP_MAIN_CODE},
    {IDC_BOOT_CODE_BUTTON, IDS_TIP_BOOT_CODE}, {IDC_LANGUAGE_PACK_BUTTON, IDS_TIP_LANGUAGE_PACK},
    {IDC_BAUD_RATE, IDS_TIP_BAUD_RATE},        {IDC_MOBILE_MODEL, IDS_TIP_MOBILE_MODEL},
    {IDC_REPORT_LIST, IDS_TIP_REPORT},         {IDC_GANG_MODE, IDS_TIP_GANG_MODE},
};

void CopyText(char* destination, std::size_t size, const char* source)
{
    std::snprintf(destination, size, "%s", source);
}
} // namespace

BOOL CDownloaderDlg::OnInitDialog()
{
    // The controls exist, the fixed lists are filled and the fields are in the controls.
    CDialog::OnInitDialog();
    m_platform.SetNotifyWindow(m_hWnd);

    SetUpSystemMenu();

    SetUpToolTips();

    SetUpTempDir();
    LoadPictures();

    m_fileFromCommandLine = false;
    m_diagnostics = false;
    m_startMode = StartModeUnset;
    CopyText(m_presetName, sizeof m_presetName, kDevelopmentPreset);
    SelectBootCode(false);
    SelectMainCode(false);
    SelectLanguagePack(false);

    ApplyCommandLine();

    m_startButton.SetBitmap(m_startDownloadBitmap.Get());

    ShowEmptyProgress();

    m_baudRateList.SetCurSel(0);
    m_comPortList.SetCurSel(0);
    m_modelList.SetCurSel(0);
    // The model shown is the model the download works with, also before any preset names one.
    TakeSelectedModel();

    LoadPreset(m_fileFromCommandLine);

    if (m_startMode == StartModePreset)
    {
        for (int id : kSettingsControls)
        {
            ::EnableWindow(GetDlgItem(id), FALSE);
        }
    }

    UpdateData(false);

    SetUpProgramDir();
    return TRUE;
}

void CDownloaderDlg::SetUpSystemMenu()
{
    char aboutText[kMenuTextSize] = {};
    if (LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, aboutText, kMenuTextSize) > 0)
    {
        HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
        if (systemMenu != nullptr)
        {
            AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
        }
    }

    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
}

void CDownloaderDlg::ShowEmptyProgress()
{
    // Before the first download the bars only have to show empty.
    SetProgressRange(ProgressBar::LanguagePack, 0,
                     static_cast<std::uint16_t>(m_session.LpBlockCount() - 1));
    SetProgressRange(ProgressBar::MainCode, static_cast<std::uint16_t>(kBootBlockCount),
                     static_cast<std::uint16_t>(m_session.MainBlockCount() - 1));
    SetProgressRange(ProgressBar::BootCode, 0, static_cast<std::uint16_t>(kLastBootBlock));
    m_languagePackProgress.SetPos(0);
    m_mainCodeProgress.SetPos(0);
    m_bootCodeProgress.SetPos(0);

    m_bootCodePercent.AddString("0%");
    m_mainCodePercent.AddString("0%");
    m_languagePackPercent.AddString("0%");
    m_bootCodePercent.SetCurSel(0);
    m_mainCodePercent.SetCurSel(0);
    m_languagePackPercent.SetCurSel(0);

    m_downloadTimeBox.AddString("00m00s");
}

void CDownloaderDlg::SetUpToolTips()
{
    if (!m_toolTip.Create(m_hWnd))
    {
        return; // no tooltips; PreTranslateMessage still hands messages to the empty control
    }
    for (const ToolTipText& tip : kToolTips)
    {
        m_toolTip.AddTool(GetDlgItem(tip.controlId), tip.textId);
    }
    m_toolTip.Activate(true);
}

void CDownloaderDlg::SetUpTempDir()
{
    const UINT length = GetWindowsDirectoryA(m_tempDir, static_cast<UINT>(sizeof m_tempDir));
    if (length == 0 || length >= sizeof m_tempDir)
    {
        ShowMessageBox("Windows directory not found! Using default");
        CopyText(m_tempDir, sizeof m_tempDir, kDefaultTempDir);
        return;
    }
    // A Windows folder too long for "\Temp\" keeps what fits.
    std::strncat(m_tempDir, kTempSubfolder, sizeof m_tempDir - 1 - std::strlen(m_tempDir));
}

void CDownloaderDlg::LoadPictures()
{
    struct Picture
    {
        CBitmap& bitmap;
        UINT id;
        const char* failure;
    };
    const Picture pictures[] = {
        {m_bootCodeOffBitmap, IDB_BOOT_CODE_OFF, "Failed to load bitmap"},
        {m_bootCodeOnBitmap, IDB_BOOT_CODE_ON, "Failed to load bitmap"},
        {m_mainCodeOffBitmap, IDB_MAIN_CODE_OFF, "Failed to load bitmap"},
        {m_mainCodeOnBitmap, IDB_MAIN_CODE_ON, "Failed to load bitmap"},
        {m_languagePackOffBitmap, IDB_LANGUAGE_PACK_OFF, "Failed to load bitmap"},
        {m_languagePackOnBitmap, IDB_LANGUAGE_PACK_ON, "Failed to load bitmap"},
        {m_startDownloadBitmap, IDB_START_DOWNLOAD_BITMAP,
         "Failed to load IDB_START_DOWNLOAD_BITMAP"},
        {m_stopDownloadBitmap, IDB_STOP_DOWNLOAD_BITMAP, "Failed to load IDB_STOP_DOWNLOAD_BITMAP"},
    };
    for (const Picture& picture : pictures)
    {
        if (!picture.bitmap.Load(picture.id))
        {
            ShowMessageBox(picture.failure);
        }
    }
}

void CDownloaderDlg::ApplyCommandLine()
{
    const CommandLineChoices choices = ParseCommandLine(m_argc, m_argv);

    if (choices.presetChosen)
    {
        CopyText(m_presetName, sizeof m_presetName, choices.presetName.c_str());
        char caption[kTextBufferSize + sizeof kAppTitle + sizeof kPresetCaptionFormat];
        std::snprintf(caption, sizeof caption, kPresetCaptionFormat, kAppTitle, m_presetName);
        SetWindowTextA(m_hWnd, caption);
        // The Presets and Help menus are not offered with a locked preset.
        HMENU menu = GetMenu(m_hWnd);
        SetMenu(m_hWnd, nullptr);
        if (menu != nullptr)
        {
            DestroyMenu(menu);
        }
        DrawMenuBar(m_hWnd);
    }
    if (choices.invalid)
    {
        ShowMessageBox("Invalid arguments!");
        std::exit(kInvalidArgumentsExitCode);
    }

    m_diagnostics = choices.diagnostics;
    m_startMode = choices.startMode;
    m_fileFromCommandLine = choices.fileFromCommandLine;
    if (!choices.presetChosen)
    {
        CopyText(m_presetName, sizeof m_presetName, choices.presetName.c_str());
    }
    if (!choices.lpPath.empty())
    {
        CopyText(m_lpPath, sizeof m_lpPath, choices.lpPath.c_str());
        SelectLanguagePack(true);
    }
    if (!choices.imagePath.empty())
    {
        CopyText(m_imagePath, sizeof m_imagePath, choices.imagePath.c_str());
        SelectBootCode(true);
        SelectMainCode(true);
    }
}

void CDownloaderDlg::SetUpProgramDir()
{
    // The program file's own path: the command line's first argument may be relative (a start as
    // tools\TervoloPLUS.exe), and the dialogs move the current folder it would be taken from.
    const DWORD length =
        GetModuleFileNameA(nullptr, m_programDir, static_cast<DWORD>(sizeof m_programDir));
    char* lastBackslash =
        length > 0 && length < sizeof m_programDir ? std::strrchr(m_programDir, '\\') : nullptr;
    if (lastBackslash == nullptr)
    {
        // No folder to be had: the conversion reports it when it cannot change into it.
        m_programDir[0] = '\0';
        return;
    }
    lastBackslash[1] = '\0';
}
