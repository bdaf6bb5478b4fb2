#include "download/download_platform_win.h"

#include "framework/scoped_handle.h"
#include "serial/serial_io_win.h"

namespace
{
constexpr BYTE kNoParity = NOPARITY;
constexpr BYTE kDataBits = 8;
constexpr BYTE kOneStopBit = ONESTOPBIT;
} // namespace

bool CWin32DownloadPlatform::PortCanBeOpened(const char* portName)
{
    CScopedHandle port(
        CreateFileA(portName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return port.IsValid();
}

std::unique_ptr<SerialChannel> CWin32DownloadPlatform::OpenChannel(const char* portName,
                                                                   std::uint32_t baudRate,
                                                                   serial::FailureReport& report)
{
    return std::make_unique<CSerialIO>(portName, static_cast<DWORD>(baudRate), kNoParity, kDataBits,
                                       kOneStopBit, m_notifyWnd, report);
}

void CWin32DownloadPlatform::DropQueuedNotifications()
{
    MSG message;
    while (PeekMessageA(&message, m_notifyWnd, WM_SERIAL_DATA, WM_SERIAL_DATA, PM_REMOVE))
    {
    }
}

bool CWin32DownloadPlatform::FileExists(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool CWin32DownloadPlatform::SharedReadLength(const char* path, std::uint64_t& length)
{
    CScopedHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
    {
        return false;
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size))
    {
        return false;
    }
    length = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}
