#include "sim/flash_image.h"

#include "sim/crc_x25.h"

#include <algorithm>
#include <cstring>

namespace sim
{

void FlashImage::NoteBlock(std::uint32_t block)
{
    if (!m_anyBlockNoted || block > m_highestBlock)
    {
        m_highestBlock = block;
    }
    m_anyBlockNoted = true;
}

void FlashImage::Store(std::uint32_t block, const std::uint8_t* data)
{
    NoteBlock(block);
    std::memcpy(m_blocks[block].data(), data, kBlockDataSize);
}

void FlashImage::Erase()
{
    m_blocks.clear();
    m_anyBlockNoted = false;
    m_highestBlock = 0;
}

std::uint32_t FlashImage::ImageBlocks() const
{
    if (m_blockCountSetting != 0)
    {
        return m_blockCountSetting;
    }
    return m_anyBlockNoted ? m_highestBlock + 1 : 0;
}

std::uint16_t FlashImage::Crc() const
{
    FlashBlock blank;
    blank.fill(kErasedByte);
    std::uint16_t crc = kCrcX25Initial;
    const std::uint32_t blocks = ImageBlocks();
    for (std::uint32_t n = 0; n < blocks; ++n)
    {
        const auto found = m_blocks.find(n);
        const FlashBlock& data = found == m_blocks.end() ? blank : found->second;
        crc = UpdateCrcX25(crc, data.data(), data.size());
    }
    return FinishCrcX25(crc);
}

std::vector<std::uint8_t> FlashImage::Image() const
{
    const std::uint32_t blocks = ImageBlocks();
    std::vector<std::uint8_t> image(static_cast<std::size_t>(blocks) * kBlockDataSize, kErasedByte);
    for (const auto& [number, data] : m_blocks)
    {
        if (number < blocks)
        {
            std::copy(data.begin(), data.end(), image.begin() + number * kBlockDataSize);
        }
    }
    return image;
}

} // namespace sim
