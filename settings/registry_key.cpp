#include "settings/registry_key.h"

#include <cstring>
#include <vector>

LONG CRegistryKey::Open(HKEY parent, const char* name)
{
    Close();
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
    if (result == ERROR_SUCCESS)
    {
        m_key = key;
    }
    return result;
}

LONG CRegistryKey::OpenForReading(HKEY parent, const char* name)
{
    Close();
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(parent, name, 0, KEY_READ, &key);
    if (result == ERROR_SUCCESS)
    {
        m_key = key;
    }
    return result;
}

LONG CRegistryKey::Create(HKEY parent, const char* name)
{
    Close();
    HKEY key = nullptr;
    char noClass[] = "";
    const LONG result = RegCreateKeyExA(parent, name, 0, noClass, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS)
    {
        m_key = key;
    }
    return result;
}

LONG CRegistryKey::Close()
{
    if (m_key == nullptr)
    {
        return ERROR_SUCCESS;
    }
    const LONG result = RegCloseKey(m_key);
    m_key = nullptr;
    return result;
}

LONG CRegistryKey::QueryValue(const char* name, std::string& data) const
{
    DWORD size = 0;
    LONG result = RegQueryValueExA(m_key, name, nullptr, nullptr, nullptr, &size);
    if (result != ERROR_SUCCESS)
    {
        return result;
    }
    // The value may grow between the two calls; ask again with the new size until it fits.
    std::vector<BYTE> bytes;
    do
    {
        bytes.resize(size);
        result = RegQueryValueExA(m_key, name, nullptr, nullptr, bytes.data(), &size);
    } while (result == ERROR_MORE_DATA);
    if (result != ERROR_SUCCESS)
    {
        return result;
    }
    data.assign(reinterpret_cast<const char*>(bytes.data()), size);
    return ERROR_SUCCESS;
}

LONG CRegistryKey::SetString(const char* name, const char* text) const
{
    return RegSetValueExA(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1));
}

LONG CRegistryKey::EnumKey(DWORD index, std::string& name, DWORD size) const
{
    std::vector<char> buffer(size, '\0');
    DWORD length = size;
    const LONG result =
        RegEnumKeyExA(m_key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS)
    {
        name.assign(buffer.data(), length);
    }
    return result;
}

LONG CRegistryKey::DeleteSubKey(const char* name) const
{
    return RegDeleteKeyA(m_key, name);
}
