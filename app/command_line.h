// The command line: /P<preset> runs a preset locked, /D turns diagnostics on, and arguments
// with a backslash or a full stop name the files to download. Options and files are told apart
// by the slash alone.
#pragma once

#include "app/start_mode.h"
#include "base/text_buffer.h"
#include "settings/preset_names.h"

#include <cstddef>
#include <string>

struct CommandLineChoices
{
    StartMode startMode = StartModeUnset;
    bool diagnostics = false;
    bool fileFromCommandLine = false;
    // A /P was accepted: the window shows the preset in its caption and loses its menu bar.
    bool presetChosen = false;
    // "Invalid arguments!": /P after a preset or a file, or a file after /P. The arguments after
    // the offending one are not read.
    bool invalid = false;
    std::string presetName = kDevelopmentPreset;
    std::string imagePath; // empty unless an image file was named
    std::string lpPath;    // empty unless a language-pack file was named
};

// Reads the arguments after the program's own name (argv[0]), in order.
CommandLineChoices ParseCommandLine(int argc, const char* const* argv);

// Whether a file named on the command line is a language pack: its path, lower-cased, holds
// "lpt47", "lpt47x" or "lpt37".
bool NamesLanguagePack(const std::string& path);
