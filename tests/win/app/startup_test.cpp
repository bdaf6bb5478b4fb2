// The main window as start-up leaves it, with no command-line arguments.
#include "preset_store.h"
#include "res/resource.h"
#include "test_downloader_dlg.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
class StartupTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(window.thread->Started()); }

    HWND Item(int id) const { return window.thread->Item(id); }

    RunningMainWindow window;
};

TEST_F(StartupTest, DefaultsWithoutArguments)
{
    std::string preset;
    StartMode mode = StartModeUnset;
    bool diagnostics = true;
    int sections = -1;
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            preset = d.m_presetName;
            mode = d.m_startMode;
            diagnostics = d.m_diagnostics;
            sections = d.m_bootCodeSelected + d.m_mainCodeSelected + d.m_languagePackSelected;
        });
    EXPECT_EQ(preset, "Development");
    EXPECT_EQ(mode, StartModeDevelopment);
    EXPECT_FALSE(diagnostics);
    EXPECT_EQ(sections, 0);
}

TEST_F(StartupTest, DisplayBoxesShowTheirStartTexts)
{
    for (int id : {IDC_BOOT_CODE_PERCENT, IDC_MAIN_CODE_PERCENT, IDC_LANGUAGE_PACK_PERCENT})
    {
        ASSERT_EQ(ListBoxCount(Item(id)), 1) << id;
        EXPECT_EQ(ListBoxLine(Item(id), 0), "0%") << id;
        EXPECT_EQ(SendMessageA(Item(id), LB_GETCURSEL, 0, 0), 0) << id;
    }
    ASSERT_EQ(ListBoxCount(Item(IDC_DOWNLOAD_TIME)), 1);
    EXPECT_EQ(ListBoxLine(Item(IDC_DOWNLOAD_TIME), 0), "00m00s");
    EXPECT_EQ(ListBoxCount(Item(IDC_REPORT_LIST)), 0);
}

TEST_F(StartupTest, ListsSelectTheirFirstEntries)
{
    for (int id : {IDC_BAUD_RATE, IDC_COM_PORT, IDC_MOBILE_MODEL})
    {
        EXPECT_EQ(SendMessageA(Item(id), CB_GETCURSEL, 0, 0), 0) << id;
    }
    EXPECT_EQ(WindowText(Item(IDC_BAUD_RATE)), "115200");
    EXPECT_EQ(WindowText(Item(IDC_COM_PORT)), "COM1");
    EXPECT_EQ(WindowText(Item(IDC_MOBILE_MODEL)), "RT50");
}

TEST_F(StartupTest, ProgressBarsAreEmptyWithTheirRanges)
{
    EXPECT_EQ(SendMessageA(Item(IDC_BOOT_CODE_PROGRESS), PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageA(Item(IDC_BOOT_CODE_PROGRESS), PBM_GETRANGE, FALSE, 0), 63);
    EXPECT_EQ(SendMessageA(Item(IDC_MAIN_CODE_PROGRESS), PBM_GETRANGE, TRUE, 0), 64);
    EXPECT_EQ(SendMessageA(Item(IDC_LANGUAGE_PACK_PROGRESS), PBM_GETRANGE, TRUE, 0), 0);
    for (int id : {IDC_BOOT_CODE_PROGRESS, IDC_LANGUAGE_PACK_PROGRESS})
    {
        EXPECT_EQ(SendMessageA(Item(id), PBM_GETPOS, 0, 0), 0) << id;
    }
    // The main bar's range starts at 64, so its empty position is its lower end.
    EXPECT_LE(SendMessageA(Item(IDC_MAIN_CODE_PROGRESS), PBM_GETPOS, 0, 0), 64);
}

TEST_F(StartupTest, PicturesShowIdleAndAllSectionsOff)
{
    HBITMAP start = nullptr, bootOff = nullptr, mainOff = nullptr, lpOff = nullptr;
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            start = d.m_startDownloadBitmap.Get();
            bootOff = d.m_bootCodeOffBitmap.Get();
            mainOff = d.m_mainCodeOffBitmap.Get();
            lpOff = d.m_languagePackOffBitmap.Get();
        });
    ASSERT_NE(start, nullptr);
    auto image = [&](int id)
    { return reinterpret_cast<HBITMAP>(SendMessageA(Item(id), BM_GETIMAGE, IMAGE_BITMAP, 0)); };
    EXPECT_EQ(image(IDC_START_DOWNLOAD), start);
    EXPECT_EQ(image(IDC_BOOT_CODE_BUTTON), bootOff);
    EXPECT_EQ(image(IDC_MAIN_CODE_BUTTON), mainOff);
    EXPECT_EQ(image(IDC_LANGUAGE_PACK_BUTTON), lpOff);
}

TEST_F(StartupTest, FileControlsFollowTheSectionsAndSettingsAreOpen)
{
    for (int id :
         {IDC_IMAGE_FILE, IDC_BROWSE_IMAGE, IDC_LANGUAGE_PACK_FILE, IDC_BROWSE_LANGUAGE_PACK})
    {
        EXPECT_FALSE(IsWindowEnabled(Item(id))) << id;
    }
    for (int id :
         {IDC_GANG_MODE, IDC_COM_PORT, IDC_BAUD_RATE, IDC_MOBILE_MODEL, IDC_START_DOWNLOAD,
          IDC_BOOT_CODE_BUTTON, IDC_MAIN_CODE_BUTTON, IDC_LANGUAGE_PACK_BUTTON, IDC_REPORT_LIST})
    {
        EXPECT_TRUE(IsWindowEnabled(Item(id))) << id;
    }
}

TEST_F(StartupTest, WindowCarriesTheProgramIcon)
{
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    EXPECT_EQ(
        reinterpret_cast<HICON>(SendMessageA(window.thread->Window(), WM_GETICON, ICON_BIG, 0)),
        icon);
    EXPECT_EQ(
        reinterpret_cast<HICON>(SendMessageA(window.thread->Window(), WM_GETICON, ICON_SMALL, 0)),
        icon);
    EXPECT_EQ(
        reinterpret_cast<HICON>(SendMessageA(window.thread->Window(), WM_QUERYDRAGICON, 0, 0)),
        icon);
}

TEST_F(StartupTest, EightTooltipsWithTheirTextsInOrder)
{
    HWND tip = nullptr;
    window.Run([&](TestDownloaderDlg& d) { tip = d.m_toolTip.GetSafeHwnd(); });
    ASSERT_NE(tip, nullptr);
    ASSERT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 8);
    const struct
    {
        int control;
        const char* text;
    } expected[] = {
        {IDC_START_DOWNLOAD, "Start/Stop Download"},
        {IDC_MAIN_CODE_BUTTON, "Download Main Code"},
        {IDC_BOOT_CODE_BUTTON, "Download Boot Code"},
        {IDC_LANGUAGE_PACK_BUTTON, "Download Language Pack"},
        {IDC_BAUD_RATE, "Baud Rate Selections"},
        {IDC_MOBILE_MODEL, "Choose the mobile model you wish to download to."},
        {IDC_REPORT_LIST, "Shows the current state of the download and all the relevant messages."},
        {IDC_GANG_MODE, "Select this box to use the Tandrix "},
    };
    for (int i = 0; i < 8; ++i)
    {
        char text[256] = {};
        TOOLINFOA info = {};
        info.cbSize = TTTOOLINFOA_V2_SIZE;
        ASSERT_TRUE(SendMessageA(tip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&info)));
        EXPECT_EQ(reinterpret_cast<HWND>(info.uId), Item(expected[i].control)) << i;
        info.lpszText = text;
        SendMessageA(tip, TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_STREQ(text, expected[i].text) << i;
    }
}

TEST_F(StartupTest, FoldersEndInABackslash)
{
    std::string temp, program;
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            temp = d.m_tempDir;
            program = d.m_programDir;
        });
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_EQ(temp, std::string(windows) + "\\Temp\\");
    // The program file's own folder, not that of the first argument (C:\TervoloPLUS\ here).
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    const std::string modulePath = module;
    EXPECT_EQ(program, modulePath.substr(0, modulePath.rfind('\\') + 1));
}

// Files named on the command line stand: their sections are kept, the language pack is allowed,
// and the preset's own paths do not replace them.
TEST(StartupWithFiles, FileArgumentsKeepTheirSectionsAndPaths)
{
    preset_store::SeedIdleDevelopment();
    preset_store::Write("Development", {{"MobileModel", "RT47"},
                                        {"ImageFilenameLength", "0012"},
                                        {"ImageFilename", "C:\\main.rel"},
                                        {"LPFilenameLength", "0013"},
                                        {"LPFilename", "C:\\LPT47.rel"}});
    RunningMainWindow window(WindowStart{false, {"D:\\rel\\main.rel", "D:\\lp\\LPT47_v2.rel"}});
    ASSERT_TRUE(window.thread->Started());
    int sections[3] = {};
    std::string preset;
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            sections[0] = d.m_bootCodeSelected;
            sections[1] = d.m_mainCodeSelected;
            sections[2] = d.m_languagePackSelected;
            preset = d.m_presetName;
        });
    EXPECT_EQ(sections[0] + sections[1] + sections[2], 3);
    EXPECT_EQ(preset, "Development");
    EXPECT_EQ(WindowText(window.thread->Item(IDC_IMAGE_FILE)), "D:\\rel\\main.rel");
    EXPECT_EQ(WindowText(window.thread->Item(IDC_LANGUAGE_PACK_FILE)), "D:\\lp\\LPT47_v2.rel");
    EXPECT_EQ(WindowText(window.thread->Item(IDC_MOBILE_MODEL)), "RT47");
}
} // namespace
