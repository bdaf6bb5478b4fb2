// Starting and stopping through the real window: the boxes it owns, its controls before, during
// and after a download, the Win32 checks of ports and files, and the channel on COM1. The order
// of the checks and what a stop takes down are tested natively on the session. COM1 must exist
// (the test fixture wires it to the handset simulator); nothing here talks to a handset.
#include "app/settings_controls.h"
#include "framework/message_box.h"
#include "res/resource.h"
#include "serial/serial_io_win.h"
#include "test_downloader_dlg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace
{

class StartStopTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(window.thread->Started()); }

    HWND Item(int id) const { return window.thread->Item(id); }
    void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }
    bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }

    HBITMAP StartPicture()
    {
        return reinterpret_cast<HBITMAP>(
            SendMessageA(Item(IDC_START_DOWNLOAD), BM_GETIMAGE, IMAGE_BITMAP, 0));
    }

    void ExpectIdle()
    {
        EXPECT_FALSE(window.Running());
        HBITMAP start = nullptr;
        window.Run([&](TestDownloaderDlg& d) { start = d.m_startDownloadBitmap.Get(); });
        EXPECT_EQ(StartPicture(), start);
    }

    static bool ComPortPresent()
    {
        CScopedHandle port(CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
        return port.IsValid();
    }

    RunningMainWindow window;
};

TEST_F(StartStopTest, RefusalIsTheWindowsOwnBoxAndFollowsTheSectionButtons)
{
    const SeenMessageBox box = window.StartExpectingMessage();
    EXPECT_EQ(box.text, "No sections selected to download!");
    EXPECT_EQ(box.caption, ApplicationName());
    EXPECT_EQ(box.owner, window.thread->Window());
    ExpectIdle();
    // The next press after choosing a section goes past this check.
    Click(IDC_MAIN_CODE_BUTTON);
    EXPECT_NE(window.StartExpectingMessage().text, "No sections selected to download!");
}

TEST_F(StartStopTest, PortThatCannotBeOpenedHereIsRefused)
{
    // A port of the list that this machine cannot open.
    int unusable = -1;
    for (int index = 7; index >= 0 && unusable < 0; --index)
    {
        const std::string name = "COM" + std::to_string(index + 1);
        CScopedHandle port(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
        unusable = port.IsValid() ? -1 : index;
    }
    if (unusable < 0)
    {
        GTEST_SKIP() << "every port from COM1 to COM8 can be opened here";
    }
    const std::string name = "COM" + std::to_string(unusable + 1);
    HWND ports = Item(IDC_COM_PORT);
    SendMessageA(ports, CB_SETCURSEL,
                 SendMessageA(ports, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>(name.c_str())),
                 0);
    Click(IDC_MAIN_CODE_BUTTON);
    EXPECT_EQ(window.StartExpectingMessage().text,
              "Failed to open com port - Please check no other applications are currently using "
              "this port.");
    ExpectIdle();
}

TEST_F(StartStopTest, FileCheckTakesTheFileBoxTextAgain)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    TempFile release("app_tests_main.rel", ReleaseFileContent(2));
    TempFile absolute("app_tests_main.sre", "S0");
    Click(IDC_MAIN_CODE_BUTTON);
    window.TypePath(IDC_IMAGE_FILE, "C:\\no such folder\\main.rel");
    EXPECT_EQ(window.StartExpectingMessage().text, "Image File not found !");
    // The path as it stands exists; the box meanwhile names a file of another kind.
    window.Run(
        [&](TestDownloaderDlg& d)
        { std::snprintf(d.m_imagePath, sizeof d.m_imagePath, "%s", release.Path().c_str()); });
    window.TypePath(IDC_IMAGE_FILE, absolute.Path());
    EXPECT_EQ(window.StartExpectingMessage().text, "Image file extension not recognised!");
    EXPECT_EQ(ListBoxCount(Item(IDC_REPORT_LIST)), 0);
}

TEST_F(StartStopTest, RefusedFileLeavesTheControlsOfTheChosenSectionsOn)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    TempFile tiny("app_tests_tiny.rel", "REL");
    Click(IDC_MAIN_CODE_BUTTON);
    window.TypePath(IDC_IMAGE_FILE, tiny.Path());
    EXPECT_EQ(window.StartExpectingMessage().text, "Image file too short to hold a block!");
    ExpectIdle();
    for (int id : kSettingsControls)
    {
        const bool languagePackControl =
            id == IDC_BROWSE_LANGUAGE_PACK || id == IDC_LANGUAGE_PACK_FILE;
        EXPECT_EQ(Enabled(id), !languagePackControl) << id;
    }

    ::ChooseModel(window.thread->Window(), Item(IDC_MOBILE_MODEL), "RT47");
    Click(IDC_MAIN_CODE_BUTTON);
    Click(IDC_LANGUAGE_PACK_BUTTON);
    TempFile tinyPack("app_tests_lpt47_tiny.rel", "REL"); // the name says which language pack
    window.TypePath(IDC_LANGUAGE_PACK_FILE, tinyPack.Path());
    EXPECT_EQ(window.StartExpectingMessage().text, "Language Pack file too short to hold a block!");
    ExpectIdle();
    EXPECT_TRUE(Enabled(IDC_LANGUAGE_PACK_FILE));
    EXPECT_FALSE(Enabled(IDC_IMAGE_FILE));
}

TEST_F(StartStopTest, StartOpensTheChannelAndASecondPressStopsIt)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    TempFile image("app_tests_main.rel", Rt47Image(200));
    Click(IDC_MAIN_CODE_BUTTON);
    window.TypePath(IDC_IMAGE_FILE, image.Path());
    HWND report = Item(IDC_REPORT_LIST);
    SendMessageA(report, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("left from before"));

    // Both presses in one turn of the window's thread, so no handset answer comes in between.
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            HWND start = d.GetDlgItem(IDC_START_DOWNLOAD);
            SendMessageA(start, BM_CLICK, 0, 0);

            EXPECT_TRUE(d.m_session.Running());
            EXPECT_EQ(d.m_session.MainBlockCount(), 200u);
            EXPECT_EQ(d.m_session.Engine().State(), DownloadState::Signalling);
            EXPECT_EQ(StartPicture(), d.m_stopDownloadBitmap.Get());
            EXPECT_EQ(ListBoxCount(report), 1);
            EXPECT_EQ(ListBoxLine(report, 0), "Signalling...");
            EXPECT_EQ(ListBoxLine(d.GetDlgItem(IDC_DOWNLOAD_TIME), 0), "00m00s");
            EXPECT_EQ(SendMessageA(d.GetDlgItem(IDC_MAIN_CODE_PROGRESS), PBM_GETRANGE, TRUE, 0),
                      64);
            EXPECT_EQ(SendMessageA(d.GetDlgItem(IDC_MAIN_CODE_PROGRESS), PBM_GETRANGE, FALSE, 0),
                      199);
            for (int id : kSettingsControls)
            {
                EXPECT_FALSE(IsWindowEnabled(d.GetDlgItem(id))) << id;
            }
            for (int id : {IDC_START_DOWNLOAD, IDC_BOOT_CODE_BUTTON, IDC_MAIN_CODE_BUTTON,
                           IDC_LANGUAGE_PACK_BUTTON})
            {
                EXPECT_TRUE(IsWindowEnabled(d.GetDlgItem(id))) << id;
            }
            EXPECT_NE(GetMenuState(GetMenu(d.GetSafeHwnd()), ID_PRESETS_BROWSE, MF_BYCOMMAND) &
                          MF_GRAYED,
                      0u);

            SendMessageA(start, BM_CLICK, 0, 0);

            EXPECT_FALSE(d.m_session.Running());
            EXPECT_EQ(ListBoxCount(report), 2);
            EXPECT_EQ(ListBoxLine(report, 1), "Download terminated by User.");
            // The signal timer no longer runs.
            EXPECT_FALSE(KillTimer(d.GetSafeHwnd(), kSignalTimer));
            EXPECT_EQ(GetMenuState(GetMenu(d.GetSafeHwnd()), ID_PRESETS_BROWSE, MF_BYCOMMAND) &
                          MF_GRAYED,
                      0u);
        });
    ExpectIdle();
    for (int id : {IDC_BROWSE_IMAGE, IDC_IMAGE_FILE, IDC_GANG_MODE, IDC_COM_PORT, IDC_BAUD_RATE,
                   IDC_MOBILE_MODEL})
    {
        EXPECT_TRUE(Enabled(id)) << id;
    }
    // The language pack was not chosen: its controls stay off.
    EXPECT_FALSE(Enabled(IDC_LANGUAGE_PACK_FILE));
}

TEST_F(StartStopTest, StopKeepsSettingsLockedWithAPreset)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    TempFile image("app_tests_main.rel", Rt47Image(100));
    Click(IDC_MAIN_CODE_BUTTON);
    window.TypePath(IDC_IMAGE_FILE, image.Path());
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            d.m_startMode = StartModePreset;
            HWND start = d.GetDlgItem(IDC_START_DOWNLOAD);
            SendMessageA(start, BM_CLICK, 0, 0);
            EXPECT_TRUE(d.m_session.Running());
            SendMessageA(start, BM_CLICK, 0, 0);
            EXPECT_FALSE(d.m_session.Running());
            for (int id : kSettingsControls)
            {
                EXPECT_FALSE(IsWindowEnabled(d.GetDlgItem(id))) << id;
            }
        });
}

// A file another program holds without sharing cannot be opened; the start keeps its running
// look until the next press.
TEST_F(StartStopTest, ImageThatCannotBeOpenedLeavesTheRunningLookUntilTheNextPress)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    HeldDownload held(window);
    EXPECT_EQ(held.box.text, "Error opening download Image file:\n" + held.image.Path());
    EXPECT_TRUE(window.Running());
    HBITMAP stop = nullptr;
    window.Run([&](TestDownloaderDlg& d) { stop = d.m_stopDownloadBitmap.Get(); });
    EXPECT_EQ(StartPicture(), stop);

    Click(IDC_START_DOWNLOAD);
    ExpectIdle();
    HWND report = Item(IDC_REPORT_LIST);
    EXPECT_EQ(ListBoxLine(report, ListBoxCount(report) - 1), "Download terminated by User.");
}

TEST_F(StartStopTest, DownloadEndMessageStopsAndReports)
{
    SendMessageA(window.thread->Window(), WM_DOWNLOAD_END, 0, 0);
    HWND report = Item(IDC_REPORT_LIST);
    ASSERT_EQ(ListBoxCount(report), 2);
    EXPECT_EQ(ListBoxLine(report, 0), "Failed to open Com Port!");
    EXPECT_EQ(ListBoxLine(report, 1), "Download terminated.");
    EXPECT_EQ(SendMessageA(report, LB_GETCURSEL, 0, 0), 1);
    ExpectIdle();
}
// A transfer's progress is drawn after the block, at most every few tens of milliseconds: the
// report's text is right at once, and the last values reach the bar and its box by themselves
// when the window is idle, or at once when a new step's line comes.
TEST_F(StartStopTest, TransferProgressIsDrawnLaterButNeverLost)
{
    HWND report = Item(IDC_REPORT_LIST);
    HWND bar = Item(IDC_MAIN_CODE_PROGRESS);
    HWND box = Item(IDC_MAIN_CODE_PERCENT);
    const auto showBlocks = [&](int first, int last)
    {
        window.Run(
            [&](TestDownloaderDlg& d)
            {
                d.SetProgressRange(ProgressBar::MainCode, 64, 1087);
                d.AddReportLine("Sending Block 0x0040 of 0x043f");
                for (int block = first; block <= last; ++block)
                {
                    char text[48];
                    std::snprintf(text, sizeof text, "%d%%", (block - 64) * 100 / 1023);
                    d.SetProgress(ProgressBar::MainCode, block);
                    d.ShowPercent(ProgressBar::MainCode, text);
                    std::snprintf(text, sizeof text, "Sending Block 0x%04x of 0x043f", block);
                    d.ReplaceLastReportLine(text);
                }
                EXPECT_EQ(ListBoxLine(report, ListBoxCount(report) - 1),
                          "Sending Block " + std::string(last == 1087 ? "0x043f" : "0x0258") +
                              " of 0x043f");
            });
    };

    showBlocks(64, 600); // the window then goes idle: the last values come by themselves
    const DWORD until = GetTickCount() + kWaitLimitMs;
    while (SendMessageA(bar, PBM_GETPOS, 0, 0) != 600 && GetTickCount() < until)
        Sleep(10);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 600);
    EXPECT_EQ(ListBoxLine(box, 0), "52%");

    showBlocks(601, 1087);
    window.Run([&](TestDownloaderDlg& d) { d.AddReportLine("Waiting for checksum response..."); });
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 1087);
    EXPECT_EQ(ListBoxLine(box, 0), "100%");
    EXPECT_EQ(ListBoxLine(report, ListBoxCount(report) - 2), "Sending Block 0x043f of 0x043f");
    EXPECT_EQ(SendMessageA(report, LB_GETCURSEL, 0, 0), ListBoxCount(report) - 1);
}
} // namespace
