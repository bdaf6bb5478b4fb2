// Closing the main window, its timers' displays and the keyboard's endings.
#include "res/resource.h"
#include "test_downloader_dlg.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
class ShellTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(window.thread->Started()); }

    RunningMainWindow window;
};

TEST_F(ShellTest, CloseBoxWhileIdleEndsTheWindowWithoutAQuestion)
{
    AsyncSend close(window.thread->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    INT_PTR result = 0;
    ASSERT_TRUE(window.thread->WaitForEnd(result));
    EXPECT_EQ(result, IDCANCEL);
    close.Wait();
}

TEST_F(ShellTest, CloseBoxDuringADownloadAsksAndCancelKeepsTheWindow)
{
    HeldDownload held(window);
    ASSERT_TRUE(window.Running());
    {
        AsyncSend close(window.thread->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        const SeenMessageBox box = AnswerMessageBox(OfThread(window.thread->Thread()), IDCANCEL);
        close.Wait();
        EXPECT_EQ(box.caption, "TervoloPLUS");
        EXPECT_EQ(box.text, "Download in progress, do you really want to close TervoloPLUS?");
        EXPECT_EQ(box.owner, nullptr);
    }
    bool shown = false;
    window.Run([&](TestDownloaderDlg& d) { shown = IsWindowVisible(d.GetSafeHwnd()) != FALSE; });
    EXPECT_TRUE(shown);

    AsyncSend close(window.thread->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(AnswerMessageBox(OfThread(window.thread->Thread()), IDYES).found);
    INT_PTR result = 0;
    ASSERT_TRUE(window.thread->WaitForEnd(result));
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(ShellTest, EscapeEndsTheWindowEvenDuringADownload)
{
    HeldDownload held(window);
    ASSERT_TRUE(window.Running());
    HWND focus = nullptr;
    window.Run([&](TestDownloaderDlg&) { focus = GetFocus(); });
    ASSERT_NE(focus, nullptr);
    PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0);
    INT_PTR result = 0;
    ASSERT_TRUE(window.thread->WaitForEnd(result));
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(ShellTest, EnterEndsTheWindowAndTakesTheFileBoxesIntoThePaths)
{
    SendMessageA(window.thread->Item(IDC_MAIN_CODE_BUTTON), BM_CLICK, 0, 0);
    SetWindowTextA(window.thread->Item(IDC_IMAGE_FILE), "D:\\rel\\typed.rel");
    HWND focus = nullptr;
    window.Run([&](TestDownloaderDlg&) { focus = GetFocus(); });
    ASSERT_NE(focus, nullptr);
    PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 0);
    INT_PTR result = 0;
    ASSERT_TRUE(window.thread->WaitForEnd(result));
    EXPECT_EQ(result, IDOK);
    EXPECT_STREQ(window.dialog->m_imagePath, "D:\\rel\\typed.rel");
}

// The ticks reach the session, which shows the stopwatch's time in the box's one line (the time
// itself is tested natively and with the stopwatch).
TEST_F(ShellTest, TimerTicksShowTheElapsedDownloadTime)
{
    HWND time = window.thread->Item(IDC_DOWNLOAD_TIME);
    for (UINT_PTR timer : {kElapsedTimer, kGangTimer})
    {
        SendMessageA(window.thread->Window(), WM_TIMER, timer, 0);
        ASSERT_EQ(ListBoxCount(time), 1);
        const std::string shown = ListBoxLine(time, 0);
        // No download started the stopwatch, so the minutes may be many: "%02dm%02ds" widens.
        EXPECT_TRUE(shown.size() >= 6 && shown[shown.size() - 4] == 'm' && shown.back() == 's')
            << shown;
    }
}

} // namespace
