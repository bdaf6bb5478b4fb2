#include "preset_store.h"

#include <windows.h>

namespace preset_store
{
namespace
{
constexpr char kOptions[] = "Software\\Quorvatek\\Tervolo\\1.0\\Options";
constexpr char kVendorParent[] = "Software";
constexpr char kVendor[] = "Quorvatek";

void DeleteTree(HKEY parent, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    {
        return;
    }
    char child[512];
    DWORD size = sizeof child;
    while (RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
    {
        DeleteTree(key, child);
        size = sizeof child;
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name);
}

std::string KeyOf(const std::string& preset)
{
    return std::string(kOptions) + "\\" + preset;
}
} // namespace

void Clear()
{
    HKEY software = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kVendorParent, 0, KEY_ALL_ACCESS, &software) ==
        ERROR_SUCCESS)
    {
        DeleteTree(software, kVendor);
        RegCloseKey(software);
    }
}

void Write(const std::string& preset, const Values& values)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyOf(preset).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
    {
        return;
    }
    for (const auto& [name, text] : values)
    {
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    }
    RegCloseKey(key);
}

std::optional<std::string> Read(const std::string& preset, const std::string& name)
{
    char text[2048] = {};
    DWORD size = sizeof text - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, KeyOf(preset).c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                     text, &size) != ERROR_SUCCESS)
    {
        return std::nullopt;
    }
    return std::string(text);
}

bool Exists(const std::string& preset)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyOf(preset).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::vector<std::string> ValueNames(const std::string& preset)
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyOf(preset).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    {
        return names;
    }
    char name[512];
    DWORD size = sizeof name;
    for (DWORD i = 0;
         RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, size = sizeof name)
    {
        names.emplace_back(name);
    }
    RegCloseKey(key);
    return names;
}

Values IdleDevelopment()
{
    Values values = {
        {"GangMode", "0"},         {"BootCodeDownload", "0"},
        {"MainCodeDownload", "0"}, {"LanguagePackDownload", "0"},
        {"MobileModel", "RT50"},   {"ComPort", "0"},
        {"BaudRate", "0"},
    };
    for (const char* prefix : {"Image", "LP"})
    {
        values.emplace_back(std::string(prefix) + "NoOfRecentFiles", "0000");
        values.emplace_back(std::string(prefix) + "FilenameLength", "0000");
        values.emplace_back(std::string(prefix) + "Filename", "");
    }
    for (const char* folder : {"ImageAbsBrowseDirectory", "ImageRelBrowseDirectory",
                               "LPAbsBrowseDirectory", "LPRelBrowseDirectory"})
    {
        values.emplace_back(std::string(folder) + "Length", "0003");
        values.emplace_back(folder, "C:\\");
    }
    return values;
}

void SeedIdleDevelopment()
{
    Clear();
    Write("Development", IdleDevelopment());
}
} // namespace preset_store
