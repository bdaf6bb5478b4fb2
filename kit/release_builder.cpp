#include "kit/release_builder.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace kit
{
namespace
{
constexpr std::size_t kCountFieldSize = 1;
constexpr std::size_t kChecksumSize = 1;
constexpr char kHeaderTag[] = "REL";
constexpr std::uint8_t kImageTag = 'I';
constexpr std::uint8_t kLanguagePackTag = 'L';
constexpr int kHexDigitBits = 4;

// Address sizes in bytes by record type; 0 where the type has no address field that matters.
struct RecordType
{
    std::size_t addressSize;
    enum
    {
        Header,
        Data,
        Count,
        End,
        Unknown
    } role;
};

RecordType TypeOf(char digit)
{
    switch (digit)
    {
    case '0':
        return {2, RecordType::Header};
    case '1':
        return {2, RecordType::Data};
    case '2':
        return {3, RecordType::Data};
    case '3':
        return {4, RecordType::Data};
    case '5':
        return {2, RecordType::Count};
    case '6':
        return {3, RecordType::Count};
    case '7':
        return {4, RecordType::End};
    case '8':
        return {3, RecordType::End};
    case '9':
        return {2, RecordType::End};
    default:
        return {0, RecordType::Unknown};
    }
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string AtLine(unsigned line, const std::string& what)
{
    return "line " + std::to_string(line) + ": " + what;
}

std::string Hex(std::uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
    return text;
}

bool ParseNumber(std::string text, std::uint64_t& value)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    {
        text.erase(0, 2);
        base = 16;
    }
    if (text.empty() || text.size() > 10)
        return false;
    value = 0;
    for (char c : text)
    {
        const int digit = HexValue(c);
        if (digit < 0 || digit >= base)
            return false;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    return true;
}

std::string Trim(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}
// The bytes of a record line after its "Sn": count, address, data and checksum, checked against
// the count and the checksum. Returns what is wrong with the line, or nothing.
std::string DecodeRecord(const std::string& line, const RecordType& type,
                         std::vector<std::uint8_t>& bytes)
{
    const std::size_t digits = line.size() - 2;
    for (std::size_t i = 2; i + 1 < line.size(); i += 2)
    {
        const int high = HexValue(line[i]);
        const int low = HexValue(line[i + 1]);
        if (high < 0 || low < 0)
            return "a character that is not a hex digit";
        bytes.push_back(static_cast<std::uint8_t>((high << kHexDigitBits) | low));
    }
    if (digits % 2 != 0 || bytes.empty() || bytes[0] + kCountFieldSize != bytes.size() ||
        bytes[0] < type.addressSize + kChecksumSize)
        return "its length does not match its byte count";
    unsigned sum = 0;
    for (std::size_t i = 0; i + kChecksumSize < bytes.size(); ++i)
        sum += bytes[i];
    const auto expected = static_cast<std::uint8_t>(~sum);
    if (expected != bytes.back())
        return "checksum " + Hex(bytes.back()).substr(8) + ", should be " + Hex(expected).substr(8);
    return std::string();
}

// What a checked record means: a data record is kept, a count record checked against the data
// records so far, an end record noted. Returns what is wrong with it, or nothing.
std::string TakeRecord(const RecordType& type, const std::vector<std::uint8_t>& bytes,
                       unsigned lineNumber, std::vector<DataRecord>& records, bool& ended)
{
    std::uint32_t address = 0;
    for (std::size_t i = 0; i < type.addressSize; ++i)
        address = (address << 8) | bytes[kCountFieldSize + i];
    const std::size_t dataStart = kCountFieldSize + type.addressSize;
    switch (type.role)
    {
    case RecordType::Data:
    {
        DataRecord record;
        record.address = address;
        record.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(dataStart),
                           bytes.end() - static_cast<std::ptrdiff_t>(kChecksumSize));
        record.line = lineNumber;
        if (std::uint64_t{address} + record.data.size() > std::uint64_t{1} << 32)
            return "data run past the end of the address space";
        records.push_back(std::move(record));
        break;
    }
    case RecordType::Count:
        if (address != records.size())
            return "count record says " + std::to_string(address) + " data records, the file has " +
                   std::to_string(records.size());
        break;
    case RecordType::End:
        ended = true;
        break;
    default:
        break;
    }
    return std::string();
}
} // namespace

bool ParseSRecords(const std::string& text, std::vector<DataRecord>& records, std::string& error)
{
    records.clear();
    std::istringstream lines(text);
    std::string raw;
    unsigned lineNumber = 0;
    bool ended = false;
    while (std::getline(lines, raw))
    {
        ++lineNumber;
        const std::string line = Trim(raw);
        if (line.empty())
            continue;
        if (ended)
        {
            error = AtLine(lineNumber, "record after the end record");
            return false;
        }
        if (line.size() < 2 || line[0] != 'S')
        {
            error = AtLine(lineNumber, "not an S-record");
            return false;
        }
        const RecordType type = TypeOf(line[1]);
        if (type.role == RecordType::Unknown)
        {
            error = AtLine(lineNumber, std::string("unknown record type S") + line[1]);
            return false;
        }
        std::vector<std::uint8_t> bytes;
        const std::string fault = DecodeRecord(line, type, bytes);
        if (!fault.empty())
        {
            error = AtLine(lineNumber, fault);
            return false;
        }
        const std::string wrong = TakeRecord(type, bytes, lineNumber, records, ended);
        if (!wrong.empty())
        {
            error = AtLine(lineNumber, wrong);
            return false;
        }
    }
    if (!ended)
    {
        error = "no end record (S7, S8 or S9): the file seems cut short";
        return false;
    }
    return true;
}

bool ReadCommandFile(const std::string& text, ReleaseLayout& layout, std::string& error)
{
    std::istringstream lines(text);
    std::string raw;
    unsigned lineNumber = 0;
    while (std::getline(lines, raw))
    {
        ++lineNumber;
        const std::string line = Trim(raw.substr(0, raw.find(';')));
        if (line.empty() || line.compare(0, 2, "::") == 0)
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
        {
            error = AtLine(lineNumber, "expected key = value");
            return false;
        }
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        std::uint64_t number = 0;
        if (key == "kind" && (value == "image" || value == "language-pack"))
        {
            layout.kind = value == "image" ? ReleaseKind::Image : ReleaseKind::LanguagePack;
        }
        else if (key == "base" && ParseNumber(value, number) && number <= 0xFFFFFFFFu)
        {
            layout.base = static_cast<std::uint32_t>(number);
        }
        else if ((key == "min-blocks" || key == "max-blocks") && ParseNumber(value, number) &&
                 number >= 1 && number <= kMaxReleaseBlocks)
        {
            (key == "min-blocks" ? layout.minBlocks : layout.maxBlocks) =
                static_cast<std::uint32_t>(number);
        }
        else
        {
            error = AtLine(lineNumber, "unknown key or bad value: " + line);
            return false;
        }
    }
    return true;
}

bool ParseBlockCount(const std::string& text, std::uint32_t& blocks)
{
    std::uint64_t number = 0;
    if (!ParseNumber(text, number) || number < 1 || number > kMaxReleaseBlocks)
        return false;
    blocks = static_cast<std::uint32_t>(number);
    return true;
}

bool BuildReleaseFile(const std::vector<DataRecord>& records, const ReleaseLayout& layout,
                      std::vector<std::uint8_t>& file, std::string& error)
{
    std::vector<std::uint8_t> data;
    std::vector<bool> written;
    const std::uint64_t limit = std::uint64_t{layout.maxBlocks} * kBlockDataSize;
    for (const DataRecord& record : records)
    {
        if (record.address < layout.base)
        {
            error = AtLine(record.line, "address " + Hex(record.address) +
                                            " lies before the release file's first block at " +
                                            Hex(layout.base));
            return false;
        }
        const std::uint64_t offset = record.address - layout.base;
        const std::uint64_t end = offset + record.data.size();
        if (end > limit)
        {
            error = AtLine(record.line, "address " + Hex(record.address + record.data.size() - 1) +
                                            " lies beyond the largest release file of " +
                                            std::to_string(layout.maxBlocks) + " blocks");
            return false;
        }
        if (end > data.size())
        {
            data.resize(static_cast<std::size_t>(end), kBlankByte);
            written.resize(static_cast<std::size_t>(end), false);
        }
        for (std::size_t i = 0; i < record.data.size(); ++i)
        {
            const auto at = static_cast<std::size_t>(offset) + i;
            if (written[at])
            {
                error = AtLine(record.line, "address " + Hex(layout.base + at) +
                                                " was already given by an earlier record");
                return false;
            }
            written[at] = true;
            data[at] = record.data[i];
        }
    }
    const std::size_t blocks = (data.size() + kBlockDataSize - 1) / kBlockDataSize;
    if (blocks < layout.minBlocks)
    {
        error = "the data fill " + std::to_string(blocks) + " blocks; this kind of release file " +
                "needs at least " + std::to_string(layout.minBlocks);
        return false;
    }
    data.resize(blocks * kBlockDataSize, kBlankByte);

    file.assign(kHeaderTag, kHeaderTag + kReleaseHeaderSize - 1);
    file.push_back(layout.kind == ReleaseKind::Image ? kImageTag : kLanguagePackTag);
    file.insert(file.end(), data.begin(), data.end());
    file.push_back(kBlankByte); // the trailer: (length - 5) / 1024 is then the block count
    return true;
}
} // namespace kit
