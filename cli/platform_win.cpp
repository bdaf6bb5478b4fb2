#include "cli/platform.h"

#include "cli/console.h"
#include "serial/serial_io.h"

#include <windows.h>

#include <atomic>
#include <io.h>
#include <mutex>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004 // older SDK headers lack it
#endif

namespace
{
constexpr std::size_t kDefaultColumns = 80;
constexpr BYTE kDataBits = 8;
const char kDevicePrefix[] = "\\\\.\\";

// The one watch of the process: the console's handler runs on a thread of its own and finds it
// here.
std::mutex g_watchLock;
std::function<void()>* g_onInterrupt = nullptr;
std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
    {
        return FALSE;
    }
    std::lock_guard<std::mutex> hold(g_watchLock);
    g_interrupted = true;
    if (g_onInterrupt != nullptr)
    {
        (*g_onInterrupt)();
    }
    return TRUE;
}
} // namespace

std::unique_ptr<SerialChannel> OpenSerialChannel(const std::string& port, std::uint32_t baudRate,
                                                 serial::ChunkSink& sink,
                                                 serial::FailureReport& report)
{
    // COM10 and up open only by their device path; it serves COM1 to COM9 as well.
    std::string device = port;
    if (port.rfind(kDevicePrefix, 0) != 0 && port.find('\\') == std::string::npos)
    {
        device = kDevicePrefix + port;
    }
    return std::make_unique<CSerialIO>(device.c_str(), static_cast<DWORD>(baudRate), NOPARITY,
                                       kDataBits, ONESTOPBIT, sink, report);
}

std::function<bool(const SerialChannel& channel)> SilentReaderEndCheck()
{
    return [](const SerialChannel& channel)
    {
        const CSerialIO* const win32 = dynamic_cast<const CSerialIO*>(&channel);
        return win32 != nullptr && win32->m_hThread != nullptr &&
               WaitForSingleObject(win32->m_hThread, 0) == WAIT_OBJECT_0;
    };
}

bool IsTerminal(std::FILE* stream, std::size_t& width)
{
    width = kDefaultColumns;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
    {
        return false;
    }
    // Without VT processing (before Windows 10) the status lines cannot be redrawn: plain lines.
    if (!SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING))
    {
        return false;
    }
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (GetConsoleScreenBufferInfo(handle, &info))
    {
        width = static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
    }
    return true;
}

struct CInterruptWatch::State
{
    std::function<void()> onInterrupt;
};

CInterruptWatch::CInterruptWatch(std::function<void()> onInterrupt) : m_state(new State)
{
    m_state->onInterrupt = std::move(onInterrupt);
    {
        std::lock_guard<std::mutex> hold(g_watchLock);
        g_onInterrupt = &m_state->onInterrupt;
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

CInterruptWatch::~CInterruptWatch()
{
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    std::lock_guard<std::mutex> hold(g_watchLock);
    g_onInterrupt = nullptr;
}

bool CInterruptWatch::Interrupted() const
{
    return g_interrupted;
}
