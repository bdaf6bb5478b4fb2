#include "settings/preset_names.h"

#include "settings/registry_encoding.h"

#include <cstring>

const char* PresetNameProblem(const char* name, std::size_t length)
{
    if (length > kMaxKeyNameLength)
    {
        return "A preset name can have at most 255 characters.";
    }
    if (std::strchr(name, '\\') != nullptr)
    {
        return "A preset name cannot contain a backslash (\\).";
    }
    return nullptr;
}

bool IsReservedPreset(const char* name)
{
    return std::strcmp(name, kDevelopmentPreset) == 0;
}
