// The handset's side of the line: what the PC's commands look like and what the handset
// answers. Frames carry no length field; the letter after '<' fixes the length.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim
{

constexpr std::uint8_t kCommandStart = '<'; // PC -> handset
constexpr std::uint8_t kAnswerStart = '>';  // handset -> PC

// Command letters.
constexpr std::uint8_t kSignalLetter = 'i';
constexpr std::uint8_t kProtocolChangeLetter = 'p';
constexpr std::uint8_t kEraseLetter = 'e';
constexpr std::uint8_t kLegacyEraseLetter = 'E';
constexpr std::uint8_t kOverrideLetter = 'o';
constexpr std::uint8_t kBlockLetter = 'w';
constexpr std::uint8_t kChecksumLetter = 'c';

// Frame lengths in bytes, '<' and the letter included.
constexpr std::size_t kShortCommandLength = 2;    // 'i', 'e', 'E', 'o'
constexpr std::size_t kProtocolChangeLength = 4;  // '<' 'p' baud digit, DownloadTypeCode
constexpr std::size_t kChecksumRequestLength = 6; // '<' 'c' main hi lo, lp hi lo
constexpr std::size_t kBlockDataSize = 1024;
constexpr std::size_t kBlockFrameLength = 4 + kBlockDataSize; // '<' 'w' number hi lo, data

// Byte 2 of a block frame: a language-pack block ORs this into the block number's high byte.
constexpr std::uint8_t kLanguagePackBlockFlag = 0x40;

// Answer letters: lower case is success, upper case failure.
constexpr std::uint8_t kEraseFailedLetter = 'E';
constexpr std::uint8_t kWriteFailedLetter = 'W';
constexpr std::uint8_t kChecksumBadLetter = 'C';

// The handset's self-description, ">p" and 64 bytes.
constexpr std::size_t kParameterRecordLength = 66;

// Line rates. Signalling always runs at 19200 baud.
constexpr std::uint32_t kSignallingBaudRate = 19200;
constexpr unsigned kBitsPerCharacter = 10; // start bit, 8 data bits, stop bit

// Microseconds the line needs for this many characters at this rate.
std::uint64_t LineTimeUs(std::size_t characters, std::uint32_t baudRate);

// Baud rate named by the digit of '<' 'p'; 0 for an unknown digit.
std::uint32_t BaudRateOfDigit(std::uint8_t digit);

// Length of the command frame that starts '<' letter; 0 for a letter the handset does not know.
std::size_t CommandFrameLength(std::uint8_t letter);

enum class Section
{
    Main,         // the image: boot-code and main-code regions
    LanguagePack, //
};

const char* SectionName(Section section); // "main" or "lp"

// Which sections a DownloadTypeCode (fourth byte of '<' 'p') names. An unknown code names
// both, so that the handset compares every figure it is given.
bool CodeNamesMain(std::uint8_t downloadTypeCode);
bool CodeNamesLanguagePack(std::uint8_t downloadTypeCode);

} // namespace sim
