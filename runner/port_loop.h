// The event loop of one port's thread: the queue that the channel's reader and a stopping thread
// fill, the download's timers, the watchdog on the handset's silence, and the channel itself.
// What it hears it hands to its handler, on the port's thread.
#pragma once

#include "protocol/download_engine.h"
#include "serial/receive_buffer.h"
#include "serial/serial_channel.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// Opens a channel on a port at a rate, with its debug log at `debugLogPath` (empty: the
// channel's own choice): the POSIX or the Win32 one.
using ChannelOpener = std::function<std::unique_ptr<SerialChannel>(
    const std::string& port, std::uint32_t baudRate, const std::string& debugLogPath,
    serial::ChunkSink& sink, serial::FailureReport& report)>;

// Whether a channel's reader has ended without a word (see ReaderEndedOnItsOwn).
using ReaderCheck = std::function<bool(const SerialChannel& channel)>;

// What the loop hands on, on the port's thread.
class PortLoopHandler
{
public:
    // A chunk of the channel, where the reader stored it in its receive buffer.
    virtual void OnBytes(const ReceivedBytes& received) = 0;
    virtual void OnTimerTick(unsigned timerId) = 0;
    // The channel's reader or the queue lost what the download needs; `reason` ends it.
    virtual void OnChannelLost(const std::string& reason) = 0;
    // The channel's failure as it opened.
    virtual void OnOpenFailure(const std::string& text) = 0;
    // The handset has said nothing for the time allowed.
    virtual void OnSilence() = 0;
    // The channel's reader ended by itself, without a word.
    virtual void OnReaderEnded() = 0;
    // While true the watchdog waits (a station waiting for its next handset).
    virtual bool AwaitingHandset() const = 0;

protected:
    ~PortLoopHandler() = default;
};

class CPortLoop
{
public:
    using Clock = std::chrono::steady_clock;

    // timeoutSeconds: the handset's silence that ends a download (0: none).
    CPortLoop(std::string port, std::string debugLogPath, ChannelOpener opener,
              ReaderCheck readerCheck, double timeoutSeconds, PortLoopHandler& handler);
    ~CPortLoop();
    CPortLoop(const CPortLoop&) = delete;
    CPortLoop& operator=(const CPortLoop&) = delete;

    // Any thread: the running download stops and no more is served.
    void RequestStop();
    bool StopRequested() const { return m_stopRequested.load(); }
    // Waits up to `span`, less when a stop is requested.
    void WaitForStop(Clock::duration span);

    // The port's thread from here on.
    // A download starts: the loop runs, and the handset's silence is timed from now.
    void Begin();
    // Runs until the download ends; true when a stop request ended the loop (the download still
    // runs then).
    bool Run();
    // The download ends: the channel is closed and every timer stopped.
    void End();
    bool Running() const { return m_running; }

    // A new channel at `baudRate`; false when it did not open. `freshBuffer` false keeps the
    // engine's view of the receive buffer going on where the previous channel left it.
    bool OpenChannel(std::uint32_t baudRate, bool freshBuffer = true);
    std::uint32_t BaudRate() const { return m_baudRate; }
    // Whether a write goes to the handset: a channel is there and no stop was requested.
    bool Writable() const { return m_channel != nullptr && !StopRequested(); }
    // A write, counted as activity by the watchdog; 0 when not writable.
    std::size_t Write(const std::uint8_t* bytes, std::size_t count);
    // The signal, repeated until the handset answers: not counted as activity.
    void WriteSignal(const std::uint8_t* bytes, std::size_t count);
    void Purge();

    void StartTimer(unsigned id, unsigned periodMs);
    void StopTimer(unsigned id);

private:
    struct Event
    {
        enum class Kind
        {
            Chunk,
            PortLost,
        };
        Kind kind = Kind::Chunk;
        unsigned epoch = 0; // the channel it came from
        std::size_t count = 0;
        std::uint8_t bytes[serial::kMaxReadBytes] = {};
    };

    // The sink and failure report of one channel: chunks are copied into the port's queue on
    // the reader's thread, tagged with the channel they came from.
    class ChannelLink : public serial::ChunkSink, public serial::FailureReport
    {
    public:
        ChannelLink(CPortLoop& loop, unsigned epoch) : m_loop(loop), m_epoch(epoch) {}
        void OnChunk(std::size_t count, const std::uint8_t* chunk) override;
        void ReportFailure(const char* text, const char* caption) override;

    private:
        CPortLoop& m_loop;
        unsigned m_epoch;
    };

    struct Timer
    {
        bool active = false;
        unsigned periodMs = 0;
        Clock::time_point due;
    };

    void Push(const Event& event);
    void EventLost();
    // Waits for the next event until `deadline`; false on the deadline or a stop request.
    bool Wait(Event& event, Clock::time_point deadline);
    void Dispatch(const Event& event);
    Clock::time_point NextDeadline() const;
    void FireDueTimers();
    bool WatchdogArmed() const;
    void CheckWatchdog();
    void CheckReader();
    void CloseChannel();

    const std::string m_port;
    const std::string m_debugLogPath;
    const ChannelOpener m_opener;
    const ReaderCheck m_readerCheck;
    const double m_timeoutSeconds;
    PortLoopHandler& m_handler;

    // Shared with the readers and the stopping thread.
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Event> m_events; // guarded by m_lock
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_eventLost{false}; // a reader's chunk found no memory in the queue
    // Guards m_channel's replacement (port's thread) against RequestStop's interrupt of it.
    std::mutex m_channelLock;

    // The port's thread only.
    std::unique_ptr<SerialChannel> m_channel;
    std::unique_ptr<ChannelLink> m_link;
    unsigned m_epoch = 0;              // of the open channel
    std::uint32_t m_baudRate = 0;      // of the open channel
    Clock::time_point m_readerChecked; // when CheckReader last looked at the reader
    // The receive buffer as the engine sees it: each chunk stored where the reader stored it,
    // on this thread, so the reader's own buffer is never read while it writes.
    std::uint8_t m_mirror[serial::kRxBufferBytes] = {};
    std::uint32_t m_mirrorIndex = 0;
    ReceivedBytes m_current; // the notification being handled
    Timer m_timers[kLastDownloadTimer + 1];
    bool m_running = false;
    Clock::time_point m_lastActivity; // the handset's last answer or our last write to it
};
