// The file boxes: opening a list adds the shown path once, choosing an entry takes it, and
// Browse... opens the Open dialog in the remembered folder and remembers the new one.
#include "res/resource.h"
#include "test_downloader_dlg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr int kFileNameBox = 0x47C;  // cmb13 of the Open dialog: the file name
constexpr int kFileTypeList = 0x470; // cmb1: the file types

void Notify(HWND window, HWND control, int code)
{
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
                 reinterpret_cast<LPARAM>(control));
}

std::vector<std::string> Entries(HWND box)
{
    std::vector<std::string> entries;
    const int count = static_cast<int>(SendMessageA(box, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
    {
        entries.push_back(ComboBoxEntry(box, i));
    }
    return entries;
}

class FileBoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.thread->Started());
        main = window.thread->Window();
        image = window.thread->Item(IDC_IMAGE_FILE);
    }

    RunningMainWindow window;
    HWND main = nullptr;
    HWND image = nullptr;
};

TEST_F(FileBoxTest, OpeningTheListPutsANewPathOnTopOnceAndNotWhileADownloadRuns)
{
    for (const char* entry : {"W", "X", "Y", "Z"})
    {
        SendMessageA(image, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
    SetWindowTextA(image, "V");
    Notify(main, image, CBN_DROPDOWN);
    EXPECT_EQ(Entries(image), (std::vector<std::string>{"V", "W", "X", "Y"}));
    SetWindowTextA(image, "x"); // listed, case ignored: stays where it is
    Notify(main, image, CBN_DROPDOWN);
    SetWindowTextA(image, "");
    Notify(main, image, CBN_DROPDOWN);
    EXPECT_EQ(Entries(image), (std::vector<std::string>{"V", "W", "X", "Y"}));

    HeldDownload held(window);
    ASSERT_TRUE(window.Running());
    SetWindowTextA(image, "U");
    Notify(main, image, CBN_DROPDOWN);
    EXPECT_EQ(SendMessageA(image, CB_GETCOUNT, 0, 0), 4);
    // Choosing an entry still takes its path.
    SendMessageA(image, CB_SETCURSEL, 2, 0);
    Notify(main, image, CBN_SELENDOK);
    std::string path;
    window.Run([&](TestDownloaderDlg& d) { path = d.m_imagePath; });
    EXPECT_EQ(path, "X");
    SendMessageA(window.thread->Item(IDC_START_DOWNLOAD), BM_CLICK, 0, 0); // the stop
    EXPECT_FALSE(window.Running());
}

TEST_F(FileBoxTest, BrowseOffersTheSevenTypesAndRemembersTheChosenFolder)
{
    TempFile chosen("browse_pick.rel", "REL1");
    const std::string folder = chosen.Path().substr(0, chosen.Path().find_last_of('\\') + 1);
    window.Run([&](TestDownloaderDlg& d)
               { std::snprintf(d.ImageAbsBrowseDirectory, 500, "%s", folder.c_str()); });
    SetWindowTextA(image, "C:\\before.rel");

    AsyncSend click(main, WM_COMMAND, MAKEWPARAM(IDC_BROWSE_IMAGE, BN_CLICKED),
                    reinterpret_cast<LPARAM>(window.thread->Item(IDC_BROWSE_IMAGE)));
    HWND open = nullptr;
    const ULONGLONG deadline = GetTickCount64() + kWaitLimitMs;
    // The dialog is ready once its type list is filled.
    while (((open = FindWindowA("#32770", "Open")) == nullptr ||
            SendDlgItemMessageA(open, kFileTypeList, CB_GETCOUNT, 0, 0) <= 0) &&
           GetTickCount64() < deadline)
    {
        Sleep(10);
    }
    ASSERT_NE(open, nullptr);
    HWND types = GetDlgItem(open, kFileTypeList);
    std::vector<std::string> shown;
    for (int i = 0; i < 7; ++i)
    {
        shown.push_back(ComboBoxEntry(types, i));
    }
    const LRESULT preselected = SendMessageA(types, CB_GETCURSEL, 0, 0);
    SetDlgItemTextA(open, kFileNameBox, chosen.Path().c_str());
    PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    click.Wait();
    EXPECT_EQ(shown, (std::vector<std::string>{"Absolute Files (*.abs)", "Motorola Files (*.mot)",
                                               "S-Record Files (*.sre)", "Binary Files (*.bin)",
                                               "Release Files (*.rel)", "Compressed Files (*.lzh)",
                                               "All Files (*.*)"}));
    EXPECT_EQ(preselected, 0);

    std::string path, remembered;
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            path = d.m_imagePath;
            remembered = d.ImageAbsBrowseDirectory;
        });
    EXPECT_EQ(path, chosen.Path());
    EXPECT_EQ(remembered, folder);
    EXPECT_EQ(WindowText(image), chosen.Path());
    EXPECT_EQ(ComboBoxEntry(image, 0), "C:\\before.rel"); // the path shown before joined the list
}
} // namespace
