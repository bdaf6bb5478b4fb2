#include "settings/registry_encoding.h"

#include <cstdio>
#include <cstring>

const char* FlagText(bool on)
{
    return on ? "1" : "0";
}

bool FlagFromText(const char* text)
{
    return text[0] == '1';
}

std::string IndexText(int index)
{
    char text[16] = {};
    std::snprintf(text, sizeof text, "%d", index);
    return text;
}

int IndexFromText(const char* text)
{
    return text[0] - '0';
}

int SelectableIndex(int index, int count)
{
    return index >= 0 && index < count ? index : -1;
}

std::string LengthText(std::size_t length)
{
    char text[24] = {};
    std::snprintf(text, sizeof text, "%04u", static_cast<unsigned>(length));
    return text;
}

bool LengthFromText(const char* text, std::size_t& length)
{
    if (text[0] < '0' || text[0] > '9')
    {
        return false;
    }
    std::size_t value = 0;
    // A stored length has four digits; more would only overflow into a nonsense size.
    for (const char* c = text; *c >= '0' && *c <= '9' && value < kRegistryTextSize; ++c)
    {
        value = value * 10 + static_cast<std::size_t>(*c - '0');
    }
    length = value;
    return true;
}

std::string LengthValueName(const char* name)
{
    return std::string(name) + kLengthSuffix;
}

bool CopyCut(char* buffer, std::size_t size, const char* source, std::size_t length)
{
    if (size == 0)
    {
        return false;
    }
    const void* end = std::memchr(source, '\0', length);
    const std::size_t textLength =
        end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - source) : length;
    const bool fits = textLength < size;
    const std::size_t copied = fits ? textLength : size - 1;
    std::memcpy(buffer, source, copied);
    buffer[copied] = '\0';
    return fits;
}

std::size_t TextReadSize(std::size_t storedLength, std::size_t bufferSize)
{
    return storedLength + 1 < bufferSize ? storedLength + 1 : bufferSize;
}
