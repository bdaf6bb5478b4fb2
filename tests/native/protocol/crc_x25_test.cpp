#include "base/unique_file.h"
#include "protocol/crc_x25.h"
#include "release_content.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace
{

using Bytes = std::vector<std::uint8_t>;

using FilePtr = UniqueFile;

// A release file in a temporary file: 4 header bytes, then data.
FilePtr ReleaseFile(const Bytes& data)
{
    FilePtr file(std::tmpfile());
    const std::uint8_t header[4] = {0xA1, 0xB2, 0xC3, 0xD4};
    std::fwrite(header, 1, sizeof header, file.get());
    std::fwrite(data.data(), 1, data.size(), file.get());
    std::fflush(file.get());
    return file;
}

Bytes Pattern(std::size_t size, unsigned seed)
{
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
    {
        data[i] = static_cast<std::uint8_t>((i * 131 + seed * 17 + (i >> 8)) & 0xFF);
    }
    return data;
}

TEST(CrcX25, StandardCheckValue)
{
    const Bytes digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(CrcX25Final(CrcX25Update(kCrcX25Initial, digits.data(), digits.size())), 0x906E);
}

TEST(CrcX25, TableAgreesWithBitwiseDefinitionAndUpdatesInPieces)
{
    const Bytes data = Pattern(3000, 5);
    std::uint16_t crc = kCrcX25Initial;
    crc = CrcX25Update(crc, data.data(), 1);
    crc = CrcX25Update(crc, data.data() + 1, 1000);
    crc = CrcX25Update(crc, data.data() + 1001, data.size() - 1001);
    EXPECT_EQ(CrcX25Final(crc), Crc16X25Bitwise(data));
}

TEST(CrcX25, FileCoversEveryBlockBlankOnesIncluded)
{
    Bytes data = Pattern(3 * 1024, 1);
    std::fill(data.begin() + 1024, data.begin() + 2048, 0xFF); // block 1 blank
    data.push_back(0x00);                                      // the byte after the last block
    FilePtr file = ReleaseFile(data);
    const Bytes blocks(data.begin(), data.begin() + 3 * 1024);
    EXPECT_EQ(CrcX25(file.get(), 3), Crc16X25Bitwise(blocks));
    // A second computation rewinds: the position left by the first does not matter.
    EXPECT_EQ(CrcX25(file.get(), 3), Crc16X25Bitwise(blocks));
}

TEST(CrcX25, BytesPastTheEndCountAsErased)
{
    const Bytes data = Pattern(1500, 2); // one and a half blocks
    FilePtr file = ReleaseFile(data);
    Bytes padded = data;
    padded.resize(3 * 1024, 0xFF);
    EXPECT_EQ(CrcX25(file.get(), 3), Crc16X25Bitwise(padded));
}

TEST(CrcX25, NoBlocksGiveZero)
{
    FilePtr file = ReleaseFile(Pattern(2048, 3));
    EXPECT_EQ(CrcX25(file.get(), 0), 0x0000);
}

TEST(CrcX25, HeaderIsNotPartOfTheFigure)
{
    const Bytes data = Pattern(1024, 4);
    FilePtr file = ReleaseFile(data);
    // Overwrite the header: the figure stays.
    const std::uint16_t before = CrcX25(file.get(), 1);
    std::rewind(file.get());
    const std::uint8_t other[4] = {0, 0, 0, 0};
    std::fwrite(other, 1, sizeof other, file.get());
    std::fflush(file.get());
    EXPECT_EQ(CrcX25(file.get(), 1), before);
    EXPECT_EQ(before, Crc16X25Bitwise(data));
}

TEST(CrcX25, FileShorterThanItsHeaderIsAllErased)
{
    FilePtr file(std::tmpfile());
    const std::uint8_t twoBytes[2] = {1, 2};
    std::fwrite(twoBytes, 1, sizeof twoBytes, file.get());
    std::fflush(file.get());
    EXPECT_EQ(CrcX25(file.get(), 1), Crc16X25Bitwise(Bytes(1024, 0xFF)));
}

} // namespace
