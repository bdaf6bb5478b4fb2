#include "sim/crc_x25.h"

#include <array>

namespace sim
{
namespace
{

constexpr std::uint16_t kReflectedPolynomial = 0x8408; // 0x1021 bit-reversed

constexpr std::array<std::uint16_t, 256> MakeTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < table.size(); ++byte)
    {
        unsigned crc = byte;
        for (int bit = 0; bit < 8; ++bit)
        {
            crc = (crc & 1u) ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1;
        }
        table[byte] = static_cast<std::uint16_t>(crc);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kTable = MakeTable();

} // namespace

std::uint16_t UpdateCrcX25(std::uint16_t crc, const std::uint8_t* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
    {
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kTable[(crc ^ bytes[i]) & 0xFFu]);
    }
    return crc;
}

std::uint16_t CrcX25(const std::uint8_t* bytes, std::size_t count)
{
    return FinishCrcX25(UpdateCrcX25(kCrcX25Initial, bytes, count));
}

} // namespace sim
