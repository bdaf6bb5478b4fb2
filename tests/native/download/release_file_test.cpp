#include "files/release_file.h"
#include "base/unique_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
// A release file in a temporary stream: header "REL1", blocks of which block n is filled with
// the byte n + 1, then the given trailer.
UniqueFile ReleaseFile(std::size_t blocks, const std::vector<std::uint8_t>& trailer = {0x00})
{
    UniqueFile file(std::tmpfile());
    std::fwrite("REL1", 1, 4, file.get());
    for (std::size_t n = 0; n < blocks; ++n)
    {
        std::vector<std::uint8_t> block(kBlockDataSize, static_cast<std::uint8_t>(n + 1));
        std::fwrite(block.data(), 1, block.size(), file.get());
    }
    std::fwrite(trailer.data(), 1, trailer.size(), file.get());
    std::fflush(file.get());
    return file;
}

void WriteAt(std::FILE* file, long offset, const std::string& bytes)
{
    std::fseek(file, offset, SEEK_SET);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fflush(file);
}

TEST(ReleaseBlockCountTest, CountsWholeBlocksAfterHeaderAndTrailingByte)
{
    EXPECT_EQ(ReleaseBlockCount(1029), 1u);
    EXPECT_EQ(ReleaseBlockCount(1028), 0u);
    EXPECT_EQ(ReleaseBlockCount(5), 0u);
    EXPECT_EQ(ReleaseBlockCount(4 + 200 * 1024 + 1), 200u);
    EXPECT_EQ(ReleaseBlockCount(4 + 200 * 1024 + 1023), 200u);
}

TEST(ReleaseBlockCountTest, FilesShorterThanFiveBytesHoldNoBlocks)
{
    EXPECT_FALSE(HoldsReleaseBlocks(0));
    EXPECT_FALSE(HoldsReleaseBlocks(4));
    EXPECT_TRUE(HoldsReleaseBlocks(5));
}

TEST(ReadReleaseBlockTest, ReadsTheBlockAfterTheHeader)
{
    UniqueFile file = ReleaseFile(3);
    std::uint8_t data[kBlockDataSize];
    for (std::uint32_t n = 0; n < 3; ++n)
    {
        ASSERT_EQ(ReadReleaseBlock(file.get(), n, data), kBlockDataSize);
        EXPECT_EQ(data[0], n + 1);
        EXPECT_EQ(data[kBlockDataSize - 1], n + 1);
    }
}

TEST(ReadReleaseBlockTest, BytesPastTheEndReadAsBlank)
{
    UniqueFile file = ReleaseFile(1, {0x5A, 0x5B});
    std::uint8_t data[kBlockDataSize];
    EXPECT_EQ(ReadReleaseBlock(file.get(), 1, data), 2u);
    EXPECT_EQ(data[0], 0x5A);
    EXPECT_EQ(data[1], 0x5B);
    EXPECT_EQ(data[2], 0xFF);
    EXPECT_EQ(data[kBlockDataSize - 1], 0xFF);

    std::memset(data, 0, sizeof data);
    EXPECT_EQ(ReadReleaseBlock(file.get(), 500, data), 0u);
    EXPECT_TRUE(IsBlankBlock(data));
}

TEST(ReadReleaseBlockTest, SameBlockReadsTheSameAfterOtherReads)
{
    UniqueFile file = ReleaseFile(4);
    std::uint8_t first[kBlockDataSize];
    std::uint8_t again[kBlockDataSize];
    ReadReleaseBlock(file.get(), 2, first);
    ReadReleaseBlock(file.get(), 3, again);
    ReadReleaseBlock(file.get(), 2, again);
    EXPECT_EQ(std::memcmp(first, again, kBlockDataSize), 0);
}

TEST(BlankBlockTest, OnlyAllOxFFIsBlank)
{
    std::uint8_t data[kBlockDataSize];
    std::memset(data, 0xFF, sizeof data);
    EXPECT_TRUE(IsBlankBlock(data));
    data[kBlockDataSize - 1] = 0xFE;
    EXPECT_FALSE(IsBlankBlock(data));
    data[kBlockDataSize - 1] = 0xFF;
    data[0] = 0x00;
    EXPECT_FALSE(IsBlankBlock(data));
}

TEST(ModelFieldTest, ImageModelIsFirstFourCharactersWithSecondBlanked)
{
    UniqueFile file = ReleaseFile(70);
    WriteAt(file.get(), 0x10024, "RT47-SAMPLE");
    char model[kImageModelSize];
    ReadImageModel(file.get(), model);
    EXPECT_EQ(std::string(model, sizeof model), "R 47");
}

TEST(ModelFieldTest, ImageTooShortForTheProductFieldGivesZeros)
{
    UniqueFile file = ReleaseFile(2);
    char model[kImageModelSize];
    std::memset(model, 'x', sizeof model);
    ReadImageModel(file.get(), model);
    EXPECT_EQ(std::string(model, sizeof model), std::string("\0 \0\0", 4));
}

TEST(ModelFieldTest, LanguagePackModelIsEightBytesAtOffsetSix)
{
    UniqueFile file = ReleaseFile(2);
    WriteAt(file.get(), 6, "RT47X   ");
    char model[kLpModelSize];
    ReadLpModel(file.get(), model);
    EXPECT_EQ(std::string(model, sizeof model), "RT47X   ");
}

TEST(SkipHeaderTest, LeavesTheFileAtItsFirstDataByte)
{
    UniqueFile file = ReleaseFile(2);
    char model[kLpModelSize];
    ReadLpModel(file.get(), model);
    SkipReleaseHeader(file.get());
    EXPECT_EQ(std::ftell(file.get()), 4);
    EXPECT_EQ(std::fgetc(file.get()), 1);
}
} // namespace
