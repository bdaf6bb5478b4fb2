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
    window.Run([](TestDownloaderDlg& d) { d.m_downloadRunning = true; });
    {
        AsyncSend close(window.thread->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        const SeenMessageBox box = AnswerMessageBox(window.thread->Thread(), IDCANCEL);
        close.Wait();
        EXPECT_EQ(box.caption, "TervoloPLUS");
        EXPECT_EQ(box.text, "Download in progress, do you really want to close TervoloPLUS?");
        EXPECT_EQ(box.owner, nullptr);
    }
    bool shown = false;
    window.Run([&](TestDownloaderDlg& d) { shown = IsWindowVisible(d.GetSafeHwnd()) != FALSE; });
    EXPECT_TRUE(shown);

    AsyncSend close(window.thread->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(AnswerMessageBox(window.thread->Thread(), IDYES).found);
    INT_PTR result = 0;
    ASSERT_TRUE(window.thread->WaitForEnd(result));
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(ShellTest, EscapeEndsTheWindowEvenDuringADownload)
{
    HWND focus = nullptr;
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            d.m_downloadRunning = true;
            focus = GetFocus();
        });
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

TEST_F(ShellTest, TimerTicksShowTheElapsedDownloadTime)
{
    window.Run(
        [](TestDownloaderDlg& d)
        {
            d.m_stopwatch.Start();
            // As if the stopwatch had started 75 seconds ago.
            d.m_stopwatch.m_startCount -= 75 * d.m_stopwatch.m_frequency;
        });
    HWND time = window.thread->Item(IDC_DOWNLOAD_TIME);
    SendMessageA(window.thread->Window(), WM_TIMER, kElapsedTimer, 0);
    ASSERT_EQ(ListBoxCount(time), 1);
    EXPECT_EQ(ListBoxLine(time, 0), "01m15s");

    window.Run([](TestDownloaderDlg& d)
               { d.m_stopwatch.m_startCount -= 3525 * d.m_stopwatch.m_frequency; });
    // The gang-mode tick shows the time as well (no download runs, so it waits for nothing).
    SendMessageA(window.thread->Window(), WM_TIMER, kGangTimer, 0);
    ASSERT_EQ(ListBoxCount(time), 1);
    EXPECT_EQ(ListBoxLine(time, 0), "60m00s");
}

} // namespace
