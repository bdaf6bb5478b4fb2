// A station's job from a preset the main window stored, plus the ports it runs on. The preset is
// only read: its values come in through a lookup, so the rules here need no registry.
#pragma once

#include "runner/job_file.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// A value of the preset by its name: its text, or nothing when the preset lacks it. withLength:
// the text is kept with a length value beside it (the file names), read as the store reads it.
using PresetLookup = std::function<std::optional<std::string>(const char* name, bool withLength)>;

// The preset's model, sections, baud rate and current image and language-pack files, as the
// main window would load them, on `ports` (one to eight), in station mode. False with `error`
// saying what the preset lacks or what a station does not take.
bool JobFromPreset(const std::string& preset, const PresetLookup& lookup,
                   const std::vector<std::string>& ports, JobFile& job, std::string& error);

// "/PLine 1 COM3 COM23": the preset named after "/P" and the ports after it; false when the
// arguments do not start with "/P" and a name.
bool ParsePresetArguments(const std::vector<std::string>& arguments, std::string& preset,
                          std::vector<std::string>& ports);
