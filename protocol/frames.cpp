#include "protocol/frames.h"

#include <cstring>

namespace
{

constexpr std::uint32_t kBaudRates[kBaudRateCount] = {115200, 57600, 38400, 19200};
// The handset knows 19200 baud by the digit '4'; there is no '3'.
constexpr std::uint8_t kBaudDigits[kBaudRateCount] = {'0', '1', '2', '4'};

// Indexed by (boot << 2) | (main << 1) | languagePack.
constexpr std::uint8_t kDownloadTypeCodes[8] = {0, 3, 2, 4, 0, 0, 1, 5};

constexpr std::uint8_t kBlockCommand[2] = {'<', 'w'};
constexpr std::uint8_t kProtocolChangeCommand[2] = {'<', 'p'};
constexpr std::uint32_t kLanguagePackBlockFlag = 0x40; // ORed into the high byte of the number

// A list position outside the list falls back to its first entry, so that the rate and the
// digit always agree.
int ValidBaudIndex(int baudIndex)
{
    return (baudIndex >= 0 && baudIndex < kBaudRateCount) ? baudIndex : 0;
}

std::uint32_t LittleEndian32(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

} // namespace

std::uint32_t BaudRateAt(int baudIndex)
{
    return kBaudRates[ValidBaudIndex(baudIndex)];
}

std::uint8_t BaudDigit(int baudIndex)
{
    return kBaudDigits[ValidBaudIndex(baudIndex)];
}

std::uint8_t DownloadTypeCode(bool bootCode, bool mainCode, bool languagePack)
{
    const unsigned index = (static_cast<unsigned>(bootCode) << 2) |
                           (static_cast<unsigned>(mainCode) << 1) |
                           static_cast<unsigned>(languagePack);
    return kDownloadTypeCodes[index];
}

void BuildProtocolChange(std::uint8_t out[4], int baudIndex, bool bootCode, bool mainCode,
                         bool languagePack)
{
    out[0] = kProtocolChangeCommand[0];
    out[1] = kProtocolChangeCommand[1];
    out[2] = BaudDigit(baudIndex);
    out[3] = DownloadTypeCode(bootCode, mainCode, languagePack);
}

void FillBlockHeader(std::uint8_t frame[4], std::uint32_t blockNumber, Section section)
{
    std::uint32_t high = blockNumber >> 8;
    if (section == Section::LanguagePack)
    {
        high |= kLanguagePackBlockFlag;
    }
    frame[0] = kBlockCommand[0];
    frame[1] = kBlockCommand[1];
    frame[2] = static_cast<std::uint8_t>(high & 0xFF);
    frame[3] = static_cast<std::uint8_t>(blockNumber & 0xFF);
}

void ChecksumRequest::SetCrc(Section section, std::uint16_t crc)
{
    const std::size_t at = (section == Section::MainCode) ? 2 : 4;
    bytes[at] = static_cast<std::uint8_t>(crc >> 8);
    bytes[at + 1] = static_cast<std::uint8_t>(crc & 0xFF);
}

void ChecksumRequest::ClearCrcs()
{
    bytes[2] = 0;
    bytes[3] = 0;
    bytes[4] = 0;
    bytes[5] = 0;
}

bool StartsWith(const std::uint8_t* bytes, std::size_t count, char first, char second)
{
    if (count < 2)
    {
        return false;
    }
    const unsigned received = (static_cast<unsigned>(bytes[0]) << 8) | bytes[1];
    const unsigned expected = (static_cast<unsigned>(static_cast<std::uint8_t>(first)) << 8) |
                              static_cast<std::uint8_t>(second);
    return received == expected;
}

ParameterRecord ParseParameterRecord(const std::uint8_t bytes[kParameterRecordSize])
{
    ParameterRecord record{};
    std::memcpy(record.commandEcho, bytes + 0, sizeof record.commandEcho);
    std::memcpy(record.product_id, bytes + 2, sizeof record.product_id);
    std::memcpy(record.dwnld_id, bytes + 18, sizeof record.dwnld_id);
    record.block_size = static_cast<std::int32_t>(LittleEndian32(bytes + 34));
    record.flash_id = LittleEndian32(bytes + 38);
    record.window_size = bytes[42];
    record.encode = bytes[43];
    record.flash_numb = bytes[44];
    record.spare_1 = bytes[45];
    record.flash_2_id = LittleEndian32(bytes + 46);
    std::memcpy(record.mobile_id, bytes + 50, sizeof record.mobile_id);
    std::memcpy(record.spare, bytes + 55, sizeof record.spare);
    return record;
}
