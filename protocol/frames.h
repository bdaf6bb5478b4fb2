// The bytes spoken between the tool ("PC") and the handset ("MS").
#pragma once

#include <cstddef>
#include <cstdint>

enum class Section
{
    MainCode,     // the image file: boot-code region (blocks 0..63) and main-code region
    LanguagePack, // the language-pack file
};

constexpr std::size_t kBlockDataSize = 1024;
constexpr std::size_t kBlockFrameSize = 4 + kBlockDataSize;
constexpr std::size_t kParameterRecordSize = 66;
constexpr std::size_t kChecksumRequestSize = 6;
constexpr std::size_t kProtocolChangeSize = 4;
constexpr std::size_t kCommandSize = 2; // signal, erase and override commands
// The longest answer judged by its bytes: ">c" or ">C" with an extended handset's four CRC
// bytes (the parameter record is judged by the running total instead).
constexpr std::size_t kLongestJudgedAnswer = 6;

// Commands of the PC.
constexpr std::uint8_t kSignalCommand[2] = {'<', 'i'};
constexpr std::uint8_t kEraseCommand[2] = {'<', 'e'};
constexpr std::uint8_t kLegacyEraseCommand[2] = {'<', 'E'};
constexpr std::uint8_t kOverrideCommand[2] = {'<', 'o'};

// Every download opens the port at this rate: the handset signals and takes the protocol change
// at it, whatever rate the blocks go at.
constexpr std::uint32_t kSignallingBaudRate = 19200;

// Baud rates of the baud-rate list, in list order, and the digit each puts into '<' 'p'.
constexpr int kBaudRateCount = 4;
std::uint32_t BaudRateAt(int baudIndex);
std::uint8_t BaudDigit(int baudIndex);

// Code of the selected sections, the fourth byte of '<' 'p'.
std::uint8_t DownloadTypeCode(bool bootCode, bool mainCode, bool languagePack);

// '<' 'p', baud digit, DownloadTypeCode.
void BuildProtocolChange(std::uint8_t out[4], int baudIndex, bool bootCode, bool mainCode,
                         bool languagePack);

// The four header bytes of a data-block frame ('<' 'w', block number high byte first;
// a language-pack block ORs 0x40 into the high byte).
void FillBlockHeader(std::uint8_t frame[4], std::uint32_t blockNumber, Section section);

// '<' 'c', main CRC high/low, LP CRC high/low. Lives as long as the engine.
struct ChecksumRequest
{
    std::uint8_t bytes[kChecksumRequestSize] = {'<', 'c', 0, 0, 0, 0};
    void SetCrc(Section section, std::uint16_t crc);
    void ClearCrcs();
};

// Two-byte responses of the handset, compared as one 16-bit value.
bool StartsWith(const std::uint8_t* bytes, std::size_t count, char first, char second);

// The handset's 66-byte self-description.
struct ParameterRecord
{
    char commandEcho[2];
    char product_id[16];
    char dwnld_id[16];
    std::int32_t block_size;
    std::uint32_t flash_id;
    std::uint8_t window_size;
    std::uint8_t encode;
    std::uint8_t flash_numb;
    std::uint8_t spare_1;
    std::uint32_t flash_2_id;
    char mobile_id[5];
    char spare[11];
};

// Decodes the 66 bytes of a record (little-endian 32-bit fields).
ParameterRecord ParseParameterRecord(const std::uint8_t bytes[kParameterRecordSize]);
