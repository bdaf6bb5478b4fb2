#include "protocol/frames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{

using Bytes = std::vector<std::uint8_t>;

Bytes ProtocolChange(int baudIndex, bool boot, bool main, bool lp)
{
    std::uint8_t out[kProtocolChangeSize];
    BuildProtocolChange(out, baudIndex, boot, main, lp);
    return Bytes(out, out + sizeof out);
}

Bytes BlockHeader(std::uint32_t n, Section section)
{
    std::uint8_t header[4];
    FillBlockHeader(header, n, section);
    return Bytes(header, header + sizeof header);
}

TEST(Commands, FixedCommandBytes)
{
    EXPECT_EQ(Bytes(kSignalCommand, kSignalCommand + 2), (Bytes{0x3C, 0x69}));
    EXPECT_EQ(Bytes(kEraseCommand, kEraseCommand + 2), (Bytes{0x3C, 0x65}));
    EXPECT_EQ(Bytes(kLegacyEraseCommand, kLegacyEraseCommand + 2), (Bytes{0x3C, 0x45}));
    EXPECT_EQ(Bytes(kOverrideCommand, kOverrideCommand + 2), (Bytes{0x3C, 0x6F}));
}

TEST(Commands, BaudRatesAndDigitsInListOrder)
{
    const std::uint32_t rates[] = {115200, 57600, 38400, 19200};
    const std::uint8_t digits[] = {0x30, 0x31, 0x32, 0x34}; // 19200 is '4', never '3'
    for (int i = 0; i < kBaudRateCount; ++i)
    {
        EXPECT_EQ(BaudRateAt(i), rates[i]) << i;
        EXPECT_EQ(BaudDigit(i), digits[i]) << i;
    }
}

TEST(Commands, DownloadTypeCodeOfEverySelection)
{
    // boot, main, lp -> code
    struct Row
    {
        bool boot, main, lp;
        std::uint8_t code;
    };
    const Row rows[] = {
        {false, false, false, 0}, {false, false, true, 3}, {false, true, false, 2},
        {false, true, true, 4},   {true, false, false, 0}, {true, false, true, 0},
        {true, true, false, 1},   {true, true, true, 5},
    };
    for (const Row& row : rows)
    {
        EXPECT_EQ(DownloadTypeCode(row.boot, row.main, row.lp), row.code)
            << row.boot << row.main << row.lp;
    }
}

TEST(Commands, ProtocolChangeCarriesDigitAndTypeCode)
{
    EXPECT_EQ(ProtocolChange(0, false, true, false), (Bytes{'<', 'p', '0', 2}));
    EXPECT_EQ(ProtocolChange(2, false, true, true), (Bytes{'<', 'p', '2', 4}));
    EXPECT_EQ(ProtocolChange(3, true, true, true), (Bytes{'<', 'p', '4', 5}));
    EXPECT_EQ(ProtocolChange(1, false, false, true), (Bytes{'<', 'p', '1', 3}));
}

TEST(Commands, BlockHeaderNumbersHighByteFirst)
{
    EXPECT_EQ(BlockHeader(0, Section::MainCode), (Bytes{0x3C, 0x77, 0x00, 0x00}));
    EXPECT_EQ(BlockHeader(0x0140, Section::MainCode), (Bytes{0x3C, 0x77, 0x01, 0x40}));
    EXPECT_EQ(BlockHeader(5, Section::LanguagePack), (Bytes{0x3C, 0x77, 0x40, 0x05}));
    EXPECT_EQ(BlockHeader(0x1FF, Section::LanguagePack), (Bytes{0x3C, 0x77, 0x41, 0xFF}));
    EXPECT_EQ(BlockHeader(0, Section::LanguagePack), (Bytes{0x3C, 0x77, 0x40, 0x00}));
}

TEST(Commands, ChecksumRequestLayouts)
{
    ChecksumRequest mainOnly;
    mainOnly.SetCrc(Section::MainCode, 0xBEEF);
    EXPECT_EQ(Bytes(mainOnly.bytes, mainOnly.bytes + 6), (Bytes{'<', 'c', 0xBE, 0xEF, 0, 0}));

    ChecksumRequest lpOnly;
    lpOnly.SetCrc(Section::LanguagePack, 0x1234);
    EXPECT_EQ(Bytes(lpOnly.bytes, lpOnly.bytes + 6), (Bytes{'<', 'c', 0, 0, 0x12, 0x34}));

    lpOnly.SetCrc(Section::MainCode, 0x00A5);
    EXPECT_EQ(Bytes(lpOnly.bytes, lpOnly.bytes + 6), (Bytes{'<', 'c', 0x00, 0xA5, 0x12, 0x34}));
    lpOnly.ClearCrcs();
    EXPECT_EQ(Bytes(lpOnly.bytes, lpOnly.bytes + 6), (Bytes{'<', 'c', 0, 0, 0, 0}));
}

TEST(Responses, StartsWithNeedsBothBytesInTheChunk)
{
    const std::uint8_t ack[] = {'>', 'w', 'x'};
    EXPECT_TRUE(StartsWith(ack, 3, '>', 'w'));
    EXPECT_TRUE(StartsWith(ack, 2, '>', 'w'));
    EXPECT_FALSE(StartsWith(ack, 1, '>', 'w')); // second byte not yet received
    EXPECT_FALSE(StartsWith(ack, 0, '>', 'w'));
    EXPECT_FALSE(StartsWith(ack, 3, '>', 'W')); // the case of the letter is the verdict
    EXPECT_FALSE(StartsWith(ack + 1, 2, '>', 'w'));
}

Bytes RecordBytes()
{
    Bytes bytes(kParameterRecordSize);
    for (std::size_t i = 0; i < bytes.size(); ++i)
    {
        bytes[i] = static_cast<std::uint8_t>('A' + i % 26);
    }
    bytes[0] = '>';
    bytes[1] = 'p';
    const std::uint8_t blockSize[] = {0x00, 0x04, 0x00, 0x00};
    const std::uint8_t flashId[] = {0x78, 0x56, 0x34, 0x12};
    const std::uint8_t flash2Id[] = {0xEF, 0xCD, 0xAB, 0x89};
    std::copy(blockSize, blockSize + 4, bytes.begin() + 34);
    std::copy(flashId, flashId + 4, bytes.begin() + 38);
    bytes[42] = 8;
    bytes[43] = 0x5A;
    bytes[44] = 0x02;
    bytes[45] = 0xC3;
    std::copy(flash2Id, flash2Id + 4, bytes.begin() + 46);
    const char mobile[] = "RT47X";
    std::copy(mobile, mobile + 5, bytes.begin() + 50);
    return bytes;
}

TEST(ParameterRecordParsing, FieldsAtTheirOffsetsLittleEndian)
{
    const Bytes bytes = RecordBytes();
    const ParameterRecord record = ParseParameterRecord(bytes.data());
    EXPECT_EQ(std::string(record.commandEcho, 2), ">p");
    EXPECT_EQ(std::string(record.product_id, 16),
              std::string(bytes.begin() + 2, bytes.begin() + 18));
    EXPECT_EQ(std::string(record.dwnld_id, 16),
              std::string(bytes.begin() + 18, bytes.begin() + 34));
    EXPECT_EQ(record.block_size, 1024); // 00 04 00 00
    EXPECT_EQ(record.flash_id, 0x12345678u);
    EXPECT_EQ(record.window_size, 8);
    EXPECT_EQ(record.encode, 0x5A);
    EXPECT_EQ(record.flash_numb, 0x02);
    EXPECT_EQ(record.spare_1, 0xC3);
    EXPECT_EQ(record.flash_2_id, 0x89ABCDEFu);
    EXPECT_EQ(std::string(record.mobile_id, 5), "RT47X");
    EXPECT_EQ(std::string(record.spare, 11), std::string(bytes.begin() + 55, bytes.end()));
}

TEST(ParameterRecordParsing, NegativeBlockSizeIsSigned)
{
    Bytes bytes = RecordBytes();
    bytes[34] = 0xFE;
    bytes[35] = 0xFF;
    bytes[36] = 0xFF;
    bytes[37] = 0xFF;
    EXPECT_EQ(ParseParameterRecord(bytes.data()).block_size, -2);
}

TEST(ParameterRecordParsing, StrayAnswerAheadGivesTheSameRecord)
{
    const Bytes plain = RecordBytes();
    Bytes stray = {'>', 'i'};
    stray.insert(stray.end(), plain.begin(), plain.end()); // ">i>p" + 64 bytes, 68 in all
    // The record is the last 66 bytes of what arrived.
    const ParameterRecord a = ParseParameterRecord(plain.data());
    const ParameterRecord b =
        ParseParameterRecord(stray.data() + stray.size() - kParameterRecordSize);
    EXPECT_EQ(std::string(a.commandEcho, 2), std::string(b.commandEcho, 2));
    EXPECT_EQ(std::string(a.product_id, 16), std::string(b.product_id, 16));
    EXPECT_EQ(std::string(a.dwnld_id, 16), std::string(b.dwnld_id, 16));
    EXPECT_EQ(a.block_size, b.block_size);
    EXPECT_EQ(a.flash_id, b.flash_id);
    EXPECT_EQ(a.window_size, b.window_size);
    EXPECT_EQ(a.encode, b.encode);
    EXPECT_EQ(a.flash_numb, b.flash_numb);
    EXPECT_EQ(a.spare_1, b.spare_1);
    EXPECT_EQ(a.flash_2_id, b.flash_2_id);
    EXPECT_EQ(std::string(a.mobile_id, 5), std::string(b.mobile_id, 5));
    EXPECT_EQ(std::string(a.spare, 11), std::string(b.spare, 11));
}

} // namespace
