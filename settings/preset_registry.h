// The registry store of the presets under HKEY_CURRENT_USER. An object is bound to one preset for
// the length of one operation: it lists all presets when made, and reads and writes the values of
// its own preset. Its message boxes have no owner window.
#pragma once

#include "settings/registry_encoding.h"

#include <windows.h>

#include <cstddef>
#include <exception>
#include <functional>
#include <string>
#include <vector>

constexpr char kOptionsKeyPath[] = "Software\\Quorvatek\\Tervolo\\1.0\\Options";

// RegEnumKeyExA of one subkey index: the registry's result, and the name on success.
using SubkeyEnumerator = std::function<LONG(DWORD index, std::string& name)>;

// The names an enumeration gives, in its order. It ends at "no more items" and at any other
// error (a key deleted meanwhile fails at every index); "more data", a name too long for the
// store, only skips that name.
std::vector<std::string> CollectSubkeyNames(const SubkeyEnumerator& enumerate);

// The presets could not be listed for want of memory. The store only says so; the program
// decides what follows.
class PresetListFailure : public std::exception
{
public:
    const char* what() const noexcept override;
};

class CPresetRegistry
{
public:
    // Copies the name (cut to what the store holds) and lists the presets: without an "Options"
    // key the list is empty. Out of memory throws PresetListFailure.
    explicit CPresetRegistry(const char* presetName);
    CPresetRegistry(const CPresetRegistry&) = delete;
    CPresetRegistry& operator=(const CPresetRegistry&) = delete;

    // The names of all presets, in the order the registry enumerates them.
    const std::vector<std::string>& Presets() const { return m_presets; }

    // Reads value `name` of the bound preset into `buffer` of `size` bytes; `size` comes back as
    // the stored size. true when the preset's key and the value were there and the value fit. A
    // value that does not fit is cut to a zero-terminated text of size - 1 characters and its
    // stored size comes back larger than the room; a missing one leaves buffer and size alone.
    bool ReadValue(const char* name, DWORD& size, char* buffer) const;
    // Writes `text` as REG_SZ value `name` of the bound preset, making every missing key on the
    // way. Failures are shown to the user; the caller goes on.
    void WriteValue(const char* name, const char* text) const;

    // A text with its "%04d" length value, read length first. false when either is missing or
    // the text does not fit `size`; the buffer is then left as it was.
    bool ReadTextWithLength(const char* name, char* buffer, std::size_t size) const;
    // Writes the length value, then the text.
    void WriteTextWithLength(const char* name, const char* text) const;

    // Deletes subkey `name` of the "Options" key. Returns the error of opening "Options", or 0
    // when it could be opened, whether or not the preset was there.
    LONG DeletePreset(const char* name) const;

private:
    void ListPresets();

    char m_presetName[kRegistryTextSize] = {};
    std::vector<std::string> m_presets;
};
