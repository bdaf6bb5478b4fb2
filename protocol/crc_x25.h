// CRC-16/X-25 of a section: the figure the handset checks the download against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr std::uint16_t kCrcX25Initial = 0xFFFF;

// Feeds bytes into a running CRC that started at kCrcX25Initial.
std::uint16_t CrcX25Update(std::uint16_t crc, const std::uint8_t* bytes, std::size_t count);

// The figure of a running CRC: its complement.
inline std::uint16_t CrcX25Final(std::uint16_t crc)
{
    return static_cast<std::uint16_t>(~crc);
}

// The data blocks of a release file, read in order from the first data byte on.
class BlockDataReader
{
public:
    virtual ~BlockDataReader() = default;
    // Reads up to count bytes; returns how many it read (fewer only at the end of the data).
    virtual std::size_t Read(std::uint8_t* out, std::size_t count) = 0;
};

// CRC over blockCount blocks of 1024 bytes, blank blocks included. Bytes the reader cannot
// deliver count as 0xFF, as they do for the block senders. No blocks give 0x0000.
std::uint16_t CrcX25(BlockDataReader& data, std::uint32_t blockCount);

// The same over an open release file: rewinds it and steps over its 4 header bytes. The file
// position afterwards is of no use.
std::uint16_t CrcX25(std::FILE* file, std::uint32_t blockCount);
