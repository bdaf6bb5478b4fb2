#include "sim/crc_x25.h"
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

Bytes BlockFrame(Section section, std::uint32_t block, std::uint8_t seed)
{
    std::uint8_t high = static_cast<std::uint8_t>(block >> 8);
    if (section == Section::LanguagePack)
    {
        high |= kLanguagePackBlockFlag;
    }
    Bytes frame = {'<', 'w', high, static_cast<std::uint8_t>(block & 0xFF)};
    for (std::size_t i = 0; i < kBlockDataSize; ++i)
    {
        frame.push_back(static_cast<std::uint8_t>(seed * 31 + i));
    }
    return frame;
}

Bytes BlockData(const Bytes& frame)
{
    return Bytes(frame.begin() + 4, frame.end());
}

Bytes ChecksumFrame(std::uint16_t main, std::uint16_t lp)
{
    return {'<',
            'c',
            static_cast<std::uint8_t>(main >> 8),
            static_cast<std::uint8_t>(main & 0xFF),
            static_cast<std::uint8_t>(lp >> 8),
            static_cast<std::uint8_t>(lp & 0xFF)};
}

// All pieces of an answer as one stretch of bytes.
Bytes Joined(const Reply& reply)
{
    Bytes bytes;
    for (const AnswerPiece& piece : reply.pieces)
    {
        bytes.insert(bytes.end(), piece.bytes.begin(), piece.bytes.end());
    }
    return bytes;
}

std::uint16_t CrcOf(const Bytes& bytes)
{
    return CrcX25(bytes.data(), bytes.size());
}

class HandsetTest : public ::testing::Test
{
protected:
    Bytes Answer(const Bytes& frame) { return Joined(handset.OnFrame(frame)); }

    // '<' 'p' at 115200 baud for these sections, then '<' 'e'.
    void StartDownload(std::uint8_t downloadTypeCode)
    {
        ASSERT_EQ(kParameterRecordLength, Answer({'<', 'p', '0', downloadTypeCode}).size());
        ASSERT_EQ(Text(">e"), Answer(Text("<e")));
    }

    Handset handset;
};

TEST_F(HandsetTest, SignalOverrideAndEraseAnswers)
{
    EXPECT_EQ(Text(">i"), Answer(Text("<i")));
    EXPECT_EQ(Text(">o"), Answer(Text("<o")));
    EXPECT_EQ(Text(">e"), Answer(Text("<e")));
    EXPECT_EQ('e', handset.LastEraseLetter());
    EXPECT_EQ(Text(">e"), Answer(Text("<E")));
    EXPECT_EQ('E', handset.LastEraseLetter());
}

TEST_F(HandsetTest, ParameterRecordLayout)
{
    const Bytes record = Answer({'<', 'p', '4', 2});
    ASSERT_EQ(66u, record.size());
    EXPECT_EQ(Text(">p"), Bytes(record.begin(), record.begin() + 2));
    EXPECT_EQ(Text("RT47-SIM-0001"), Bytes(record.begin() + 2, record.begin() + 15));
    EXPECT_EQ(Bytes({0, 0, 0}), Bytes(record.begin() + 15, record.begin() + 18));
    EXPECT_EQ(Bytes({0x00, 0x04, 0x00, 0x00}), Bytes(record.begin() + 34, record.begin() + 38));
    EXPECT_EQ(Text("RT47 "), Bytes(record.begin() + 50, record.begin() + 55));
    EXPECT_EQ(Bytes(11, 0), Bytes(record.begin() + 55, record.end()));
}

TEST_F(HandsetTest, RecordFieldsCanBeChanged)
{
    std::string error;
    HandsetRecord& record = handset.Record();
    ASSERT_TRUE(record.SetNumber("flash_2_id", 0x11223344, error));
    ASSERT_TRUE(record.SetNumber("window_size", 7, error));
    ASSERT_TRUE(record.SetText("mobile_id", "RT50", ' ', error));
    ASSERT_TRUE(record.SetBytes("spare", {0xAA, 0xBB}, error));
    EXPECT_FALSE(record.SetNumber("window_size", 256, error));
    EXPECT_FALSE(record.SetNumber("mobile_id", 1, error));
    EXPECT_FALSE(record.SetText("mobile_id", "RT47XX", ' ', error));
    EXPECT_FALSE(record.SetBytes("nonsense", {1}, error));

    const Bytes bytes = Answer({'<', 'p', '0', 2});
    EXPECT_EQ(Bytes({0x44, 0x33, 0x22, 0x11}), Bytes(bytes.begin() + 46, bytes.begin() + 50));
    EXPECT_EQ(7, bytes[42]);
    EXPECT_EQ(Text("RT50 "), Bytes(bytes.begin() + 50, bytes.begin() + 55));
    EXPECT_EQ(0xAA, bytes[55]);
    EXPECT_EQ(0x00, bytes[57]);
}

TEST_F(HandsetTest, ProtocolChangeSetsTheLineRate)
{
    struct Case
    {
        std::uint8_t digit;
        std::uint32_t rate;
    };
    for (const Case& c : {Case{'0', 115200}, Case{'1', 57600}, Case{'2', 38400}, Case{'4', 19200}})
    {
        handset.Replug();
        EXPECT_EQ(kSignallingBaudRate, handset.LineRate());
        Answer({'<', 'p', c.digit, 2});
        EXPECT_EQ(c.rate, handset.LineRate()) << c.digit;
        EXPECT_EQ(2, handset.DownloadTypeCode());
    }
    handset.Replug();
    Answer({'<', 'p', '3', 2}); // no such digit: the line stays
    EXPECT_EQ(kSignallingBaudRate, handset.LineRate());
}

TEST_F(HandsetTest, BlocksAreStoredBySection)
{
    StartDownload(4);
    const Bytes main5 = BlockFrame(Section::Main, 5, 1);
    const Bytes main300 = BlockFrame(Section::Main, 0x12C, 2);
    const Bytes lp5 = BlockFrame(Section::LanguagePack, 5, 3);
    const Bytes lp1ff = BlockFrame(Section::LanguagePack, 0x1FF, 4);
    EXPECT_EQ(0x41, lp1ff[2]);
    for (const Bytes& frame : {main5, main300, lp5, lp1ff})
    {
        const Reply reply = handset.OnFrame(frame);
        EXPECT_EQ(Text(">w"), Joined(reply));
        EXPECT_TRUE(reply.blockAcknowledged);
    }
    const auto& main = handset.Flash(Section::Main).WrittenBlocks();
    const auto& lp = handset.Flash(Section::LanguagePack).WrittenBlocks();
    ASSERT_EQ(2u, main.size());
    ASSERT_EQ(2u, lp.size());
    EXPECT_EQ(BlockData(main5), Bytes(main.at(5).begin(), main.at(5).end()));
    EXPECT_EQ(BlockData(main300), Bytes(main.at(0x12C).begin(), main.at(0x12C).end()));
    EXPECT_EQ(BlockData(lp5), Bytes(lp.at(5).begin(), lp.at(5).end()));
    EXPECT_EQ(BlockData(lp1ff), Bytes(lp.at(0x1FF).begin(), lp.at(0x1FF).end()));
    EXPECT_EQ(0x12Du, handset.Flash(Section::Main).ImageBlocks());
    EXPECT_EQ(0x200u, handset.Flash(Section::LanguagePack).ImageBlocks());
}

TEST_F(HandsetTest, EraseClearsOnlyTheNamedSections)
{
    StartDownload(4);
    handset.OnFrame(BlockFrame(Section::Main, 0, 1));
    handset.OnFrame(BlockFrame(Section::LanguagePack, 0, 2));

    StartDownload(3); // language pack only
    EXPECT_EQ(1u, handset.Flash(Section::Main).WrittenBlocks().size());
    EXPECT_TRUE(handset.Flash(Section::LanguagePack).WrittenBlocks().empty());

    handset.OnFrame(BlockFrame(Section::LanguagePack, 0, 2));
    StartDownload(1); // boot and main
    EXPECT_TRUE(handset.Flash(Section::Main).WrittenBlocks().empty());
    EXPECT_EQ(1u, handset.Flash(Section::LanguagePack).WrittenBlocks().size());
}

TEST_F(HandsetTest, ChecksumGoodWithFourFiguresForTheExtendedFamily)
{
    StartDownload(4);
    const Bytes main0 = BlockFrame(Section::Main, 0, 1);
    const Bytes main2 = BlockFrame(Section::Main, 2, 2);
    const Bytes lp0 = BlockFrame(Section::LanguagePack, 0, 3);
    handset.OnFrame(main0);
    handset.OnFrame(main2); // block 1 was blank and never sent
    handset.OnFrame(lp0);

    Bytes mainFile = BlockData(main0);
    mainFile.insert(mainFile.end(), kBlockDataSize, 0xFF);
    const Bytes main2Data = BlockData(main2);
    mainFile.insert(mainFile.end(), main2Data.begin(), main2Data.end());
    const std::uint16_t mainCrc = CrcOf(mainFile);
    const std::uint16_t lpCrc = CrcOf(BlockData(lp0));

    const Bytes answer = Answer(ChecksumFrame(mainCrc, lpCrc));
    const Bytes expected = {'>',
                            'c',
                            static_cast<std::uint8_t>(mainCrc >> 8),
                            static_cast<std::uint8_t>(mainCrc & 0xFF),
                            static_cast<std::uint8_t>(lpCrc >> 8),
                            static_cast<std::uint8_t>(lpCrc & 0xFF)};
    EXPECT_EQ(expected, answer);
}

TEST_F(HandsetTest, ChecksumBadWhenAFigureDiffers)
{
    StartDownload(4);
    const Bytes main0 = BlockFrame(Section::Main, 0, 1);
    const Bytes lp0 = BlockFrame(Section::LanguagePack, 0, 3);
    handset.OnFrame(main0);
    handset.OnFrame(lp0);
    const std::uint16_t mainCrc = CrcOf(BlockData(main0));
    const std::uint16_t lpCrc = CrcOf(BlockData(lp0));

    EXPECT_EQ('C', Answer(ChecksumFrame(mainCrc ^ 1, lpCrc))[1]);
    EXPECT_EQ('C', Answer(ChecksumFrame(mainCrc, lpCrc ^ 0x8000))[1]);
    EXPECT_EQ('c', Answer(ChecksumFrame(mainCrc, lpCrc))[1]);
}

TEST_F(HandsetTest, SectionOutsideTheDownloadIsNotCompared)
{
    // A main-code-only download sends 00 00 for the language pack, which still holds blocks.
    StartDownload(4);
    handset.OnFrame(BlockFrame(Section::LanguagePack, 0, 3));
    StartDownload(2);
    const Bytes main0 = BlockFrame(Section::Main, 0, 1);
    handset.OnFrame(main0);
    EXPECT_EQ('c', Answer(ChecksumFrame(CrcOf(BlockData(main0)), 0x0000))[1]);

    // And the other way round.
    StartDownload(3);
    const Bytes lp0 = BlockFrame(Section::LanguagePack, 0, 4);
    handset.OnFrame(lp0);
    EXPECT_EQ('c', Answer(ChecksumFrame(0x0000, CrcOf(BlockData(lp0))))[1]);
}

TEST_F(HandsetTest, LegacyHandsetAnswersTwoFigures)
{
    std::string error;
    ASSERT_TRUE(handset.Record().SetText("mobile_id", "RT50", ' ', error));
    StartDownload(2);
    const Bytes main0 = BlockFrame(Section::Main, 0, 1);
    handset.OnFrame(main0);
    const std::uint16_t crc = CrcOf(BlockData(main0));
    const Bytes answer = Answer(ChecksumFrame(crc, 0));
    EXPECT_EQ(Bytes({'>', 'c', static_cast<std::uint8_t>(crc >> 8),
                     static_cast<std::uint8_t>(crc & 0xFF)}),
              answer);
}

TEST_F(HandsetTest, ExtendedFamilyIsExactlyThreeIds)
{
    EXPECT_TRUE(IsExtendedMobileId("RT47X"));
    EXPECT_TRUE(IsExtendedMobileId("RT47 "));
    EXPECT_TRUE(IsExtendedMobileId("RT37 "));
    EXPECT_FALSE(IsExtendedMobileId("RT37X"));
    EXPECT_FALSE(IsExtendedMobileId("RT50 "));
    EXPECT_FALSE(IsExtendedMobileId("RT47"));
}

TEST_F(HandsetTest, RawModeAnswersNothingAndChangesNothing)
{
    handset.SetMode(HandsetMode::Raw);
    EXPECT_TRUE(handset.OnFrame(Text("<i")).pieces.empty());
    EXPECT_TRUE(handset.OnFrame({'<', 'p', '0', 2}).pieces.empty());
    EXPECT_EQ(kSignallingBaudRate, handset.LineRate());
    EXPECT_TRUE(handset.OnFrame(BlockFrame(Section::Main, 0, 1)).pieces.empty());
    EXPECT_TRUE(handset.Flash(Section::Main).WrittenBlocks().empty());
}

TEST_F(HandsetTest, ResetForgetsFlashFaultsAndRate)
{
    std::string error;
    ASSERT_TRUE(handset.Faults().Add({"checksum_bad"}, error));
    StartDownload(2);
    handset.OnFrame(BlockFrame(Section::Main, 0, 1));
    handset.SetMode(HandsetMode::Raw);

    handset.Reset(HandsetRecord());
    EXPECT_EQ(HandsetMode::Handset, handset.Mode());
    EXPECT_EQ(kSignallingBaudRate, handset.LineRate());
    EXPECT_TRUE(handset.Flash(Section::Main).WrittenBlocks().empty());
    EXPECT_EQ('c', Answer(ChecksumFrame(0, 0))[1]);
}

} // namespace
} // namespace sim
