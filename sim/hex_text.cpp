#include "sim/hex_text.h"

namespace sim
{
namespace
{

constexpr char kHexDigits[] = "0123456789ABCDEF";

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
    {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f')
    {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F')
    {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

std::string ToHex(const std::uint8_t* bytes, std::size_t count)
{
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i)
    {
        text.push_back(kHexDigits[bytes[i] >> 4]);
        text.push_back(kHexDigits[bytes[i] & 0x0F]);
    }
    return text;
}

std::string ToHex(const std::vector<std::uint8_t>& bytes)
{
    return ToHex(bytes.data(), bytes.size());
}

bool ParseHex(std::string_view text, std::vector<std::uint8_t>& bytes)
{
    if (text.size() % 2 != 0)
    {
        return false;
    }
    std::vector<std::uint8_t> parsed;
    parsed.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2)
    {
        const int high = DigitValue(text[i]);
        const int low = DigitValue(text[i + 1]);
        if (high < 0 || low < 0)
        {
            return false;
        }
        parsed.push_back(static_cast<std::uint8_t>((high << 4) | low));
    }
    bytes = std::move(parsed);
    return true;
}

bool ParseUnsigned(std::string_view text, std::uint64_t& value)
{
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    {
        base = 16;
        text.remove_prefix(2);
    }
    // At most 16 digits: no overflow in either base.
    if (text.empty() || text.size() > 16)
    {
        return false;
    }
    std::uint64_t parsed = 0;
    for (char c : text)
    {
        const int digit = DigitValue(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base)
        {
            return false;
        }
        parsed = parsed * base + static_cast<unsigned>(digit);
    }
    value = parsed;
    return true;
}

} // namespace sim
