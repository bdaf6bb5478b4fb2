#include "protocol/crc_x25.h"

#include "protocol/frames.h"

#include <array>

namespace
{

constexpr std::uint16_t kReflectedPolynomial = 0x8408; // 0x1021 bit-reversed
constexpr std::size_t kReleaseHeaderSize = 4;
constexpr std::uint8_t kErasedByte = 0xFF;

constexpr std::array<std::uint16_t, 256> MakeTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value)
    {
        unsigned crc = value;
        for (int bit = 0; bit < 8; ++bit)
        {
            crc = (crc & 1) ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1;
        }
        table[value] = static_cast<std::uint16_t>(crc);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kTable = MakeTable();

class FileBlockReader : public BlockDataReader
{
public:
    explicit FileBlockReader(std::FILE* file) : m_file(file) {}

    std::size_t Read(std::uint8_t* out, std::size_t count) override
    {
        return std::fread(out, 1, count, m_file);
    }

private:
    std::FILE* m_file;
};

} // namespace

std::uint16_t CrcX25Update(std::uint16_t crc, const std::uint8_t* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
    {
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kTable[(crc ^ bytes[i]) & 0xFF]);
    }
    return crc;
}

std::uint16_t CrcX25(BlockDataReader& data, std::uint32_t blockCount)
{
    std::uint8_t block[kBlockDataSize];
    std::uint16_t crc = kCrcX25Initial;
    for (std::uint32_t n = 0; n < blockCount; ++n)
    {
        const std::size_t got = data.Read(block, sizeof block);
        for (std::size_t i = got; i < sizeof block; ++i)
        {
            block[i] = kErasedByte;
        }
        crc = CrcX25Update(crc, block, sizeof block);
    }
    return CrcX25Final(crc);
}

std::uint16_t CrcX25(std::FILE* file, std::uint32_t blockCount)
{
    std::rewind(file);
    std::uint8_t header[kReleaseHeaderSize];
    // A file too short for its header has no data: every block reads as erased.
    const std::size_t headerRead = std::fread(header, 1, sizeof header, file);
    (void)headerRead;
    FileBlockReader reader(file);
    return CrcX25(reader, blockCount);
}
