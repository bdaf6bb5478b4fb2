#include "files/conversion_command.h"

#include <cctype>
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
    const std::string shortName = FileNameOf(shortPath);
    if (shortName.size() <= kShortExtensionLength)
    {
        return false;
    }
    names.shortBase = WithoutExtension(shortName);
    names.extension = shortName.substr(shortName.size() - kShortExtensionLength);
    for (char& c : names.extension)
    {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    names.longBase = WithoutExtension(FileNameOf(path));
    return true;
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
