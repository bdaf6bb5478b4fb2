// The preset store of the prefix's registry as the tests see it: written and read straight
// through the registry API, not through the program's own store.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace preset_store
{
using Values = std::vector<std::pair<std::string, std::string>>;

// Removes every preset and the keys above them down from "Quorvatek".
void Clear();
// Writes the values (REG_SZ) into the preset's key, making it first.
void Write(const std::string& preset, const Values& values);
// A value of a preset, or nothing when the preset or the value is missing.
std::optional<std::string> Read(const std::string& preset, const std::string& name);
bool Exists(const std::string& preset);
// Names of all value of a preset.
std::vector<std::string> ValueNames(const std::string& preset);

// A "Development" preset that starts the window as it starts without any preset: no section,
// the first model, COM1, 115200, no files, folders "C:\".
Values IdleDevelopment();
// Clear, then IdleDevelopment as the only preset.
void SeedIdleDevelopment();
} // namespace preset_store
