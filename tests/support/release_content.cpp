#include "release_content.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr std::size_t kBlockBytes = 1024;
constexpr std::size_t kProductFieldOffset = 0x10024;
constexpr char kRt47Product[] = "RT47-SAMPLE";
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
