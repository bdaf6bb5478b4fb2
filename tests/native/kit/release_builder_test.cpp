#include "kit/release_builder.h"
#include "release_content.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace kit;

namespace
{
const std::string kHeader = SRecord('0', 0, 2, {'t', 'e', 's', 't'});
const std::string kEnd = SRecord('9', 0, 2, {});

std::vector<DataRecord> Parse(const std::string& text)
{
    std::vector<DataRecord> records;
    std::string error;
    EXPECT_TRUE(ParseSRecords(text, records, error)) << error;
    return records;
}

std::string ParseError(const std::string& text)
{
    std::vector<DataRecord> records;
    std::string error;
    EXPECT_FALSE(ParseSRecords(text, records, error));
    return error;
}

TEST(SRecordTest, ReadsAllAddressSizesCountsAndEndRecords)
{
    const auto records = Parse(
        kHeader + SRecord('1', 0x1234, 2, {1, 2}) + "\n" + SRecord('2', 0x123456, 3, {3}) +
        SRecord('3', 0x12345678, 4, {4, 5}) + SRecord('5', 3, 2, {}) + SRecord('7', 0, 4, {}));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].address, 0x1234u);
    EXPECT_EQ(records[0].data, (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(records[1].address, 0x123456u);
    EXPECT_EQ(records[2].address, 0x12345678u);
    EXPECT_EQ(records[2].line, 5u); // the blank line counts
    EXPECT_EQ(
        Parse(SRecord('1', 0, 2, {0}) + SRecord('6', 1, 3, {}) + SRecord('8', 0, 3, {})).size(),
        1u);
    // Lower-case digits and LF line ends are read too.
    EXPECT_EQ(Parse("S1040000aa51\n" + kEnd).size(), 1u);
}

TEST(SRecordTest, MalformedRecordsNameTheirLine)
{
    std::string bad = SRecord('1', 0x10, 2, {0xAA});
    bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0'; // the checksum's last digit
    EXPECT_NE(ParseError(kHeader + bad + kEnd).find("line 2: checksum"), std::string::npos);
    EXPECT_NE(ParseError("S1050000AA\r\n" + kEnd).find("byte count"), std::string::npos);
    EXPECT_NE(ParseError("S10400G0AA51\n" + kEnd).find("hex digit"), std::string::npos);
    EXPECT_NE(ParseError(SRecord('4', 0, 2, {}) + kEnd).find("unknown record type S4"),
              std::string::npos);
    EXPECT_NE(ParseError(":10000000\n").find("not an S-record"), std::string::npos);
    EXPECT_NE(ParseError(SRecord('1', 0, 2, {1}) + SRecord('5', 2, 2, {}) + kEnd).find("count"),
              std::string::npos);
    EXPECT_NE(ParseError(SRecord('1', 0, 2, {1})).find("no end record"), std::string::npos);
    EXPECT_NE(ParseError(kEnd + SRecord('1', 0, 2, {1})).find("after the end record"),
              std::string::npos);
    EXPECT_NE(ParseError(SRecord('3', 0xFFFFFFFF, 4, {1, 2}) + kEnd).find("address space"),
              std::string::npos);
}

TEST(ReleaseFileTest, BlocksArePaddedWithBlanksAndOneTrailingByte)
{
    ReleaseLayout layout;
    layout.base = 0x1000;
    std::vector<std::uint8_t> file;
    std::string error;
    // Data in block 0 and in block 2; block 1 is a gap filled with 0xFF.
    ASSERT_TRUE(BuildReleaseFile(Parse(SRecord('1', 0x1000, 2, {0x11, 0x22}) +
                                       SRecord('1', 0x1000 + 2048 + 5, 2, {0x33}) + kEnd),
                                 layout, file, error))
        << error;
    ASSERT_EQ(file.size(), 4 + 3 * 1024 + 1u);
    EXPECT_EQ((file.size() - 5) / 1024, 3u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RELI");
    EXPECT_EQ(file[4], 0x11);
    EXPECT_EQ(file[5], 0x22);
    EXPECT_EQ(file[6], 0xFF);
    EXPECT_EQ(file[4 + 1024], 0xFF);
    EXPECT_EQ(file[4 + 2048 + 5], 0x33);
    EXPECT_EQ(file.back(), 0xFF);

    layout.kind = ReleaseKind::LanguagePack;
    ASSERT_TRUE(BuildReleaseFile(Parse(SRecord('1', 0x13FF, 2, {1}) + kEnd), layout, file, error));
    EXPECT_EQ(file.size(), 4 + 1024 + 1u); // a record ending a block exactly needs no more
    EXPECT_EQ(file[3], 'L');
}

TEST(ReleaseFileTest, AddressesItCannotPlaceAndSizesAreRefused)
{
    ReleaseLayout layout;
    layout.base = 0x1000;
    std::vector<std::uint8_t> file;
    std::string error;
    EXPECT_FALSE(BuildReleaseFile(Parse(SRecord('1', 0x0FFF, 2, {1}) + kEnd), layout, file, error));
    EXPECT_NE(error.find("before the release file's first block"), std::string::npos);
    EXPECT_FALSE(BuildReleaseFile(
        Parse(SRecord('1', 0x1000, 2, {1, 2}) + SRecord('1', 0x1001, 2, {3}) + kEnd), layout, file,
        error));
    EXPECT_NE(error.find("line 2: address 0x00001001 was already given"), std::string::npos);

    layout.base = 0;
    layout.maxBlocks = 2;
    EXPECT_TRUE(BuildReleaseFile(Parse(SRecord('2', 2047, 3, {1}) + kEnd), layout, file, error));
    EXPECT_FALSE(BuildReleaseFile(Parse(SRecord('2', 2048, 3, {1}) + kEnd), layout, file, error));
    EXPECT_NE(error.find("beyond the largest release file of 2 blocks"), std::string::npos);
    // The whole block numbering: 0x4000 blocks fit, a byte more does not.
    layout.maxBlocks = kMaxReleaseBlocks;
    EXPECT_TRUE(BuildReleaseFile(Parse(SRecord('3', kMaxReleaseBlocks * 1024 - 1, 4, {1}) + kEnd),
                                 layout, file, error));
    EXPECT_EQ((file.size() - 5) / 1024, kMaxReleaseBlocks);
    EXPECT_FALSE(BuildReleaseFile(Parse(SRecord('3', kMaxReleaseBlocks * 1024, 4, {1}) + kEnd),
                                  layout, file, error));

    layout.minBlocks = 65; // an image must reach its product field in block 64
    EXPECT_FALSE(BuildReleaseFile(Parse(SRecord('1', 0, 2, {1}) + kEnd), layout, file, error));
    EXPECT_NE(error.find("needs at least 65"), std::string::npos);
}

TEST(CommandFileTest, KeysValuesAndSlips)
{
    ReleaseLayout layout;
    std::string error;
    ASSERT_TRUE(ReadCommandFile(":: comment\r\nkind = language-pack\r\nbase=0x20000 ; note\r\n"
                                "min-blocks = 2\r\nmax-blocks = 448\r\n",
                                layout, error))
        << error;
    EXPECT_EQ(layout.kind, ReleaseKind::LanguagePack);
    EXPECT_EQ(layout.base, 0x20000u);
    EXPECT_EQ(layout.minBlocks, 2u);
    EXPECT_EQ(layout.maxBlocks, 448u);
    for (const char* slip : {"kind = imag", "bse = 0", "max-blocks = 16385", "max-blocks = 0",
                             "base = 0x1FFFFFFFF", "kind"})
    {
        EXPECT_FALSE(ReadCommandFile(slip, layout, error)) << slip;
    }
    std::uint32_t blocks = 0;
    EXPECT_TRUE(ParseBlockCount("2048", blocks));
    EXPECT_EQ(blocks, 2048u);
    EXPECT_FALSE(ParseBlockCount("16385", blocks));
    EXPECT_FALSE(ParseBlockCount("", blocks));
    EXPECT_FALSE(ParseBlockCount("12x", blocks));
}
} // namespace
