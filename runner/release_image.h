// A release file read once into memory and shared read-only by every port: its blocks, its
// model field and its CRC figure. The same layout rules as the window's reading of the file.
#pragma once

#include "files/release_file.h"
#include "protocol/frames.h"
#include "protocol/model_check.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CReleaseImage
{
public:
    // Reads the file. On failure returns null and sets `error` to the message the window shows
    // for it, or to a like one.
    static std::shared_ptr<const CReleaseImage> Load(const std::string& path, Section section,
                                                     std::string& error);

    std::uint32_t BlockCount() const { return m_blockCount; }
    // The image's four-character model code or the language pack's eight-character field.
    const char* ImageModel() const { return m_imageModel; }
    const char* LpModel() const { return m_lpModel; }
    std::uint16_t Crc() const { return m_crc; }

    // Block `block` into data (kBlockDataSize bytes), 0xFF past the end of the file; returns how
    // many bytes came from the file.
    std::size_t ReadBlock(std::uint32_t block, std::uint8_t* data) const;

private:
    std::vector<std::uint8_t> m_data; // the blocks: the file without its header
    std::uint32_t m_blockCount = 0;
    char m_imageModel[kImageModelSize] = {};
    char m_lpModel[kLpModelSize] = {};
    std::uint16_t m_crc = 0;
};
