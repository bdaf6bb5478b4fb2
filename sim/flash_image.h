// The flash memory of one section of the simulated handset: 1024-byte blocks by number,
// erased bytes 0xFF.
#pragma once

#include "sim/handset_protocol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace sim
{

constexpr std::uint8_t kErasedByte = 0xFF;

using FlashBlock = std::array<std::uint8_t, kBlockDataSize>;

class FlashImage
{
public:
    // Notes that the PC sent block n, whether or not it is then written. The PC computes
    // its figure over every block of its file, blank ones included, so the handset counts
    // the blocks of the image from the highest number it has been sent.
    void NoteBlock(std::uint32_t block);
    void Store(std::uint32_t block, const std::uint8_t* data);
    void Erase(); // forgets the blocks and the highest number, keeps the block-count setting

    // A file that ends in blank blocks never sends them: its block count must be told.
    // 0 returns to counting from the highest block sent.
    void SetBlockCount(std::uint32_t blocks) { m_blockCountSetting = blocks; }
    std::uint32_t BlockCountSetting() const { return m_blockCountSetting; }

    // Blocks the checksum covers: the setting, or the highest block sent plus one.
    std::uint32_t ImageBlocks() const;

    // CRC-16/X-25 over blocks 0 .. ImageBlocks()-1, blocks never written as 0xFF.
    std::uint16_t Crc() const;

    // Blocks 0 .. ImageBlocks()-1, each 1024 bytes, blocks never written as 0xFF.
    std::vector<std::uint8_t> Image() const;

    const std::map<std::uint32_t, FlashBlock>& WrittenBlocks() const { return m_blocks; }

private:
    std::map<std::uint32_t, FlashBlock> m_blocks;
    bool m_anyBlockNoted = false;
    std::uint32_t m_highestBlock = 0;
    std::uint32_t m_blockCountSetting = 0;
};

} // namespace sim
