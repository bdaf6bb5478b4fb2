#include "cli/platform.h"

#include "cli/console.h"
#include "runner/exit_codes.h"
#include "cli/interrupt_rules.h"
#include "serial/posix/posix_serial.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <pthread.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace
{
constexpr std::size_t kDefaultColumns = 80;
} // namespace

std::unique_ptr<SerialChannel> OpenSerialChannel(const std::string& port, std::uint32_t baudRate,
                                                 const std::string& debugLogPath,
                                                 serial::ChunkSink& sink,
                                                 serial::FailureReport& report)
{
    return std::make_unique<serial::CPosixSerial>(port, baudRate, sink, report, debugLogPath);
}

std::function<bool(const SerialChannel& channel)> SilentReaderEndCheck()
{
    return nullptr;
}

bool IsTerminal(std::FILE* stream, std::size_t& width)
{
    const int fd = ::fileno(stream);
    width = kDefaultColumns;
    if (fd < 0 || !::isatty(fd))
    {
        return false;
    }
    winsize size = {};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
    {
        width = size.ws_col;
    }
    return true;
}

// The signals are blocked in every thread and taken by one thread with sigwait(), so the
// handling is ordinary code rather than a signal handler. SIGUSR1 from the destructor ends it.
struct CInterruptWatch::State
{
    std::function<void()> onInterrupt;
    sigset_t signals;
    sigset_t previous;
    std::atomic<bool> interrupted{false};
    std::atomic<bool> ending{false};
    std::thread waiter;
};

CInterruptWatch::CInterruptWatch(std::function<void()> onInterrupt) : m_state(new State)
{
    m_state->onInterrupt = std::move(onInterrupt);
    sigemptyset(&m_state->signals);
    sigaddset(&m_state->signals, SIGINT);
    sigaddset(&m_state->signals, SIGTERM);
    sigaddset(&m_state->signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &m_state->signals, &m_state->previous);
    State* state = m_state.get();
    m_state->waiter = std::thread(
        [state]()
        {
            for (;;)
            {
                int signal = 0;
                if (sigwait(&state->signals, &signal) != 0)
                {
                    continue;
                }
                if (state->ending)
                {
                    return;
                }
                if (signal == SIGINT || signal == SIGTERM)
                {
                    if (DecideInterrupt(InterruptSignal::Interrupt,
                                        state->interrupted.exchange(true)) ==
                        InterruptAction::ExitNow)
                    {
                        std::_Exit(kExitInterrupted);
                    }
                    state->onInterrupt();
                }
            }
        });
}

CInterruptWatch::~CInterruptWatch()
{
    m_state->ending = true;
    pthread_kill(m_state->waiter.native_handle(), SIGUSR1);
    m_state->waiter.join();
    pthread_sigmask(SIG_SETMASK, &m_state->previous, nullptr);
}

bool CInterruptWatch::Interrupted() const
{
    return m_state->interrupted;
}
