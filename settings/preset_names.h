// Preset names: the reserved default preset, and which names the registry can hold as a key.
#pragma once

#include <cstddef>

// The preset used when no other is chosen; it cannot be deleted.
constexpr char kDevelopmentPreset[] = "Development";

// Why a name typed for a new preset cannot be stored, or nullptr when it can. `length` is the
// full length typed, which may be more than `name` holds. The empty name is left to the caller.
const char* PresetNameProblem(const char* name, std::size_t length);

// The reserved preset, case counting.
bool IsReservedPreset(const char* name);
