#include "cli/platform.h"

#include "cli/console.h"
#include "runner/exit_codes.h"
#include "cli/interrupt_rules.h"
#include "runner/channel_win.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <io.h>
#include <mutex>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004 // older SDK headers lack it
#endif

namespace
{
constexpr std::size_t kDefaultColumns = 80;

// The one watch of the process: the console's handler runs on a thread of its own and finds it
// here.
std::mutex g_watchLock;
std::function<void()>* g_onInterrupt = nullptr;
std::atomic<bool> g_interrupted{false};
// Set once the program has written everything: a closing console may go then.
std::mutex g_endLock;
std::condition_variable g_ended;
bool g_programEnded = false;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    InterruptSignal signal = InterruptSignal::Interrupt;
    if (event == CTRL_CLOSE_EVENT)
    {
        signal = InterruptSignal::ConsoleClosed;
    }
    else if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
    {
        return FALSE;
    }
    const InterruptAction action = DecideInterrupt(signal, g_interrupted.exchange(true));
    if (action == InterruptAction::ExitNow)
    {
        std::_Exit(kExitInterrupted);
    }
    {
        std::lock_guard<std::mutex> hold(g_watchLock);
        if (g_onInterrupt != nullptr)
        {
            (*g_onInterrupt)();
        }
    }
    if (action == InterruptAction::StopPortsAndWait)
    {
        // Windows ends the process once this returns.
        std::unique_lock<std::mutex> hold(g_endLock);
        g_ended.wait_for(hold, kConsoleCloseWait, []() { return g_programEnded; });
    }
    return TRUE;
}
} // namespace

std::unique_ptr<SerialChannel> OpenSerialChannel(const std::string& port, std::uint32_t baudRate,
                                                 const std::string& debugLogPath,
                                                 serial::ChunkSink& sink,
                                                 serial::FailureReport& report)
{
    return Win32ChannelOpener()(port, baudRate, debugLogPath, sink, report);
}

std::function<bool(const SerialChannel& channel)> SilentReaderEndCheck()
{
    return Win32ReaderEndCheck();
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
    // A closing console's handler lets the process end when told: the summary must be out.
    std::fflush(nullptr);
    {
        std::lock_guard<std::mutex> hold(g_endLock);
        g_programEnded = true;
    }
    g_ended.notify_all();
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    std::lock_guard<std::mutex> hold(g_watchLock);
    g_onInterrupt = nullptr;
}

bool CInterruptWatch::Interrupted() const
{
    return g_interrupted;
}
