// The session's block senders: one frame per block written in one call, blank blocks kept back,
// the bars, percentages and the one rewritten "Sending Block" line, and their failures.
#include "allocation_counter.h"
#include "session_fixture.h"

#include <string>
#include <vector>

namespace
{

using Strings = std::vector<std::string>;
constexpr std::uint64_t kHeaderBytes = 4;
constexpr std::uint64_t kBlockBytes = 1024;

using BlockSenderTest = SessionTest;

TEST_F(BlockSenderTest, MainBlockGoesOutAsOneFrameWithItsNumberAndData)
{
    StartImage(ReleaseFileContent(200));
    ASSERT_TRUE(session.SendMainBlock(0));
    ASSERT_TRUE(session.SendMainBlock(0x81));
    ASSERT_TRUE(session.SendMainBlock(199));
    EXPECT_EQ(platform.Channel().writes, (std::vector<Bytes>{Frame(0x00, 0x00, BlockData(0)),
                                                             Frame(0x00, 0x81, BlockData(0x81)),
                                                             Frame(0x00, 0xC7, BlockData(199))}));
}

TEST_F(BlockSenderTest, BlankBlockIsShownButNotWritten)
{
    StartImage(ReleaseFileContent(200, {0, 5}));
    EXPECT_FALSE(session.SendMainBlock(0));
    EXPECT_EQ(view.report.back(), "Sending Block 0x0000 of 0x00c7");
    EXPECT_TRUE(session.SendMainBlock(4));
    EXPECT_FALSE(session.SendMainBlock(5));
    EXPECT_EQ(view.report.back(), "Sending Block 0x0005 of 0x00c7");
    EXPECT_EQ(view.bars[ProgressBar::BootCode].position, 5);
    EXPECT_EQ(view.percent[ProgressBar::BootCode], "0%");
    EXPECT_EQ(platform.Channel().writes, (std::vector<Bytes>{Frame(0x00, 0x04, BlockData(4))}));
}

TEST_F(BlockSenderTest, BytesPastTheEndOfTheImageAreBlank)
{
    StartImage(ReleaseFileContent(100));
    // The file shrinks under the download to one byte of block 90 (far from what the stream
    // holds in its buffer).
    Truncate(folder + "/main.rel", kHeaderBytes + 90 * kBlockBytes + 1);
    ASSERT_TRUE(session.SendMainBlock(90));
    EXPECT_EQ(platform.Channel().writes.back(),
              Frame(0x00, 90, BlockData(90).substr(0, 1) + std::string(1023, '\xFF')));
}

TEST_F(BlockSenderTest, BootAndMainRegionsMoveTheirOwnBarsAndPercentages)
{
    StartImage(ReleaseFileContent(200));
    EXPECT_EQ(view.bars[ProgressBar::MainCode].lower, 64);
    EXPECT_EQ(view.bars[ProgressBar::MainCode].upper, 199);
    const std::pair<std::uint32_t, const char*> steps[] = {
        {62, "0%"}, {63, "100%"}, {64, "  0%"}, {131, " 50%"}, {199, "100%"}};
    for (const auto& [block, text] : steps)
    {
        session.SendMainBlock(block);
        const ProgressBar bar = block < 64 ? ProgressBar::BootCode : ProgressBar::MainCode;
        EXPECT_EQ(view.percent[bar], text) << block;
        EXPECT_EQ(view.bars[bar].position, static_cast<int>(block));
    }
    // The boot region's display keeps its last state.
    EXPECT_EQ(view.percent[ProgressBar::BootCode], "100%");
    EXPECT_EQ(view.bars[ProgressBar::BootCode].position, 63);
}

TEST_F(BlockSenderTest, OneBlockSectionsReadFull)
{
    StartImage(ReleaseFileContent(65));
    ASSERT_TRUE(session.SendMainBlock(64));
    EXPECT_EQ(view.percent[ProgressBar::MainCode], "100%");

    Press({}); // stop
    StartLanguagePack(ReleaseFileContent(1));
    ASSERT_TRUE(session.SendLpBlock(0));
    EXPECT_EQ(view.percent[ProgressBar::LanguagePack], "100%");
}

TEST_F(BlockSenderTest, OneSendingBlockLineIsRewrittenForEveryBlockAndResend)
{
    StartImage(ReleaseFileContent(200));
    view.AddReportLine("Waiting for erase response...");
    for (std::uint32_t block = 0; block < 70; ++block)
    {
        session.SendMainBlock(block);
    }
    EXPECT_EQ(view.report, (Strings{"Signalling...", "Waiting for erase response...",
                                    "Sending Block 0x0045 of 0x00c7"}));

    // A block sent again after a failed write replaces the failure's line and repeats its frame.
    view.AddReportLine("Write Failed!");
    session.SendMainBlock(69);
    EXPECT_EQ(view.report,
              (Strings{"Signalling...", "Waiting for erase response...",
                       "Sending Block 0x0045 of 0x00c7", "Sending Block 0x0045 of 0x00c7"}));
    const std::vector<Bytes>& writes = platform.Channel().writes;
    EXPECT_EQ(writes.back(), writes[writes.size() - 2]);
}

TEST_F(BlockSenderTest, BlockOutsideTheImageIsReportedAndStillSent)
{
    StartImage(ReleaseFileContent(100));
    session.SendMainBlock(99); // the last block: fine
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_TRUE(session.SendMainBlock(100));
    ASSERT_EQ(view.BoxTexts(), Strings{"Invalid Block Number!"});
    EXPECT_EQ(view.boxes[0].owner, BoxOwner::Window);
    EXPECT_EQ(view.boxes[0].caption, "");
    EXPECT_EQ(view.report.back(), "Sending Block 0x0064 of 0x0063");
}

TEST_F(BlockSenderTest, ShortWriteIsReportedOncePerBlock)
{
    StartImage(ReleaseFileContent(200));
    platform.Channel().writeLimit = 1000;
    EXPECT_TRUE(session.SendMainBlock(7));
    EXPECT_EQ(view.BoxTexts(), Strings{"Error writing block to COM Port!"});
    EXPECT_EQ(platform.Channel().writes.size(), 1u);
}

TEST_F(BlockSenderTest, LanguagePackBlockCarriesTheSectionMarkAndRunsItsBar)
{
    StartLanguagePack(ReleaseFileContent(0x200, {3}));
    EXPECT_EQ(view.bars[ProgressBar::LanguagePack].upper, 0x1FF);
    ASSERT_TRUE(session.SendLpBlock(0));
    EXPECT_EQ(view.percent[ProgressBar::LanguagePack], "  0%");
    EXPECT_FALSE(session.SendLpBlock(3)); // blank
    EXPECT_EQ(view.bars[ProgressBar::LanguagePack].position, 3);
    ASSERT_TRUE(session.SendLpBlock(0x1FF));
    EXPECT_EQ(view.percent[ProgressBar::LanguagePack], "100%");
    EXPECT_EQ(platform.Channel().writes, (std::vector<Bytes>{Frame(0x40, 0x00, BlockData(0)),
                                                             Frame(0x41, 0xFF, BlockData(0x1FF))}));
    EXPECT_EQ(view.report.back(), "Sending Block 0x01ff of 0x01ff");
}

TEST_F(BlockSenderTest, UnreadableLanguagePackBlockAbortsTheDownload)
{
    StartLanguagePack(ReleaseFileContent(100));
    // The file loses its last blocks under the download: block 90 cannot be read.
    Truncate(folder + "/lpt47.rel", kHeaderBytes + 3 * kBlockBytes + 1);
    EXPECT_TRUE(session.SendLpBlock(90));
    EXPECT_EQ(view.BoxTexts(), (Strings{"Error reading LP", "Download Aborted!"}));
    EXPECT_EQ(view.report.back(), "Download Aborted!");
    EXPECT_FALSE(session.Running());
    EXPECT_TRUE(platform.Channel().closed);
    EXPECT_EQ(platform.Channel().purges, 1u);
    EXPECT_TRUE(platform.Channel().writes.empty());
}

// A block costs no allocation: the texts and the frame live in fixed buffers.
TEST_F(BlockSenderTest, SendingBlocksAllocatesNothing)
{
    const std::string image = File("main.rel", ReleaseFileContent(80, {3, 70}));
    const std::string pack = File("lpt47.rel", ReleaseFileContent(20, {5}));
    Press(Choices(image, pack));
    ASSERT_TRUE(session.Running());
    {
        // The counter itself sees an allocation, or the check below proves nothing.
        AllocationCounter counter;
        std::string allocated(100, 'x');
        EXPECT_GE(counter.Count(), 1u);
    }
    AllocationCounter counter;
    for (std::uint32_t block = 0; block < 80; ++block)
    {
        session.SendMainBlock(block);
    }
    for (std::uint32_t block = 0; block < 20; ++block)
    {
        session.SendLpBlock(block);
    }
    EXPECT_EQ(counter.Count(), 0u);
    EXPECT_EQ(platform.Channel().writes.size(), 97u);
}

} // namespace
