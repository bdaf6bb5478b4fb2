#include "settings/preset_registry.h"

#include "framework/message_box.h"
#include "settings/registry_key.h"

#include <cstring>
#include <new>

namespace
{
// The keys from "Software" down to "Options"; "Software" itself must exist.
constexpr const char* kKeyChain[] = {"Quorvatek", "Tervolo", "1.0", "Options"};
constexpr char kSoftwareKey[] = "Software";

constexpr char kKeyErrorText[] = "Error creating key to Registry!";
constexpr char kKeyErrorCaption[] = "RuzUror";
constexpr char kValueErrorCaption[] = "Error writing to Registry!";
constexpr char kOutOfMemoryText[] = "Out of memory while listing the presets!";

std::string PresetKeyPath(const char* presetName)
{
    return std::string(kOptionsKeyPath) + "\\" + presetName;
}
} // namespace

CPresetRegistry::CPresetRegistry(const char* presetName)
{
    CopyCut(m_presetName, sizeof m_presetName, presetName, std::strlen(presetName));
    try
    {
        ListPresets();
    }
    catch (const std::bad_alloc&)
    {
        throw PresetListFailure();
    }
}

const char* PresetListFailure::what() const noexcept
{
    return kOutOfMemoryText;
}

void CPresetRegistry::ListPresets()
{
    CRegistryKey options;
    if (options.Open(HKEY_CURRENT_USER, kOptionsKeyPath) != ERROR_SUCCESS)
    {
        return;
    }
    m_presets = CollectSubkeyNames(
        [&options](DWORD index, std::string& name)
        { return options.EnumKey(index, name, static_cast<DWORD>(kRegistryTextSize)); });
}

std::vector<std::string> CollectSubkeyNames(const SubkeyEnumerator& enumerate)
{
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index)
    {
        std::string name;
        const LONG result = enumerate(index, name);
        if (result == ERROR_SUCCESS)
        {
            names.push_back(name);
        }
        else if (result != ERROR_MORE_DATA)
        {
            return names;
        }
    }
}

bool CPresetRegistry::ReadValue(const char* name, DWORD& size, char* buffer) const
{
    CRegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, PresetKeyPath(m_presetName).c_str()) != ERROR_SUCCESS)
    {
        return false;
    }
    std::string data;
    if (key.QueryValue(name, data) != ERROR_SUCCESS)
    {
        return false;
    }
    const bool fits = CopyCut(buffer, size, data.data(), data.size());
    size = static_cast<DWORD>(data.size());
    return fits;
}

void CPresetRegistry::WriteValue(const char* name, const char* text) const
{
    CRegistryKey parent;
    bool made = parent.Open(HKEY_CURRENT_USER, kSoftwareKey) == ERROR_SUCCESS;
    for (const char* child : kKeyChain)
    {
        CRegistryKey next;
        made = made && next.Create(parent.Get(), child) == ERROR_SUCCESS;
        parent = std::move(next);
    }
    CRegistryKey preset;
    made = made && preset.Create(parent.Get(), m_presetName) == ERROR_SUCCESS;
    parent.Close();
    if (!made)
    {
        AppMessageBox(nullptr, kKeyErrorText, MB_OK, kKeyErrorCaption);
        return;
    }
    if (preset.SetString(name, text) != ERROR_SUCCESS)
    {
        AppMessageBox(nullptr, name, MB_OK, kValueErrorCaption);
    }
}

bool CPresetRegistry::ReadTextWithLength(const char* name, char* buffer, std::size_t size) const
{
    char lengthText[kLengthTextSize] = {};
    DWORD lengthSize = static_cast<DWORD>(sizeof lengthText);
    std::size_t length = 0;
    if (!ReadValue(LengthValueName(name).c_str(), lengthSize, lengthText) ||
        !LengthFromText(lengthText, length))
    {
        return false;
    }
    // Read into a buffer of our own, so that a text that does not fit leaves the caller's as is.
    char text[kRegistryTextSize] = {};
    DWORD textSize =
        static_cast<DWORD>(TextReadSize(length, size < sizeof text ? size : sizeof text));
    if (!ReadValue(name, textSize, text))
    {
        return false;
    }
    return CopyCut(buffer, size, text, std::strlen(text));
}

void CPresetRegistry::WriteTextWithLength(const char* name, const char* text) const
{
    WriteValue(LengthValueName(name).c_str(), LengthText(std::strlen(text)).c_str());
    WriteValue(name, text);
}

LONG CPresetRegistry::DeletePreset(const char* name) const
{
    CRegistryKey options;
    const LONG result = options.Open(HKEY_CURRENT_USER, kOptionsKeyPath);
    if (result != ERROR_SUCCESS)
    {
        return result;
    }
    options.DeleteSubKey(name); // whether it was there is not the caller's concern
    return ERROR_SUCCESS;
}
