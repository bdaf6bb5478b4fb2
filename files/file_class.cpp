#include "files/file_class.h"

#include <cctype>
#include <cstring>

namespace
{
constexpr char kReleaseExtension[] = "rel";
constexpr std::size_t kExtensionLength = sizeof kReleaseExtension - 1;
} // namespace

bool HasReleaseExtension(const char* path)
{
    const std::size_t length = std::strlen(path);
    if (length < kExtensionLength)
    {
        return false;
    }
    const char* tail = path + length - kExtensionLength;
    for (std::size_t i = 0; i < kExtensionLength; ++i)
    {
        const int lower = std::tolower(static_cast<unsigned char>(tail[i]));
        if (lower != kReleaseExtension[i])
        {
            return false;
        }
    }
    return true;
}
