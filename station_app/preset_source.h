// The stored presets as the station reads them: never written.
#pragma once

#include "station/preset_job.h"

// Looks the values of preset `name` up in the main window's store (HKCU).
PresetLookup StoredPreset(const std::string& name);
