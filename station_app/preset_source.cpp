#include "station_app/preset_source.h"

#include "settings/preset_registry.h"

#include <memory>

PresetLookup StoredPreset(const std::string& name)
{
    const std::shared_ptr<const CPresetRegistry> registry =
        std::make_shared<const CPresetRegistry>(name.c_str());
    return [registry](const char* value, bool withLength) -> std::optional<std::string>
    {
        char text[kRegistryTextSize] = {};
        if (withLength)
        {
            if (!registry->ReadTextWithLength(value, text, sizeof text))
            {
                return std::nullopt;
            }
            return std::string(text);
        }
        DWORD size = static_cast<DWORD>(sizeof text);
        // A value cut to the room still counts by what was kept, as the main window reads it.
        if (!registry->ReadValue(value, size, text) && !(size > sizeof text && text[0] != '\0'))
        {
            return std::nullopt;
        }
        return std::string(text);
    };
}
