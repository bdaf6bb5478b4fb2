// The main window of TervoloPLUS: it owns its controls and routes their messages. A download
// lives in its session (download/), which reaches the window through DownloadView; presets, file
// boxes and the shell are the window's own.
#pragma once

#include "app/command_line.h"
#include "app/start_mode.h"
#include "download/download_platform_win.h"
#include "download/download_session.h"
#include "download/download_view.h"
#include "download/progress_text.h"
#include "download/section_rules.h"
#include "framework/controls/button.h"
#include "framework/controls/combo_box.h"
#include "framework/controls/list_box.h"
#include "framework/controls/progress.h"
#include "framework/controls/tool_tip.h"
#include "framework/dialog.h"
#include "framework/gdi.h"

#include <windows.h>

#include <cstdint>

// Room of the temporary-folder path.
constexpr std::size_t kTempDirSize = 259;

class CPresetRegistry;

class CDownloaderDlg : public CDialog, private DownloadView
{
public:
    explicit CDownloaderDlg(HWND parent = nullptr);
    ~CDownloaderDlg() override;

    // The arguments the start-up reads; the runtime's argument vector unless set before DoModal.
    void SetCommandLine(int argc, const char* const* argv);

protected:
    const MessageMap& GetMessageMap() const override;
    void DoDataExchange(CDataExchange& dx) override;

public:
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    BOOL OnInitDialog() override;

    // ---- Shell (shell_handlers.cpp, init_dialog.cpp) -----------------------------------------
    void OnSysCommand(UINT id, LPARAM param);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDestroy();
    void OnAbout();
    void OnDropDownBaudRate();
    void ApplyCommandLine();
    void LoadPictures();
    void SetUpSystemMenu(); // the About item and the icons
    void ShowEmptyProgress();
    void SetUpToolTips();
    void SetUpTempDir();
    void SetUpProgramDir();

    // ---- The download, forwarded to its session (download_handlers.cpp) ------------------------
    void OnStartStop();
    void OnTimer(UINT_PTR timerId);
    LRESULT OnSerialData(WPARAM wParam, LPARAM lParam);
    LRESULT OnSerialFailure(WPARAM wParam, LPARAM lParam);
    LRESULT OnDownloadEnd(WPARAM wParam, LPARAM lParam);
    void StartStopDownload() { m_session.StartStopDownload(); }
    DownloadChoices CurrentChoices();

    // ---- Sections (sections.cpp) -------------------------------------------------------------
    void SelectLanguagePack(bool on);
    void SelectMainCode(bool on);
    void SelectBootCode(bool on);
    void ApplySections(SectionFlags flags);
    SectionFlags Sections() const;
    void OnLanguagePackButton();
    void OnMainCodeButton();
    void OnBootCodeButton();
    void OnModelChange();
    void TakeSelectedModel();
    bool IsExtendedModel() const;
    bool SectionButtonsLocked() const;

    // ---- What the session shows (download_view.cpp) --------------------------------------------
    void AddReportLine(const char* text) override;
    void ReplaceLastReportLine(const char* text) override;
    void ClearReport() override;
    void SetProgressRange(ProgressBar bar, std::uint16_t lower, std::uint16_t upper) override;
    void SetProgress(ProgressBar bar, int position) override;
    void ShowPercent(ProgressBar bar, const char* text) override;
    void ResetProgress() override;
    void ShowDownloadTime(const char* text) override;
    void ResetDownloadTime(const char* text) override;
    void LockSettings() override;
    void UnlockSettings() override;
    void ShowRunning(bool running) override;
    BoxAnswer ShowBox(const BoxRequest& box) override;
    void StartTimer(unsigned id, unsigned periodMs) override;
    void StopTimer(unsigned id) override;
    CProgressCtl& Bar(ProgressBar bar);
    CListBoxCtl& PercentBox(ProgressBar bar);
    // The progress of a transfer is drawn after the block has gone out, when the window is idle
    // (a timer's tick comes only then), and at most every kProgressDrawPeriodMs; anything else
    // shown draws it first.
    static constexpr UINT_PTR kProgressDrawTimer = 5; // the download's own timers are 1 to 4
    void ProgressChanged();
    void DrawProgress();

    // ---- Download files (download_files.cpp, file_selection) ---------------------------------
    // Decides whether the file at `path` is sent, converting it where it must be.
    bool CheckDownloadFile(FileCheckResult& result, char* path, bool isImage) override;
    void EndProgram(int exitCode) override;
    void OnBrowseImage();
    void OnBrowseLanguagePack();
    void OnDropDownImage();
    void OnDropDownLanguagePack();
    void OnSelEndOkImage();
    void OnSelEndOkLanguagePack();

    // ---- Presets and file boxes (app/presets.cpp, app/file_boxes.cpp) ------------------------
    void LoadPreset(bool keepSections);
    // False when the preset cannot be read: said so and the defaults shown instead.
    bool PresetReadable(const CPresetRegistry& registry);
    void LoadModel(const CPresetRegistry& registry);
    void SavePreset();
    void OnPresets();
    void LoadDefaultSettings();
    void BrowseForSourceFile(char* folder, CComboBoxCtl& box, char* path);
    void AddToRecentList(const char* path, CComboBoxCtl& box);
    void SaveRecentFiles(const char* path, CComboBoxCtl& box, const char* prefix);
    void LoadRecentFiles(char* path, CComboBoxCtl& box, const char* prefix);

    // ---- Controls, bound by id ---------------------------------------------------------------
    CButtonCtl m_startButton;              // 1000
    CButtonCtl m_languagePackButton;       // 1005
    CButtonCtl m_mainCodeButton;           // 1004
    CButtonCtl m_bootCodeButton;           // 1003
    CProgressCtl m_languagePackProgress;   // 1006
    CProgressCtl m_mainCodeProgress;       // 1007
    CProgressCtl m_bootCodeProgress;       // 1008
    CListBoxCtl m_languagePackPercent;     // 1011
    CListBoxCtl m_mainCodePercent;         // 1012
    CListBoxCtl m_bootCodePercent;         // 1013
    CComboBoxCtl m_languagePackFileBox;    // 1020
    CButtonCtl m_browseLanguagePackButton; // 1019
    CComboBoxCtl m_imageFileBox;           // 1016
    CButtonCtl m_browseImageButton;        // 1015
    CComboBoxCtl m_comPortList;            // 1010
    CComboBoxCtl m_baudRateList;           // 1009
    CComboBoxCtl m_modelList;              // 1014
    CButtonCtl m_gangModeCheck;            // 1017
    CListBoxCtl m_downloadTimeBox;         // 1018
    CListBoxCtl m_reportList;              // 1002

    // ---- Settings ----------------------------------------------------------------------------
    char m_imagePath[kTextBufferSize] = {}; // text of file box 1016
    char m_lpPath[kTextBufferSize] = {};    // text of file box 1020
    HICON m_hIcon = nullptr;
    char m_presetName[kTextBufferSize] = {};
    // The stored preset whose last load failed, empty when none did; it is not saved over.
    char m_unreadPreset[kTextBufferSize] = {};
    StartMode m_startMode = StartModeUnset;
    bool m_diagnostics = false;
    bool m_fileFromCommandLine = false;
    int m_bootCodeSelected = 0;
    int m_mainCodeSelected = 0;
    int m_languagePackSelected = 0;
    char m_modelName[kTextBufferSize] = {}; // text of the chosen model
    char ImageAbsBrowseDirectory[kTextBufferSize] = {};
    char ImageRelBrowseDirectory[kTextBufferSize] = {};
    char LPAbsBrowseDirectory[kTextBufferSize] = {};
    char LPRelBrowseDirectory[kTextBufferSize] = {};
    char m_tempDir[kTempDirSize] = {};
    char m_programDir[kTextBufferSize] = {};

    // ---- Pictures ----------------------------------------------------------------------------
    CBitmap m_bootCodeOffBitmap;     // 129
    CBitmap m_bootCodeOnBitmap;      // 130
    CBitmap m_mainCodeOffBitmap;     // 132
    CBitmap m_mainCodeOnBitmap;      // 133
    CBitmap m_languagePackOffBitmap; // 131
    CBitmap m_languagePackOnBitmap;  // 134
    CBitmap m_startDownloadBitmap;   // 137
    CBitmap m_stopDownloadBitmap;    // 138
    CToolTipCtl m_toolTip;

    // ---- The download ------------------------------------------------------------------------
    // What each bar and percentage box shows now and is to show next, so that nothing is redrawn
    // that did not change.
    struct ShownBar
    {
        std::uint16_t lower = 0;
        std::uint16_t upper = 0;
        int width = 0;    // pixels
        int filled = -1;  // pixels filled by the position drawn last; -1 for none yet
        int position = 0; // the position to draw
        bool pending = false;
    };
    struct ShownPercent
    {
        ProgressText text;    // the box's line
        bool pending = false; // text is not in the box yet
    };
    ShownBar m_shownBars[3];
    ShownPercent m_shownPercent[3];
    bool m_reportRedrawHeld = false; // the report list's drawing waits for DrawProgress
    bool m_progressTimerSet = false;
    ULONGLONG m_progressDrawnMs = 0; // GetTickCount64 of the last DrawProgress
    CWin32DownloadPlatform m_platform;
    CDownloadSession m_session{*this, m_platform};

private:
    int m_argc = 0;
    const char* const* m_argv = nullptr;
};
