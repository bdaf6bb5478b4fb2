#include "sim/handset_protocol.h"

namespace sim
{
namespace
{

struct BaudDigit
{
    std::uint8_t digit;
    std::uint32_t baudRate;
};

// '3' is not used: 19200 is '4'.
constexpr BaudDigit kBaudDigits[] = {
    {'0', 115200},
    {'1', 57600},
    {'2', 38400},
    {'4', 19200},
};

// DownloadTypeCode values.
constexpr std::uint8_t kMainOnly = 2;
constexpr std::uint8_t kLanguagePackOnly = 3;
constexpr std::uint8_t kMainAndLanguagePack = 4;
constexpr std::uint8_t kBootAndMain = 1;
constexpr std::uint8_t kAllSections = 5;

bool IsKnownCode(std::uint8_t code)
{
    return code >= kBootAndMain && code <= kAllSections;
}

constexpr std::uint64_t kMicrosecondsPerSecond = 1000000;

} // namespace

std::uint64_t LineTimeUs(std::size_t characters, std::uint32_t baudRate)
{
    if (baudRate == 0)
    {
        return 0;
    }
    return static_cast<std::uint64_t>(characters) * kBitsPerCharacter * kMicrosecondsPerSecond /
           baudRate;
}

std::uint32_t BaudRateOfDigit(std::uint8_t digit)
{
    for (const BaudDigit& entry : kBaudDigits)
    {
        if (entry.digit == digit)
        {
            return entry.baudRate;
        }
    }
    return 0;
}

std::size_t CommandFrameLength(std::uint8_t letter)
{
    switch (letter)
    {
    case kSignalLetter:
    case kEraseLetter:
    case kLegacyEraseLetter:
    case kOverrideLetter:
        return kShortCommandLength;
    case kProtocolChangeLetter:
        return kProtocolChangeLength;
    case kChecksumLetter:
        return kChecksumRequestLength;
    case kBlockLetter:
        return kBlockFrameLength;
    default:
        return 0;
    }
}

const char* SectionName(Section section)
{
    return section == Section::Main ? "main" : "lp";
}

bool CodeNamesMain(std::uint8_t code)
{
    return !IsKnownCode(code) || code == kMainOnly || code == kMainAndLanguagePack ||
           code == kBootAndMain || code == kAllSections;
}

bool CodeNamesLanguagePack(std::uint8_t code)
{
    return !IsKnownCode(code) || code == kLanguagePackOnly || code == kMainAndLanguagePack ||
           code == kAllSections;
}

} // namespace sim
