#include "runner/journal_file.h"

#include <windows.h>

#include <cstdio>

CAppendFile::~CAppendFile()
{
    if (m_file != kNoFile)
    {
        CloseHandle(reinterpret_cast<HANDLE>(m_file));
    }
}

bool CAppendFile::Open(const std::string& path, std::string& error)
{
    // FILE_APPEND_DATA without FILE_WRITE_DATA: the system puts every write at the end of the
    // file, as one piece. Other programs may read, append and rotate the file meanwhile.
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        char text[64];
        std::snprintf(text, sizeof text, "Windows error %lu", GetLastError());
        error = text;
        return false;
    }
    m_file = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool CAppendFile::Append(const std::string& text)
{
    DWORD written = 0;
    const BOOL ok = WriteFile(reinterpret_cast<HANDLE>(m_file), text.data(),
                              static_cast<DWORD>(text.size()), &written, nullptr);
    return ok && written == text.size();
}

std::string HostName()
{
    char name[256] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameExA(ComputerNameDnsHostname, name, &size))
    {
        return std::string();
    }
    return std::string(name, size);
}
