#include "sim/crc_x25.h"
#include "sim/flash_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace sim
{
namespace
{

std::vector<std::uint8_t> PatternBlock(std::uint8_t seed)
{
    std::vector<std::uint8_t> block(kBlockDataSize);
    for (std::size_t i = 0; i < block.size(); ++i)
    {
        block[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return block;
}

TEST(CrcX25, CheckValueOfTheNineDigits)
{
    const char digits[] = "123456789";
    EXPECT_EQ(0x906E, CrcX25(reinterpret_cast<const std::uint8_t*>(digits), 9));
}

TEST(CrcX25, NoBytesGiveZero)
{
    EXPECT_EQ(0x0000, CrcX25(nullptr, 0));
}

TEST(CrcX25, RunningCrcEqualsOneShot)
{
    const std::vector<std::uint8_t> data = PatternBlock(3);
    std::uint16_t crc = UpdateCrcX25(kCrcX25Initial, data.data(), 100);
    crc = UpdateCrcX25(crc, data.data() + 100, data.size() - 100);
    EXPECT_EQ(CrcX25(data.data(), data.size()), FinishCrcX25(crc));
}

TEST(FlashImage, CrcCoversUnwrittenBlocksAsErased)
{
    // Blocks 0 and 2 written, block 1 skipped by the PC because it is blank.
    FlashImage flash;
    const std::vector<std::uint8_t> first = PatternBlock(1);
    const std::vector<std::uint8_t> third = PatternBlock(9);
    flash.Store(0, first.data());
    flash.Store(2, third.data());

    std::vector<std::uint8_t> file = first;
    file.insert(file.end(), kBlockDataSize, kErasedByte);
    file.insert(file.end(), third.begin(), third.end());
    EXPECT_EQ(3u, flash.ImageBlocks());
    EXPECT_EQ(CrcX25(file.data(), file.size()), flash.Crc());
    EXPECT_EQ(file, flash.Image());
}

TEST(FlashImage, TrailingBlankBlocksNeedTheBlockCount)
{
    FlashImage flash;
    const std::vector<std::uint8_t> block = PatternBlock(5);
    flash.Store(0, block.data());

    std::vector<std::uint8_t> file = block;
    file.insert(file.end(), 2 * kBlockDataSize, kErasedByte);
    EXPECT_NE(CrcX25(file.data(), file.size()), flash.Crc());

    flash.SetBlockCount(3);
    EXPECT_EQ(CrcX25(file.data(), file.size()), flash.Crc());

    flash.Erase(); // a new download keeps the count it was told
    EXPECT_EQ(3u, flash.ImageBlocks());
    flash.SetBlockCount(0);
    EXPECT_EQ(0u, flash.ImageBlocks());
    EXPECT_EQ(0x0000, flash.Crc());
}

TEST(FlashImage, BlockSentButNotWrittenCountsForTheLength)
{
    FlashImage flash;
    flash.NoteBlock(4);
    EXPECT_EQ(5u, flash.ImageBlocks());
    EXPECT_TRUE(flash.WrittenBlocks().empty());
}

} // namespace
} // namespace sim
