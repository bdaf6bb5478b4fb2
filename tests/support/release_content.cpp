#include "release_content.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

namespace
{
constexpr std::size_t kHeaderBytes = 4;
constexpr std::size_t kBlockBytes = 1024;
constexpr std::size_t kProductFieldOffset = 0x10024;
constexpr std::size_t kProductFieldBytes = 16;
constexpr std::size_t kLanguagePackFieldOffset = 6;
constexpr std::size_t kLanguagePackFieldBytes = 8;
constexpr char kRt47Product[] = "RT47-SAMPLE";

std::string ModelField(std::string model, std::size_t size, char pad)
{
    model.resize(size, pad);
    return model;
}

std::string RandomRelease(const char* header, std::size_t blocks, unsigned seed,
                          const std::vector<std::size_t>& blank, std::size_t fieldOffset,
                          const std::string& field)
{
    std::string content = header;
    std::mt19937 random(seed);
    for (std::size_t i = 0; i < blocks * kBlockBytes; ++i)
        content.push_back(static_cast<char>(random()));
    for (std::size_t n : blank)
        content.replace(kHeaderBytes + n * kBlockBytes, kBlockBytes, kBlockBytes, '\xFF');
    content.push_back('\xFF');
    if (content.size() >= fieldOffset + field.size())
        content.replace(fieldOffset, field.size(), field);
    return content;
}
} // namespace

std::string BlockData(std::size_t n)
{
    std::string data(kBlockBytes, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
    {
        data[i] = static_cast<char>((n * 3 + i) & 0xFF);
    }
    return data;
}

std::string ReleaseFileContent(std::size_t blocks, const std::vector<std::size_t>& blank)
{
    std::string content = "REL1";
    for (std::size_t n = 0; n < blocks; ++n)
    {
        const bool isBlank = std::find(blank.begin(), blank.end(), n) != blank.end();
        content += isBlank ? std::string(kBlockBytes, '\xFF') : BlockData(n);
    }
    content.push_back('\x00');
    return content;
}

std::string Rt47Image(std::size_t blocks)
{
    std::string content = ReleaseFileContent(blocks);
    std::memcpy(&content[kProductFieldOffset], kRt47Product, sizeof kRt47Product - 1);
    return content;
}

std::string RandomImage(std::size_t blocks, const std::string& model, unsigned seed,
                        const std::vector<std::size_t>& blank)
{
    return RandomRelease("RELI", blocks, seed, blank, kProductFieldOffset,
                         ModelField(model, kProductFieldBytes, '\0'));
}

std::string RandomLanguagePack(std::size_t blocks, const std::string& model, unsigned seed,
                               const std::vector<std::size_t>& blank)
{
    return RandomRelease("RELL", blocks, seed, blank, kLanguagePackFieldOffset,
                         ModelField(model, kLanguagePackFieldBytes, ' '));
}

std::vector<std::uint8_t> ReleaseBlocks(const std::string& content)
{
    if (content.size() < kHeaderBytes + 1)
        return {};
    return std::vector<std::uint8_t>(content.begin() + kHeaderBytes, content.end() - 1);
}

std::uint16_t Crc16X25Bitwise(const std::vector<std::uint8_t>& bytes)
{
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t byte : bytes)
    {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
        {
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408)
                            : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return static_cast<std::uint16_t>(~crc);
}

std::string SRecord(char type, std::uint32_t address, std::size_t addressSize,
                    const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(addressSize + data.size() + 1)};
    for (std::size_t i = addressSize; i-- > 0;)
        bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    bytes.push_back(static_cast<std::uint8_t>(~sum));
    std::string line = std::string("S") + type;
    char hex[3];
    for (std::uint8_t b : bytes)
    {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line + "\r\n";
}

std::string MotorolaText(const std::vector<std::uint8_t>& bytes, std::uint32_t address)
{
    constexpr std::size_t kRecordData = 32;
    constexpr std::size_t kS3AddressBytes = 4;
    constexpr std::size_t kS7AddressBytes = 4;
    std::string text = "S0030000FC\r\n";
    for (std::size_t at = 0; at < bytes.size(); at += kRecordData)
    {
        const std::size_t size = std::min(kRecordData, bytes.size() - at);
        const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(at);
        text +=
            SRecord('3', address + static_cast<std::uint32_t>(at), kS3AddressBytes,
                    std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(size)));
    }
    return text + SRecord('7', 0, kS7AddressBytes, {});
}
