// CRC-16/X-25, the figure the handset compares with the PC's after a download.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim
{

constexpr std::uint16_t kCrcX25Initial = 0xFFFF;

// Feeds bytes into a running CRC that started at kCrcX25Initial.
std::uint16_t UpdateCrcX25(std::uint16_t crc, const std::uint8_t* bytes, std::size_t count);

// The final figure of a running CRC (its complement).
inline std::uint16_t FinishCrcX25(std::uint16_t crc)
{
    return static_cast<std::uint16_t>(~crc);
}

// CRC of one stretch of bytes.
std::uint16_t CrcX25(const std::uint8_t* bytes, std::size_t count);

} // namespace sim
