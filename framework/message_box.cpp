#include "framework/message_box.h"

#include <string>

namespace
{
std::string NameOfProgramFile()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, length < MAX_PATH ? length : MAX_PATH);
    const std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
    {
        name.erase(0, slash + 1);
    }
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
    {
        name.erase(dot);
    }
    return name;
}
} // namespace

const char* ApplicationName()
{
    static const std::string name = NameOfProgramFile();
    return name.c_str();
}

int AppMessageBox(HWND owner, const char* text, UINT type, const char* caption)
{
    return MessageBoxA(owner, text, caption != nullptr ? caption : ApplicationName(), type);
}
