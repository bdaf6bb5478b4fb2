// Owner of an open registry key: closed when its owner goes. Every call returns the registry's own
// result code, ERROR_SUCCESS when it worked, for the caller to look at.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

class CRegistryKey
{
public:
    CRegistryKey() = default;
    ~CRegistryKey() { Close(); }
    CRegistryKey(CRegistryKey&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
    CRegistryKey& operator=(CRegistryKey&& other) noexcept
    {
        if (this != &other)
        {
            Close();
            m_key = std::exchange(other.m_key, nullptr);
        }
        return *this;
    }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    HKEY Get() const { return m_key; }
    bool IsOpen() const { return m_key != nullptr; }

    // RegOpenKeyExA with KEY_ALL_ACCESS
    LONG Open(HKEY parent, const char* name);
    // RegOpenKeyExA with KEY_READ: for keys a user may read but not change (under HKLM)
    LONG OpenForReading(HKEY parent, const char* name);
    // RegCreateKeyExA with KEY_ALL_ACCESS: opens the key, making it first if it is missing
    LONG Create(HKEY parent, const char* name);
    // RegCloseKey; returns ERROR_SUCCESS for a key that was not open
    LONG Close();

    // RegQueryValueExA: the value's bytes as stored, whatever its type
    LONG QueryValue(const char* name, std::string& data) const;
    // RegSetValueExA as REG_SZ, its terminating zero counted in its size
    LONG SetString(const char* name, const char* text) const;
    // RegEnumKeyExA of subkey `index` into a name of at most `size` - 1 characters
    LONG EnumKey(DWORD index, std::string& name, DWORD size) const;
    // RegDeleteKeyA of a subkey without subkeys of its own
    LONG DeleteSubKey(const char* name) const;

private:
    HKEY m_key = nullptr;
};
