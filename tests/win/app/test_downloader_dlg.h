// The real main window, run by the tests: it adds a message-table row that runs test code on the
// window's thread and tells the harness when it is ready. Everything else is CDownloaderDlg's.
#pragma once

#include "app/downloader_dlg.h"
#include "framework/scoped_handle.h"
#include "dialog_harness.h"

#include <memory>
#include <string>
#include <vector>

class TestDownloaderDlg : public CDownloaderDlg
{
public:
    TestDownloaderDlg();

    // Binds the harness before DoModal.
    void SetHarness(DialogThread* harness) { m_harness = harness; }

    // Reached by the tests through Run().
    using CDownloaderDlg::AddReportLine;
    using CDownloaderDlg::m_session;
    using CDownloaderDlg::ReplaceLastReportLine;
    using CDownloaderDlg::SetProgress;
    using CDownloaderDlg::SetProgressRange;
    using CDownloaderDlg::ShowPercent;

    using CDownloaderDlg::ImageAbsBrowseDirectory;
    using CDownloaderDlg::ImageRelBrowseDirectory;
    using CDownloaderDlg::LPAbsBrowseDirectory;
    using CDownloaderDlg::LPRelBrowseDirectory;
    using CDownloaderDlg::m_bootCodeOffBitmap;
    using CDownloaderDlg::m_bootCodeOnBitmap;
    using CDownloaderDlg::m_bootCodeSelected;
    using CDownloaderDlg::m_diagnostics;
    using CDownloaderDlg::m_imagePath;
    using CDownloaderDlg::m_languagePackOffBitmap;
    using CDownloaderDlg::m_languagePackOnBitmap;
    using CDownloaderDlg::m_languagePackSelected;
    using CDownloaderDlg::m_lpPath;
    using CDownloaderDlg::m_mainCodeOffBitmap;
    using CDownloaderDlg::m_mainCodeOnBitmap;
    using CDownloaderDlg::m_mainCodeSelected;
    using CDownloaderDlg::m_modelName;
    using CDownloaderDlg::m_presetName;
    using CDownloaderDlg::m_programDir;
    using CDownloaderDlg::m_startDownloadBitmap;
    using CDownloaderDlg::m_startMode;
    using CDownloaderDlg::m_stopDownloadBitmap;
    using CDownloaderDlg::m_tempDir;
    using CDownloaderDlg::m_toolTip;

protected:
    const MessageMap& GetMessageMap() const override;
    BOOL OnInitDialog() override;

private:
    LRESULT OnRunTask(WPARAM wParam, LPARAM lParam);

    DialogThread* m_harness = nullptr;
};

// How a test starts the window: by default from a stored "Development" preset that gives the
// window's own start state, with no arguments.
struct WindowStart
{
    bool seedIdlePreset = true;
    std::vector<std::string> arguments; // after the program's name
};

// The main window running on its own thread, ready when constructed.
struct RunningMainWindow
{
    explicit RunningMainWindow(WindowStart start = {});

    // Runs test code on the window's thread with the window object at hand.
    template <class Task> void Run(Task task)
    {
        thread->Run([&] { task(*dialog); });
    }

    bool Running();
    // Types a path into a file box, as the operator does.
    void TypePath(int fileBoxId, const std::string& path);
    // Presses Start and answers the one message box it should show.
    SeenMessageBox StartExpectingMessage();
    // Ends the window as its close box does and waits; true when it ended in time.
    bool Close();

    std::vector<std::string> arguments;
    std::vector<const char*> argv;
    std::unique_ptr<TestDownloaderDlg> dialog;
    std::unique_ptr<DialogThread> thread;
};

// A download that runs without a port: its image is held open by the test without sharing, so
// the start keeps its running look after "Error opening download Image file" and sends nothing.
// Needs COM1 for the port check. The next press of Start ends it.
class HeldDownload
{
public:
    explicit HeldDownload(RunningMainWindow& window);

    SeenMessageBox box; // the start's box
    TempFile image{"app_tests_held.rel", Rt47Image(100)};

private:
    CScopedHandle m_lock;
};
