#include "files/conversion_command.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace
{
constexpr std::size_t kShortExtensionLength = 4; // the dot and three characters

struct LanguagePackArguments
{
    LanguagePackType type;
    const char* commandFile;
    const char* number;
};

constexpr LanguagePackArguments kLanguagePackArguments[] = {
    {LanguagePackRt47X, "RT47X_LP.CMD", "2048"},
    {LanguagePackRt37, "RT37_LP.CMD", "576"},
    {LanguagePackRt47, "RT47_LP.CMD", "448"},
};

constexpr char kInertPunctuation[] = "\\:._-~$#@'{}`";

// A generated base name: two letters and six hexadecimal digits, as long as an 8.3 base name.
constexpr char kGeneratedBasePrefix[] = "TV";
constexpr std::size_t kGeneratedBaseLength = 8;
constexpr std::uint32_t kGeneratedHashMask = 0xFFFFFF;
constexpr std::uint32_t kFnvOffsetBasis = 2166136261u;
constexpr std::uint32_t kFnvPrime = 16777619u;

std::string WithoutExtension(const std::string& name)
{
    return name.size() > kShortExtensionLength ? name.substr(0, name.size() - kShortExtensionLength)
                                               : std::string();
}
} // namespace

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool DeriveSourceNames(const std::string& path, const std::string& shortPath, SourceNames& names)
{
    names = SourceNames{};
    const std::string shortName = FileNameOf(shortPath);
    names.longBase = WithoutExtension(FileNameOf(path));
    if (shortName.size() < kShortExtensionLength)
    {
        return false;
    }
    names.shortBase = WithoutExtension(shortName);
    names.extension = shortName.substr(shortName.size() - kShortExtensionLength);
    for (char& c : names.extension)
    {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return !names.shortBase.empty();
}

ConversionNameFault PlanSourceNames(const std::string& path, const std::string& shortPath,
                                    const std::string& tempDir, SourceNames& names)
{
    if (!IsInertForInterpreter(tempDir))
    {
        return ConversionNameFault::TempFolder;
    }
    const bool derived = DeriveSourceNames(path, shortPath, names);
    if (names.extension.size() != kShortExtensionLength || !IsInertForInterpreter(names.extension))
    {
        return ConversionNameFault::FileName;
    }
    if (!derived || !IsInertForInterpreter(names.shortBase))
    {
        names.shortBase = GeneratedBaseName(path);
    }
    return ConversionNameFault::None;
}

std::string GeneratedBaseName(const std::string& path)
{
    // FNV-1a over the path, case folded as the file system folds it.
    std::uint32_t hash = kFnvOffsetBasis;
    for (const char c : path)
    {
        hash ^= static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c)));
        hash *= kFnvPrime;
    }
    char name[kGeneratedBaseLength + 1] = {};
    std::snprintf(name, sizeof name, "%s%06X", kGeneratedBasePrefix,
                  static_cast<unsigned>(hash & kGeneratedHashMask));
    return name;
}

std::string ChosenBaseName(const std::string& chosenPath)
{
    const std::string name = FileNameOf(chosenPath);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ConversionCommandLine(const std::string& tempDir, const SourceNames& names,
                                  bool isImage, LanguagePackType type)
{
    std::string line = std::string(kConversionBatchFile) + ' ' + tempDir + ' ' + names.shortBase +
                       ' ' + names.extension + ' ' + tempDir + ' ' + names.shortBase + ' ' +
                       kConversionModelArgument + ' ';
    if (isImage)
    {
        return line + kImageCommandFile;
    }
    for (const LanguagePackArguments& entry : kLanguagePackArguments)
    {
        if (entry.type == type)
        {
            return line + entry.commandFile + ' ' + entry.number;
        }
    }
    return line; // no language-pack type: CheckDownloadFile refuses such a file before this
}

bool CommandLineFits(const std::string& commandLine)
{
    return commandLine.size() <= kMaxConversionCommandLine;
}

bool IsInertForInterpreter(const std::string& text)
{
    for (const char c : text)
    {
        const auto byte = static_cast<unsigned char>(c);
        const bool inert = std::isalnum(byte) != 0 || byte > 127 ||
                           (c != '\0' && std::strchr(kInertPunctuation, c) != nullptr);
        if (!inert)
        {
            return false;
        }
    }
    return true;
}
