#include "app/command_line.h"

#include <algorithm>
#include <cctype>

namespace
{
constexpr char kOptionMark = '/';
constexpr std::size_t kOptionLetterIndex = 1;
constexpr std::size_t kPresetNameIndex = 2;
constexpr const char* kLanguagePackMarkers[] = {"lpt47", "lpt47x", "lpt37"};

// The argument as the program keeps it: at most 499 characters.
std::string Clipped(const char* argument)
{
    std::string text(argument);
    if (text.size() > kTextBufferSize - 1)
    {
        text.resize(kTextBufferSize - 1);
    }
    return text;
}

bool NamesFile(const std::string& argument)
{
    return argument.find('\\') != std::string::npos || argument.find('.') != std::string::npos;
}

// "/D" (diagnostics) or "/P<name>" (locked to a preset); false when a preset comes after a start
// mode was already set. Other options are passed over.
bool TakeOption(const std::string& argument, bool singleArgument, CommandLineChoices& choices)
{
    const char letter = argument.size() > kOptionLetterIndex
                            ? static_cast<char>(std::toupper(
                                  static_cast<unsigned char>(argument[kOptionLetterIndex])))
                            : '\0';
    if (letter == 'D')
    {
        choices.diagnostics = true;
        if (singleArgument)
        {
            choices.startMode = StartModeDevelopment;
        }
    }
    else if (letter == 'P')
    {
        if (choices.startMode != StartModeUnset)
        {
            return false;
        }
        choices.startMode = StartModePreset;
        choices.presetChosen = true;
        choices.presetName = argument.substr(kPresetNameIndex);
    }
    return true;
}

// A file for the image or, by its name, the language pack; false after a preset. Arguments
// that name no file are passed over.
bool TakeFile(const std::string& argument, CommandLineChoices& choices)
{
    if (choices.startMode == StartModePreset)
    {
        return false;
    }
    if (!NamesFile(argument))
    {
        return true;
    }
    (NamesLanguagePack(argument) ? choices.lpPath : choices.imagePath) = argument;
    choices.presetName = kDevelopmentPreset;
    choices.startMode = StartModeDevelopment;
    choices.fileFromCommandLine = true;
    return true;
}
} // namespace

bool NamesLanguagePack(const std::string& path)
{
    std::string lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* marker : kLanguagePackMarkers)
    {
        if (lower.find(marker) != std::string::npos)
        {
            return true;
        }
    }
    return false;
}

CommandLineChoices ParseCommandLine(int argc, const char* const* argv)
{
    CommandLineChoices choices;
    if (argc <= 1)
    {
        choices.startMode = StartModeDevelopment;
        return choices;
    }

    const bool singleArgument = (argc == 2);
    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = Clipped(argv[i]);
        const bool taken = argument.find(kOptionMark) != std::string::npos
                               ? TakeOption(argument, singleArgument, choices)
                               : TakeFile(argument, choices);
        if (!taken)
        {
            choices.invalid = true;
            return choices;
        }
    }
    return choices;
}
