// The block senders writing into a file that stands in for the port: frames, blank blocks,
// progress bars, percentages and the rewritten "Sending Block" line.
#include "allocation_counter.h"
#include "download/unique_file.h"
#include "framework/message_box.h"
#include "framework/scoped_handle.h"
#include "res/resource.h"
#include "test_downloader_dlg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace
{
constexpr std::size_t kFrameSize = 1028;

std::string Header(std::uint8_t high, std::uint8_t low)
{
    return std::string{'<', 'w', static_cast<char>(high), static_cast<char>(low)};
}

class BlockSenderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.thread->Started());
        port = CScopedHandle(CreateFileA(portFile.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                         nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(port.IsValid());
    }

    void UseImage(const TempFile& image, std::uint32_t blockCount)
    {
        window.Run(
            [&](TestDownloaderDlg& d)
            {
                d.m_imageFile.reset(std::fopen(image.Path().c_str(), "rb"));
                d.m_mainBlockCount = blockCount;
            });
    }

    void UseLanguagePack(const TempFile& pack, std::uint32_t blockCount)
    {
        window.Run(
            [&](TestDownloaderDlg& d)
            {
                d.m_lpFile.reset(std::fopen(pack.Path().c_str(), "rb"));
                d.m_lpBlockCount = blockCount;
            });
    }

    bool SendMain(std::uint32_t block)
    {
        bool sent = false;
        window.Run([&](TestDownloaderDlg& d) { sent = d.SendMainBlock(port.Get(), block); });
        return sent;
    }

    bool SendLanguagePack(std::uint32_t block)
    {
        bool sent = false;
        window.Run([&](TestDownloaderDlg& d) { sent = d.SendLpBlock(port.Get(), block); });
        return sent;
    }

    std::string Line(int id, int index) { return ListBoxLine(window.thread->Item(id), index); }
    int Position(int id)
    {
        return static_cast<int>(SendMessageA(window.thread->Item(id), PBM_GETPOS, 0, 0));
    }
    int ReportCount() { return ListBoxCount(window.thread->Item(IDC_REPORT_LIST)); }
    std::string LastReportLine() { return Line(IDC_REPORT_LIST, ReportCount() - 1); }

    RunningMainWindow window;
    TempFile portFile{"ui_tests_port.bin", ""};
    CScopedHandle port;
};

TEST_F(BlockSenderTest, MainBlockGoesOutAsOneFrameWithItsNumberAndData)
{
    TempFile image("ui_tests_image.rel", ReleaseFileContent(200));
    UseImage(image, 200);
    ASSERT_TRUE(SendMain(0));
    ASSERT_TRUE(SendMain(0x81));
    ASSERT_TRUE(SendMain(199));
    port.Reset();
    EXPECT_EQ(portFile.Read(), Header(0x00, 0x00) + BlockData(0) + Header(0x00, 0x81) +
                                   BlockData(0x81) + Header(0x00, 0xC7) + BlockData(199));
}

TEST_F(BlockSenderTest, BlankBlockIsShownButNotWritten)
{
    TempFile image("ui_tests_image.rel", ReleaseFileContent(200, {0, 5}));
    UseImage(image, 200);
    EXPECT_FALSE(SendMain(0));
    EXPECT_EQ(LastReportLine(), "Sending Block 0x0000 of 0x00c7");
    EXPECT_TRUE(SendMain(4));
    EXPECT_FALSE(SendMain(5));
    EXPECT_EQ(LastReportLine(), "Sending Block 0x0005 of 0x00c7");
    EXPECT_EQ(Position(IDC_BOOT_CODE_PROGRESS), 5);
    EXPECT_EQ(Line(IDC_BOOT_CODE_PERCENT, 0), "0%");
    port.Reset();
    EXPECT_EQ(portFile.Read(), Header(0x00, 0x04) + BlockData(4));
}

TEST_F(BlockSenderTest, BytesPastTheEndOfTheImageAreBlank)
{
    // Three blocks and the trailing zero byte, but the count claims a fourth block.
    TempFile image("ui_tests_image.rel", ReleaseFileContent(3));
    UseImage(image, 4);
    ASSERT_TRUE(SendMain(3));
    port.Reset();
    EXPECT_EQ(portFile.Read(),
              Header(0x00, 0x03) + std::string(1, '\0') + std::string(1023, '\xFF'));
}

TEST_F(BlockSenderTest, BootAndMainRegionsMoveTheirOwnBarsAndPercentages)
{
    TempFile image("ui_tests_image.rel", ReleaseFileContent(200));
    UseImage(image, 200);
    SendMain(62);
    EXPECT_EQ(Line(IDC_BOOT_CODE_PERCENT, 0), "0%");
    SendMain(63);
    EXPECT_EQ(Line(IDC_BOOT_CODE_PERCENT, 0), "100%");
    EXPECT_EQ(Position(IDC_BOOT_CODE_PROGRESS), 63);
    EXPECT_EQ(ListBoxCount(window.thread->Item(IDC_BOOT_CODE_PERCENT)), 1);

    SendMessageA(window.thread->Item(IDC_MAIN_CODE_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(64, 199));
    SendMain(64);
    EXPECT_EQ(Line(IDC_MAIN_CODE_PERCENT, 0), "  0%");
    EXPECT_EQ(Position(IDC_MAIN_CODE_PROGRESS), 64);
    SendMain(131);
    EXPECT_EQ(Line(IDC_MAIN_CODE_PERCENT, 0), " 50%");
    SendMain(199);
    EXPECT_EQ(Line(IDC_MAIN_CODE_PERCENT, 0), "100%");
    EXPECT_EQ(Position(IDC_MAIN_CODE_PROGRESS), 199);
    EXPECT_EQ(ListBoxCount(window.thread->Item(IDC_MAIN_CODE_PERCENT)), 1);
    // The boot region's display keeps its last state.
    EXPECT_EQ(Line(IDC_BOOT_CODE_PERCENT, 0), "100%");
}

TEST_F(BlockSenderTest, SingleBlockMainRegionReadsFull)
{
    TempFile image("ui_tests_image.rel", ReleaseFileContent(65));
    UseImage(image, 65);
    ASSERT_TRUE(SendMain(64));
    EXPECT_EQ(Line(IDC_MAIN_CODE_PERCENT, 0), "100%");
}

TEST_F(BlockSenderTest, OneSendingBlockLineIsRewrittenForEveryBlock)
{
    TempFile image("ui_tests_image.rel", ReleaseFileContent(200));
    UseImage(image, 200);
    window.Run([](TestDownloaderDlg& d) { d.AddReportLine("Waiting for erase response..."); });
    for (std::uint32_t block = 0; block < 70; ++block)
    {
        SendMain(block);
    }
    ASSERT_EQ(ReportCount(), 2);
    EXPECT_EQ(Line(IDC_REPORT_LIST, 0), "Waiting for erase response...");
    EXPECT_EQ(Line(IDC_REPORT_LIST, 1), "Sending Block 0x0045 of 0x00c7");
    EXPECT_EQ(SendMessageA(window.thread->Item(IDC_REPORT_LIST), LB_GETCURSEL, 0, 0), 1);
}

TEST_F(BlockSenderTest, ResentBlockReplacesTheWriteFailedLineAndRepeatsTheFrame)
{
    TempFile image("ui_tests_image.rel", ReleaseFileContent(200));
    UseImage(image, 200);
    SendMain(10);
    window.Run([](TestDownloaderDlg& d) { d.AddReportLine("Write Failed!"); });
    SendMain(10);
    ASSERT_EQ(ReportCount(), 2);
    EXPECT_EQ(Line(IDC_REPORT_LIST, 0), "Sending Block 0x000a of 0x00c7");
    EXPECT_EQ(Line(IDC_REPORT_LIST, 1), "Sending Block 0x000a of 0x00c7");
    port.Reset();
    const std::string frame = Header(0x00, 0x0A) + BlockData(10);
    EXPECT_EQ(portFile.Read(), frame + frame);
}

TEST_F(BlockSenderTest, BlockOutsideTheImageIsReportedAndStillSent)
{
    TempFile image("ui_tests_image.rel", ReleaseFileContent(100));
    UseImage(image, 100);
    bool sent = false;
    UiTask send = [&]
    {
        window.dialog->SendMainBlock(port.Get(), 99); // the last block: fine
        sent = window.dialog->SendMainBlock(port.Get(), 100);
    };
    AsyncSend run(window.thread->Window(), kRunOnUiMessage, 0, reinterpret_cast<LPARAM>(&send));
    const SeenMessageBox box = AnswerMessageBox(window.thread->Thread(), IDOK);
    run.Wait();
    EXPECT_TRUE(box.found);
    EXPECT_EQ(box.text, "Invalid Block Number!");
    EXPECT_EQ(box.caption, ApplicationName());
    EXPECT_EQ(box.owner, window.thread->Window());
    EXPECT_TRUE(sent);
    EXPECT_EQ(LastReportLine(), "Sending Block 0x0064 of 0x0063");
}

TEST_F(BlockSenderTest, ShortWriteIsReportedOncePerBlock)
{
    TempFile image("ui_tests_image.rel", ReleaseFileContent(200));
    UseImage(image, 200);
    // A handle that cannot be written to: the write comes up empty.
    CScopedHandle readOnly(CreateFileA(portFile.Path().c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(readOnly.IsValid());
    bool sent = false;
    UiTask send = [&] { sent = window.dialog->SendMainBlock(readOnly.Get(), 7); };
    AsyncSend run(window.thread->Window(), kRunOnUiMessage, 0, reinterpret_cast<LPARAM>(&send));
    const SeenMessageBox box = AnswerMessageBox(window.thread->Thread(), IDOK);
    run.Wait();
    EXPECT_EQ(box.text, "Error writing block to COM Port!");
    EXPECT_TRUE(sent);
    // No second box for the same block.
    EXPECT_FALSE(AnswerMessageBox(window.thread->Thread(), IDOK, nullptr, 0).found);
}

TEST_F(BlockSenderTest, LanguagePackBlockCarriesTheSectionMarkInItsNumber)
{
    TempFile pack("ui_tests_lpt47.rel", ReleaseFileContent(0x200));
    UseLanguagePack(pack, 0x200);
    ASSERT_TRUE(SendLanguagePack(5));
    ASSERT_TRUE(SendLanguagePack(0x1FF));
    port.Reset();
    EXPECT_EQ(portFile.Read(),
              Header(0x40, 0x05) + BlockData(5) + Header(0x41, 0xFF) + BlockData(0x1FF));
    EXPECT_EQ(LastReportLine(), "Sending Block 0x01ff of 0x01ff");
}

TEST_F(BlockSenderTest, LanguagePackProgressRunsOverTheWholeFile)
{
    TempFile pack("ui_tests_lpt47.rel", ReleaseFileContent(48, {3}));
    UseLanguagePack(pack, 48);
    SendMessageA(window.thread->Item(IDC_LANGUAGE_PACK_PROGRESS), PBM_SETRANGE, 0,
                 MAKELPARAM(0, 47));
    SendLanguagePack(0);
    EXPECT_EQ(Line(IDC_LANGUAGE_PACK_PERCENT, 0), "  0%");
    EXPECT_FALSE(SendLanguagePack(3)); // blank
    EXPECT_EQ(Position(IDC_LANGUAGE_PACK_PROGRESS), 3);
    SendLanguagePack(47);
    EXPECT_EQ(Line(IDC_LANGUAGE_PACK_PERCENT, 0), "100%");
    EXPECT_EQ(Position(IDC_LANGUAGE_PACK_PROGRESS), 47);
}

TEST_F(BlockSenderTest, SingleBlockLanguagePackReadsFull)
{
    TempFile pack("ui_tests_lpt47.rel", ReleaseFileContent(1));
    UseLanguagePack(pack, 1);
    ASSERT_TRUE(SendLanguagePack(0));
    EXPECT_EQ(Line(IDC_LANGUAGE_PACK_PERCENT, 0), "100%");
}

TEST_F(BlockSenderTest, UnreadableLanguagePackBlockAbortsTheDownload)
{
    // Three blocks on disk, five claimed: block 4 cannot be read.
    TempFile pack("ui_tests_lpt47.rel", ReleaseFileContent(3));
    UseLanguagePack(pack, 5);
    window.Run(
        [](TestDownloaderDlg& d)
        {
            DownloadSetup setup;
            setup.languagePack = true;
            setup.lpBlockCount = 5;
            d.m_engine.Begin(setup);
            d.m_downloadRunning = true;
            d.m_startRequested = true;
        });
    bool sent = false;
    UiTask send = [&] { sent = window.dialog->SendLpBlock(port.Get(), 4); };
    AsyncSend run(window.thread->Window(), kRunOnUiMessage, 0, reinterpret_cast<LPARAM>(&send));
    const SeenMessageBox first = AnswerMessageBox(window.thread->Thread(), IDOK);
    const SeenMessageBox second = AnswerMessageBox(window.thread->Thread(), IDOK);
    run.Wait();
    EXPECT_EQ(first.text, "Error reading LP");
    EXPECT_EQ(second.text, "Download Aborted!");
    EXPECT_TRUE(sent);
    EXPECT_EQ(LastReportLine(), "Download Aborted!");
    bool running = true;
    bool fileOpen = true;
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            running = d.m_downloadRunning;
            fileOpen = d.m_lpFile != nullptr;
        });
    EXPECT_FALSE(running);
    EXPECT_FALSE(fileOpen);
    port.Reset();
    EXPECT_EQ(portFile.Read(), "");
}
// A block costs no allocation: the texts and the frame live in fixed buffers.
TEST_F(BlockSenderTest, SendingBlocksAllocatesNothing)
{
    TempFile image("ui_tests_alloc_main.rel", ReleaseFileContent(80, {3, 70}));
    TempFile pack("ui_tests_alloc_lpt47.rel", ReleaseFileContent(20, {5}));
    UseImage(image, 80);
    UseLanguagePack(pack, 20);
    std::size_t allocations = 0;
    std::size_t probe = 0;
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            {
                // The counter itself sees an allocation, or the check below proves nothing.
                AllocationCounter counter;
                std::string allocated(100, 'x');
                probe = counter.Count();
            }
            AllocationCounter counter;
            for (std::uint32_t block = 0; block < 80; ++block)
            {
                d.SendMainBlock(port.Get(), block);
            }
            for (std::uint32_t block = 0; block < 20; ++block)
            {
                d.SendLpBlock(port.Get(), block);
            }
            allocations = counter.Count();
        });
    EXPECT_GE(probe, 1u);
    EXPECT_EQ(allocations, 0u);
}

} // namespace
