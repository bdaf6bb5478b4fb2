#include "files/file_class.h"

#include <cctype>
#include <cstring>
#include <string>

namespace
{
constexpr std::size_t kExtensionLength = 3;
constexpr char kReleaseExtension[] = "rel";
constexpr const char* kConvertedExtensions[] = {"lzh", "abs", "mot"};

struct LanguagePackMarker
{
    const char* marker;
    LanguagePackType type;
};

// Searched in this order: the first marker found decides.
constexpr LanguagePackMarker kLanguagePackMarkers[] = {
    {"LPT47X", LanguagePackRt47X},
    {"LPT37", LanguagePackRt37},
    {"LPT47", LanguagePackRt47},
};

// The last three characters in lower case, or an empty text for a shorter path.
std::string LowerExtension(const char* path)
{
    const std::size_t length = std::strlen(path);
    if (length < kExtensionLength)
    {
        return std::string();
    }
    std::string extension(path + length - kExtensionLength);
    for (char& c : extension)
    {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension;
}
} // namespace

LanguagePackType FindLanguagePackType(const char* path)
{
    std::string upper(path);
    for (char& c : upper)
    {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    for (const LanguagePackMarker& entry : kLanguagePackMarkers)
    {
        if (upper.find(entry.marker) != std::string::npos)
        {
            return entry.type;
        }
    }
    return LanguagePackNone;
}

FileTreatment TreatmentOf(const char* path)
{
    const std::string extension = LowerExtension(path);
    if (extension == kReleaseExtension)
    {
        return FileTreatment::Send;
    }
    for (const char* converted : kConvertedExtensions)
    {
        if (extension == converted)
        {
            return FileTreatment::Convert;
        }
    }
    return FileTreatment::Refuse;
}

bool HasReleaseExtension(const char* path)
{
    return TreatmentOf(path) == FileTreatment::Send;
}
