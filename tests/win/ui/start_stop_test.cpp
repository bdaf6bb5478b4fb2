// Starting and stopping downloads through the Start button: the checks in their order with their
// messages, a start that opens the channel, and the stop. COM1 must exist (the test fixture
// wires it to the handset simulator); nothing here talks to a handset.
#include "framework/message_box.h"
#include "framework/scoped_handle.h"
#include "res/resource.h"
#include "test_downloader_dlg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
constexpr int kSettingsControls[] = {IDC_BROWSE_LANGUAGE_PACK,
                                     IDC_BROWSE_IMAGE,
                                     IDC_LANGUAGE_PACK_FILE,
                                     IDC_IMAGE_FILE,
                                     IDC_GANG_MODE,
                                     IDC_COM_PORT,
                                     IDC_BAUD_RATE,
                                     IDC_MOBILE_MODEL};

// An image whose product field names the model RT47.
std::string Rt47Image(std::size_t blocks)
{
    std::string content = ReleaseFileContent(blocks);
    std::memcpy(&content[0x10024], "RT47-SAMPLE", 11);
    return content;
}

class StartStopTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(window.thread->Started()); }

    HWND Item(int id) const { return window.thread->Item(id); }

    void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }

    void SetPaths(const std::string& image, const std::string& languagePack)
    {
        window.Run(
            [&](TestDownloaderDlg& d)
            {
                std::strcpy(d.m_imagePath, image.c_str());
                std::strcpy(d.m_lpPath, languagePack.c_str());
                d.UpdateData(false);
            });
    }

    void ChooseModel(const char* model)
    {
        ::ChooseModel(window.thread->Window(), Item(IDC_MOBILE_MODEL), model);
    }

    // Presses Start and answers the one message box it should show.
    SeenMessageBox StartExpectingMessage()
    {
        AsyncSend click(Item(IDC_START_DOWNLOAD), BM_CLICK);
        const SeenMessageBox box = AnswerMessageBox(window.thread->Thread(), IDOK);
        click.Wait();
        return box;
    }

    void ExpectIdle()
    {
        bool running = true, requested = true, channel = true;
        HBITMAP shown = nullptr, start = nullptr;
        window.Run(
            [&](TestDownloaderDlg& d)
            {
                running = d.m_downloadRunning;
                requested = d.m_startRequested;
                channel = d.m_serial != nullptr;
                start = d.m_startDownloadBitmap.Get();
                shown = reinterpret_cast<HBITMAP>(
                    SendMessageA(Item(IDC_START_DOWNLOAD), BM_GETIMAGE, IMAGE_BITMAP, 0));
            });
        EXPECT_FALSE(running);
        EXPECT_FALSE(requested);
        EXPECT_FALSE(channel);
        EXPECT_EQ(shown, start);
    }

    static bool ComPortPresent()
    {
        CScopedHandle port(CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
        return port.IsValid();
    }

    RunningMainWindow window;
};

TEST_F(StartStopTest, NothingSelectedIsRefusedFirst)
{
    const SeenMessageBox box = StartExpectingMessage();
    EXPECT_EQ(box.text, "No sections selected to download!");
    EXPECT_EQ(box.caption, ApplicationName());
    EXPECT_EQ(box.owner, window.thread->Window());
    ExpectIdle();
    // The next press after choosing a section goes past this check.
    Click(IDC_MAIN_CODE_BUTTON);
    EXPECT_NE(StartExpectingMessage().text, "No sections selected to download!");
}

TEST_F(StartStopTest, PortThatCannotBeOpenedIsRefusedBeforeAnyFileIsLookedAt)
{
    // A port of the list that this machine cannot open.
    int unusable = -1;
    for (int index = 7; index >= 0 && unusable < 0; --index)
    {
        const std::string name = "COM" + std::to_string(index + 1);
        CScopedHandle port(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
        if (!port.IsValid())
        {
            unusable = index;
        }
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
    Click(IDC_MAIN_CODE_BUTTON); // with no image path at all
    EXPECT_EQ(StartExpectingMessage().text, "Failed to open com port - Please check no other "
                                            "applications are currently using this port.");
    ExpectIdle();
}

TEST_F(StartStopTest, ListsWithoutASelectionAreRefused)
{
    Click(IDC_MAIN_CODE_BUTTON);
    SendMessageA(Item(IDC_BAUD_RATE), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(StartExpectingMessage().text, "No Baud Rate selected !");
    SendMessageA(Item(IDC_BAUD_RATE), CB_SETCURSEL, 0, 0);
    SendMessageA(Item(IDC_COM_PORT), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(StartExpectingMessage().text, "No COM Port selected !");
    ExpectIdle();
}

TEST_F(StartStopTest, ImageChecksInTheirOrder)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    Click(IDC_MAIN_CODE_BUTTON);
    SetPaths("", "");
    EXPECT_EQ(StartExpectingMessage().text, "No Image filename selected !");

    SetPaths("C:\\no such folder\\main.rel", "");
    EXPECT_EQ(StartExpectingMessage().text, "Image File not found !");

    TempFile absolute("ui_tests_main.sre", "S0");
    SetPaths(absolute.Path(), "");
    EXPECT_EQ(StartExpectingMessage().text, "Image file extension not recognised!");
    ExpectIdle();
    EXPECT_EQ(ListBoxCount(Item(IDC_REPORT_LIST)), 0);
}

TEST_F(StartStopTest, LanguagePackChecksInTheirOrder)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    ChooseModel("RT47"); // the first model of the list takes no language pack
    Click(IDC_LANGUAGE_PACK_BUTTON);
    SetPaths("", "");
    EXPECT_EQ(StartExpectingMessage().text, "No Language Pack filename selected !");

    SetPaths("", "C:\\no such folder\\lpt47.rel");
    EXPECT_EQ(StartExpectingMessage().text, "Language Pack File not found !");

    TempFile text("ui_tests_lpt47.txt", "x");
    SetPaths("", text.Path());
    EXPECT_EQ(StartExpectingMessage().text, "Language Pack file extension not recognised!");
    ExpectIdle();
}

TEST_F(StartStopTest, FileCheckTakesTheFileBoxTextAgain)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    TempFile release("ui_tests_main.rel", ReleaseFileContent(2));
    TempFile absolute("ui_tests_main.sre", "S0");
    Click(IDC_MAIN_CODE_BUTTON);
    // The path as it stands exists; the box meanwhile names a file of another kind.
    SetPaths(release.Path(), "");
    SetWindowTextA(Item(IDC_IMAGE_FILE), absolute.Path().c_str());
    EXPECT_EQ(StartExpectingMessage().text, "Image file extension not recognised!");
}

TEST_F(StartStopTest, ImageTooShortToHoldABlockIsRefusedAndTheWindowGoesIdle)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    TempFile tiny("ui_tests_tiny.rel", "REL");
    Click(IDC_MAIN_CODE_BUTTON);
    SetPaths(tiny.Path(), "");
    EXPECT_EQ(StartExpectingMessage().text, "Image file too short to hold a block!");
    ExpectIdle();
    for (int id : kSettingsControls)
    {
        const bool languagePackControl =
            id == IDC_BROWSE_LANGUAGE_PACK || id == IDC_LANGUAGE_PACK_FILE;
        EXPECT_EQ(IsWindowEnabled(Item(id)) != FALSE, !languagePackControl) << id;
    }
}

TEST_F(StartStopTest, LanguagePackTooShortToHoldABlockIsRefused)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    TempFile tiny("ui_tests_lpt47_tiny.rel", "");
    ChooseModel("RT47");
    Click(IDC_LANGUAGE_PACK_BUTTON);
    SetPaths("", tiny.Path());
    EXPECT_EQ(StartExpectingMessage().text, "Language Pack file too short to hold a block!");
    ExpectIdle();
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_LANGUAGE_PACK_FILE)));
}

TEST_F(StartStopTest, StartOpensTheChannelAndASecondPressStopsIt)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    TempFile image("ui_tests_main.rel", Rt47Image(200));
    Click(IDC_MAIN_CODE_BUTTON);
    SetPaths(image.Path(), "");
    window.Run([](TestDownloaderDlg& d) { d.AddReportLine("left from before"); });

    // Both presses in one turn of the window's thread, so no handset answer comes in between.
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            HWND start = d.GetDlgItem(IDC_START_DOWNLOAD);
            SendMessageA(start, BM_CLICK, 0, 0);

            EXPECT_TRUE(d.m_downloadRunning);
            EXPECT_TRUE(d.m_startRequested);
            EXPECT_NE(d.m_serial, nullptr);
            EXPECT_NE(d.m_imageFile, nullptr);
            EXPECT_EQ(d.m_mainBlockCount, 200u);
            EXPECT_EQ(std::string(d.m_imageModel, 4), "R 47");
            EXPECT_EQ(d.m_engine.State(), DownloadState::Signalling);
            EXPECT_EQ(reinterpret_cast<HBITMAP>(SendMessageA(start, BM_GETIMAGE, IMAGE_BITMAP, 0)),
                      d.m_stopDownloadBitmap.Get());
            HWND report = d.GetDlgItem(IDC_REPORT_LIST);
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

            EXPECT_FALSE(d.m_downloadRunning);
            EXPECT_FALSE(d.m_startRequested);
            EXPECT_EQ(d.m_serial, nullptr);
            EXPECT_EQ(d.m_imageFile, nullptr);
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
        EXPECT_TRUE(IsWindowEnabled(Item(id))) << id;
    }
    // The language pack was not chosen: its controls stay off.
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_LANGUAGE_PACK_FILE)));
}

TEST_F(StartStopTest, StopKeepsSettingsLockedWithAPreset)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    TempFile image("ui_tests_main.rel", Rt47Image(100));
    Click(IDC_MAIN_CODE_BUTTON);
    SetPaths(image.Path(), "");
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            d.m_startMode = StartModePreset;
            HWND start = d.GetDlgItem(IDC_START_DOWNLOAD);
            SendMessageA(start, BM_CLICK, 0, 0);
            EXPECT_TRUE(d.m_downloadRunning);
            SendMessageA(start, BM_CLICK, 0, 0);
            EXPECT_FALSE(d.m_downloadRunning);
            for (int id : kSettingsControls)
            {
                EXPECT_FALSE(IsWindowEnabled(d.GetDlgItem(id))) << id;
            }
        });
}

TEST_F(StartStopTest, ImageThatCannotBeOpenedLeavesTheRunningLookUntilTheNextPress)
{
    ASSERT_TRUE(ComPortPresent()) << "COM1 must be there (the simulator fixture provides it)";
    TempFile image("ui_tests_locked.rel", Rt47Image(100));
    CScopedHandle locked(CreateFileA(image.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(locked.IsValid());
    Click(IDC_MAIN_CODE_BUTTON);
    SetPaths(image.Path(), "");

    const SeenMessageBox box = StartExpectingMessage();
    EXPECT_EQ(box.text, "Error opening download Image file:\n" + image.Path());
    bool running = false, channel = true;
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            running = d.m_downloadRunning;
            channel = d.m_serial != nullptr;
        });
    EXPECT_TRUE(running);
    EXPECT_FALSE(channel);

    locked.Reset();
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
} // namespace
