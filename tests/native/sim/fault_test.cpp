#include "sim/handset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sim
{
namespace
{

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes BlockFrame(Section section, std::uint32_t block)
{
    Bytes frame = {
        '<', 'w',
        static_cast<std::uint8_t>((block >> 8) | (section == Section::LanguagePack ? 0x40 : 0)),
        static_cast<std::uint8_t>(block & 0xFF)};
    frame.resize(kBlockFrameLength, 0x5A);
    return frame;
}

Bytes Joined(const Reply& reply)
{
    Bytes bytes;
    for (const AnswerPiece& piece : reply.pieces)
    {
        bytes.insert(bytes.end(), piece.bytes.begin(), piece.bytes.end());
    }
    return bytes;
}

class FaultTest : public ::testing::Test
{
protected:
    void AddFault(const std::vector<std::string>& words)
    {
        std::string error;
        ASSERT_TRUE(handset.Faults().Add(words, error)) << error;
    }

    Bytes Answer(const Bytes& frame) { return Joined(handset.OnFrame(frame)); }

    Handset handset;
};

TEST_F(FaultTest, WriteFailureCountsDownOnItsBlockOnly)
{
    AddFault({"write_fail", "main", "3", "2"});
    EXPECT_EQ(Text(">w"), Answer(BlockFrame(Section::Main, 2)));
    EXPECT_EQ(Text(">w"), Answer(BlockFrame(Section::LanguagePack, 3)));
    const Reply failed = handset.OnFrame(BlockFrame(Section::Main, 3));
    EXPECT_EQ(Text(">W"), Joined(failed));
    EXPECT_FALSE(failed.blockAcknowledged);
    EXPECT_EQ(Text(">W"), Answer(BlockFrame(Section::Main, 3)));
    EXPECT_EQ(0u, handset.Flash(Section::Main).WrittenBlocks().count(3));
    EXPECT_EQ(Text(">w"), Answer(BlockFrame(Section::Main, 3)));
    EXPECT_EQ(1u, handset.Flash(Section::Main).WrittenBlocks().count(3));
}

TEST_F(FaultTest, WriteFailureOnALanguagePackBlock)
{
    AddFault({"write_fail", "lp", "0", "1"});
    EXPECT_EQ(Text(">w"), Answer(BlockFrame(Section::Main, 0)));
    EXPECT_EQ(Text(">W"), Answer(BlockFrame(Section::LanguagePack, 0)));
    EXPECT_EQ(Text(">w"), Answer(BlockFrame(Section::LanguagePack, 0)));
}

TEST_F(FaultTest, EraseFailuresAddUp)
{
    AddFault({"erase_fail", "2"});
    AddFault({"erase_fail", "1"});
    EXPECT_EQ(Text(">E"), Answer(Text("<e")));
    EXPECT_EQ(Text(">E"), Answer(Text("<E")));
    EXPECT_EQ(Text(">E"), Answer(Text("<e")));
    EXPECT_EQ(Text(">e"), Answer(Text("<e")));
}

TEST_F(FaultTest, FailedEraseKeepsTheFlash)
{
    handset.OnFrame(BlockFrame(Section::Main, 0));
    AddFault({"erase_fail", "1"});
    Answer(Text("<e"));
    EXPECT_EQ(1u, handset.Flash(Section::Main).WrittenBlocks().size());
    Answer(Text("<e"));
    EXPECT_TRUE(handset.Flash(Section::Main).WrittenBlocks().empty());
}

TEST_F(FaultTest, StraySignalAnswerBeforeTheRecord)
{
    AddFault({"stray_i"});
    const Bytes answer = Answer({'<', 'p', '0', 2});
    ASSERT_EQ(68u, answer.size());
    EXPECT_EQ(Text(">i>p"), Bytes(answer.begin(), answer.begin() + 4));
}

TEST_F(FaultTest, SplitCutsTheAnswerWithGaps)
{
    AddFault({"split", "param", "20,30"});
    const Reply reply = handset.OnFrame({'<', 'p', '0', 2});
    ASSERT_EQ(3u, reply.pieces.size());
    EXPECT_EQ(20u, reply.pieces[0].bytes.size());
    EXPECT_EQ(30u, reply.pieces[1].bytes.size());
    EXPECT_EQ(16u, reply.pieces[2].bytes.size());
    EXPECT_EQ(0u, reply.pieces[0].waitMs);
    EXPECT_EQ(kDefaultSplitGapMs, reply.pieces[1].waitMs);
    EXPECT_EQ(kDefaultSplitGapMs, reply.pieces[2].waitMs);
    EXPECT_EQ(kParameterRecordLength, Joined(reply).size());

    // Once only by default.
    EXPECT_EQ(1u, handset.OnFrame({'<', 'p', '0', 2}).pieces.size());
}

TEST_F(FaultTest, SplitLongerThanTheAnswer)
{
    AddFault({"split", "signal", "1,5,5"});
    const Reply reply = handset.OnFrame(Text("<i"));
    ASSERT_EQ(2u, reply.pieces.size());
    EXPECT_EQ(Text(">"), reply.pieces[0].bytes);
    EXPECT_EQ(Text("i"), reply.pieces[1].bytes);
}

TEST_F(FaultTest, GarbageSilenceAndDelayAtTheirSteps)
{
    AddFault({"garbage", "block:2", "3E58"});
    AddFault({"silence", "lpblock:1"});
    AddFault({"delay", "checksum", "250"});

    EXPECT_EQ(Text(">w"), Answer(BlockFrame(Section::Main, 1)));
    const Reply garbage = handset.OnFrame(BlockFrame(Section::Main, 2));
    EXPECT_EQ(Text(">X"), Joined(garbage));
    EXPECT_FALSE(garbage.blockAcknowledged);
    EXPECT_EQ(Text(">w"), Answer(BlockFrame(Section::Main, 2)));

    EXPECT_EQ(Text(">w"), Answer(BlockFrame(Section::Main, 1)));
    EXPECT_TRUE(handset.OnFrame(BlockFrame(Section::LanguagePack, 1)).pieces.empty());
    EXPECT_EQ(Text(">w"), Answer(BlockFrame(Section::LanguagePack, 1)));

    const Reply delayed = handset.OnFrame({'<', 'c', 0, 0, 0, 0});
    ASSERT_EQ(1u, delayed.pieces.size());
    EXPECT_EQ(250u, delayed.pieces[0].waitMs);
}

TEST_F(FaultTest, TimesAndAlways)
{
    AddFault({"silence", "signal", "2"});
    AddFault({"delay", "block", "5", "always"});
    EXPECT_TRUE(handset.OnFrame(Text("<i")).pieces.empty());
    EXPECT_TRUE(handset.OnFrame(Text("<i")).pieces.empty());
    EXPECT_EQ(Text(">i"), Answer(Text("<i")));
    for (std::uint32_t block = 0; block < 4; ++block)
    {
        const Reply reply = handset.OnFrame(BlockFrame(Section::Main, block));
        ASSERT_EQ(1u, reply.pieces.size());
        EXPECT_EQ(5u, reply.pieces[0].waitMs);
    }
}

TEST_F(FaultTest, ChecksumBadWhateverTheFigures)
{
    EXPECT_EQ('c', Answer({'<', 'c', 0, 0, 0, 0})[1]);
    AddFault({"checksum_bad"});
    EXPECT_EQ('C', Answer({'<', 'c', 0, 0, 0, 0})[1]);
}

TEST_F(FaultTest, MalformedFaultsAreRefused)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"explode"},
        {"write_fail", "boot", "1", "1"},
        {"write_fail", "main", "x", "1"},
        {"write_fail", "main", "1", "0"},
        {"erase_fail", "-1"},
        {"garbage", "block:2"},
        {"garbage", "block:2", "3E5"},
        {"garbage", "nowhere", "3E58"},
        {"split", "param", "20,"},
        {"split", "param", "0"},
        {"delay", "param", "soon"},
        {"silence", "block:99999"},
        {"stray_i", "1"},
    };
    for (const std::vector<std::string>& words : bad)
    {
        std::string error;
        EXPECT_FALSE(handset.Faults().Add(words, error)) << (words.empty() ? "" : words[0]);
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(Text(">i"), Answer(Text("<i")));
}

} // namespace
} // namespace sim
