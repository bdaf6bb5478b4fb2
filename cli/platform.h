// What the console program needs from the system, with one implementation for POSIX systems and
// one for Windows: the serial channel, the interrupt, the terminal.
#pragma once

#include "serial/serial_channel.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The platform's channel on `port` at `baudRate`, 8N1, writing its debug log to `debugLogPath`
// (empty: the channel's own choice).
std::unique_ptr<SerialChannel> OpenSerialChannel(const std::string& port, std::uint32_t baudRate,
                                                 const std::string& debugLogPath,
                                                 serial::ChunkSink& sink,
                                                 serial::FailureReport& report);

// A check whether a channel's reader has ended by itself, without telling its failure report
// (the Win32 reader does so when its waits keep failing, as they do under Wine while a pty is
// silent). Empty for the POSIX channel, whose reader always reports.
std::function<bool(const SerialChannel& channel)> SilentReaderEndCheck();

// While it lives, Ctrl-C (and on POSIX SIGTERM; on Windows closing the console) calls
// `onInterrupt` on a thread of its own instead of ending the program, as DecideInterrupt says; a
// second Ctrl-C ends the program at once. Construct it before any other thread starts, destroy it
// once everything is written: a closing console waits for that.
class CInterruptWatch
{
public:
    explicit CInterruptWatch(std::function<void()> onInterrupt);
    ~CInterruptWatch();
    CInterruptWatch(const CInterruptWatch&) = delete;
    CInterruptWatch& operator=(const CInterruptWatch&) = delete;
    bool Interrupted() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
