// The main window of TervoloPLUS and the holder of all its state. Its members are defined by
// subsystem: the shell (app/), the download control (download/), the file checks (files/) and
// the presets.
#pragma once

#include "app/command_line.h"
#include "app/start_mode.h"
#include "download/unique_file.h"
#include "framework/controls/button.h"
#include "framework/controls/combo_box.h"
#include "framework/controls/list_box.h"
#include "framework/controls/progress.h"
#include "framework/controls/tool_tip.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "protocol/download_engine.h"
#include "protocol/frames.h"
#include "protocol/model_check.h"
#include "serial/serial_io.h"
#include "serial/stopwatch.h"

#include <windows.h>

#include <cstdint>
#include <memory>

// Room of the temporary-folder path.
constexpr std::size_t kTempDirSize = 259;

class CDownloaderDlg : public CDialog, private EngineHost
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

    // ---- Shell (app/) ------------------------------------------------------------------------
    void OnSysCommand(UINT id, LPARAM param);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDestroy();
    void OnAbout();
    void OnDropDownBaudRate();
    void ApplyCommandLine();
    void LoadPictures();
    void SetUpToolTips();
    void SetUpTempDir();
    void SetUpProgramDir();

    // ---- Download start and stop (download/start_stop.cpp) --------------------------------------
    void OnStartStop();
    void StartStopDownload() override;
    LRESULT OnDownloadEnd(WPARAM wParam, LPARAM lParam);
    void StopDownload();
    void StartDownload();
    bool CheckStartChoices();
    bool OpenImageFile();
    bool OpenLanguagePackFile();
    void ShowRunningLook();
    void CloseChannel();
    void DropQueuedSerialData();

    // ---- Block senders (download/block_sender.cpp) --------------------------------------------
    bool SendMainBlock(HANDLE port);
    bool SendLpBlock(HANDLE port);
    void ShowSendingBlock(std::uint32_t block, std::uint32_t blockCount);
    void ReplacePercent(CListBoxCtl& box, const char* text);
    void WriteBlockFrame(HANDLE port);

    // ---- Timers (download/timers.cpp) -----------------------------------------------------------
    void OnTimer(UINT_PTR timerId);
    void ShowElapsedTime() override;
    void ShowDownloadTime(const char* text);

    // ---- Progress report window (download/report_window.cpp) ------------------------------------
    void AddReportLine(const char* text) override;
    void ClearReport();

    // ---- Sections (download/sections.cpp) -----------------------------------------------------
    void SelectLanguagePack(bool on);
    void SelectMainCode(bool on);
    void SelectBootCode(bool on);
    void OnLanguagePackButton();
    void OnMainCodeButton();
    void OnBootCodeButton();
    void OnModelChange();
    void TakeSelectedModel();
    bool IsExtendedModel() const;
    bool SectionButtonsLocked() const;

    // ---- Serial notifications and the engine's needs (download/engine_host.cpp) ---------------
    LRESULT OnSerialData(WPARAM wParam, LPARAM lParam);

    // ---- Download files (files/) --------------------------------------------------------------
    // Decides whether the file at `path` (m_imagePath or m_lpPath) is sent. false refuses it;
    // result 1 means an extension that is not known.
    bool CheckDownloadFile(int& result, char* path, bool isImage);
    void OnBrowseImage();
    void OnBrowseLanguagePack();
    void OnDropDownImage();
    void OnDropDownLanguagePack();
    void OnSelEndOkImage();
    void OnSelEndOkLanguagePack();

    // ---- Presets and file boxes (app/presets.cpp, app/file_boxes.cpp) ------------------------
    void LoadPreset(bool keepSections);
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

    // ---- Download ----------------------------------------------------------------------------
    bool m_startRequested = false;  // flipped by the Start button; true while a download runs
    bool m_downloadRunning = false; // a download is in progress
    int m_portIndex = 0;            // 0 = "COM1" ... 7 = "COM8"
    int m_baudIndex = 0;            // 0 = 115200, 1 = 57600, 2 = 38400, 3 = 19200
    HWND m_notifyWnd = nullptr;     // this window, for the channel's notifications
    std::unique_ptr<CSerialIO> m_serial;
    const std::uint8_t* m_rxBufferStart = nullptr; // receive buffer of m_serial
    UniqueFile m_imageFile;
    UniqueFile m_lpFile;
    std::uint32_t m_mainBlockCount = 0;
    std::uint32_t m_lpBlockCount = 0;
    char m_imageModel[kImageModelSize] = {};
    char m_lpModel[kLpModelSize] = {};
    CStopwatch m_stopwatch;
    std::uint8_t m_blockFrame[kBlockFrameSize] = {}; // the frame being sent, reused for every block
    CDownloadEngine m_engine{*this};

private:
    // The engine's view of the window, the channel and the files (download/engine_host.cpp).
    bool DownloadRunning() const override;
    void WritePort(const std::uint8_t* bytes, std::size_t count) override;
    void PurgePort() override;
    void ReopenChannel(std::uint32_t baudRate) override;
    const std::uint8_t* RxBufferStart() const override;
    std::uint32_t RxWriteIndex() const override;
    bool SendBlock(Section section) override;
    std::uint16_t SectionCrc(Section section) override;
    void ShowMessage(const char* text) override;
    bool AskOkCancel(const char* text) override;
    bool AskYesNo(const char* text) override;
    void StartTimer(unsigned id, unsigned periodMs) override;
    void StopTimer(unsigned id) override;
    void RestartStopwatch() override;
    void Pause(unsigned milliseconds) override;
    void ClearStartRequest() override;

    HANDLE PortHandle() const;

    int m_argc = 0;
    const char* const* m_argv = nullptr;
};
