// One port's downloads: the console program's EngineHost. Each port has its own engine on its
// own thread with its own event queue (the reader's chunks, a lost port, a stop request); timer
// ticks are computed on that thread, so everything that touches the engine runs there.
#pragma once

#include "cli/console.h"
#include "cli/release_image.h"
#include "protocol/download_engine.h"
#include "serial/receive_buffer.h"
#include "serial/serial_channel.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CJournal;

inline double Seconds(std::chrono::steady_clock::duration span)
{
    return std::chrono::duration<double>(span).count();
}

// What every port's download shares, read-only: the choices and the release files.
struct DownloadJob
{
    DownloadSetup setup; // sections, rate, model, Gang Mode, block counts and model fields
    std::shared_ptr<const CReleaseImage> image; // null without main code
    std::shared_ptr<const CReleaseImage> lp;    // null without a language pack
    bool yes = false;
    bool station = false;
    unsigned count = 0;
    double timeoutSeconds = 0.0;
    CJournal* journal = nullptr; // --journal: a line per download
};

// How one download on one port ended.
struct DownloadResult
{
    std::string productId; // the handset's, as far as it answered
    std::string mobileId;
    int exitCode = 0;
    std::string reason; // why it did not succeed
    double seconds = 0.0;
    unsigned blocks = 0; // block frames written
    double blocksPerSecond = 0.0;
    std::chrono::system_clock::time_point started; // wall clock, for the journal
    std::chrono::system_clock::time_point ended;
};

// Opens a channel on a port at a rate, with its debug log at `debugLogPath` (empty: the
// channel's own choice): the POSIX or the Win32 one.
using ChannelOpener = std::function<std::unique_ptr<SerialChannel>(
    const std::string& port, std::uint32_t baudRate, const std::string& debugLogPath,
    serial::ChunkSink& sink, serial::FailureReport& report)>;

// Whether a channel's reader has ended without a word (see ReaderEndedOnItsOwn).
using ReaderCheck = std::function<bool(const SerialChannel& channel)>;

class CPortSession : private EngineHost
{
public:
    // logPath: the report's log (none when empty); debugLogPath: the channel's (see
    // ChannelOpener).
    CPortSession(std::string port, std::size_t slot, const DownloadJob& job, ChannelOpener opener,
                 ReaderCheck readerCheck, CConsole& console, const std::string& logPath,
                 std::string debugLogPath);
    ~CPortSession() override;
    CPortSession(const CPortSession&) = delete;
    CPortSession& operator=(const CPortSession&) = delete;

    // False when the log file could not be created (the session then must not run).
    bool LogOpen() const { return m_logPath.empty() || m_log != nullptr; }
    const std::string& Port() const { return m_port; }
    // The body of the port's thread: one download, or station mode until stopped or done. Whatever
    // is thrown ends the port's downloads with kExitAborted and the reason.
    void Run();
    // The port's thread could not be started: the port ends so, with `reason`.
    void Fail(const std::string& reason);
    // Any thread: stop the running download as the Stop button does, and serve no more.
    void RequestStop();
    // After Run.
    const std::vector<DownloadResult>& Results() const { return m_results; }

private:
    using Clock = std::chrono::steady_clock;

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
        ChannelLink(CPortSession& session, unsigned epoch) : m_session(session), m_epoch(epoch) {}
        void OnChunk(std::size_t count, const std::uint8_t* chunk) override;
        void ReportFailure(const char* text, const char* caption) override;

    private:
        CPortSession& m_session;
        unsigned m_epoch;
    };

    struct Timer
    {
        bool active = false;
        unsigned periodMs = 0;
        Clock::time_point due;
    };

    // EngineHost.
    bool DownloadRunning() const override { return m_running; }
    void WritePort(const std::uint8_t* bytes, std::size_t count) override;
    void PurgePort() override;
    void ReopenChannel(std::uint32_t baudRate) override;
    bool SendBlock(Section section, std::uint32_t block) override;
    std::uint16_t SectionCrc(Section section) override;
    void AddReportLine(const char* text) override;
    void HandsetIdentified(const ParameterRecord& record) override;
    void ProtocolChanged() override;
    void LastBlockAnswered() override;
    void Concluded(DownloadVerdict verdict) override;
    void ShowMessage(const char* text) override;
    bool AskOkCancel(const char* text) override;
    bool AskYesNo(const char* text) override;
    void StartTimer(unsigned id, unsigned periodMs) override;
    void StopTimer(unsigned id) override;
    void RestartStopwatch() override;
    void ShowElapsedTime() override;
    void Pause(unsigned milliseconds) override;
    void ClearStartRequest() override {}
    void StartStopDownload() override;

    void RunDownloads();
    DownloadResult RunDownload();
    // RunDownload with its wall-clock times.
    DownloadResult TimedDownload();
    void Journal(const DownloadResult& result);
    DownloadResult Finish();
    void Push(const Event& event);
    // Waits for the next event until `deadline`; false on the deadline or a stop request.
    bool Wait(Event& event, Clock::time_point deadline);
    void Dispatch(const Event& event);
    void FireDueTimers();
    void CheckWatchdog();
    bool WatchdogArmed() const;
    Clock::time_point NextDeadline() const;
    // A new channel; `freshBuffer` false keeps the engine's view of the receive buffer going on
    // where the previous channel left it.
    void OpenChannel(std::uint32_t baudRate, bool freshBuffer = true);
    void CheckReader();
    void CloseChannel();
    void StopDownload();
    // A line of the report; the last one before an abort is its reason.
    void Report(const std::string& text);
    // A line that is no reason for anything (a block's progress).
    void WriteLine(const std::string& text);
    // A failure of the channel: in the log, and on standard error.
    void ReportError(const std::string& text);
    void UpdateStatus(bool force);
    void CommitSendingLine();
    // The block senders' parts: the "Sending Block" line where the console shows it, the write.
    void ShowSendingLine(std::uint32_t block);
    void WriteBlockFrame();
    bool StopRequested() const { return m_stopRequested.load(); }

    const std::string m_port;
    const std::size_t m_slot;
    const DownloadJob& m_job;
    const ChannelOpener m_opener;
    const ReaderCheck m_readerCheck;
    CConsole& m_console;
    const std::string m_logPath;
    const std::string m_debugLogPath;
    std::FILE* m_log = nullptr;

    // Shared with the readers and the stopping thread.
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Event> m_events; // guarded by m_lock
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_eventLost{false}; // a reader's chunk found no memory in the queue
    // Guards m_channel's replacement (port's thread) against RequestStop's interrupt of it.
    std::mutex m_channelLock;

    // The port's thread only.
    CDownloadEngine m_engine;
    std::unique_ptr<SerialChannel> m_channel;
    std::unique_ptr<ChannelLink> m_link;
    unsigned m_epoch = 0;              // of the open channel
    Clock::time_point m_readerChecked; // when CheckReader last looked at the reader
    std::uint32_t m_baudRate = 0;      // of the open channel
    // The receive buffer as the engine sees it: each chunk stored where the reader stored it,
    // on this thread, so the reader's own buffer is never read while it writes.
    std::uint8_t m_mirror[serial::kRxBufferBytes] = {};
    std::uint32_t m_mirrorIndex = 0;
    ReceivedBytes m_current; // the notification being handled
    Timer m_timers[kGangTimer + 1];
    bool m_running = false;
    std::vector<std::uint8_t> m_frame;

    // Per download.
    Clock::time_point m_start;
    Clock::time_point m_end;
    Clock::time_point m_firstBlock;
    Clock::time_point m_transferEnd; // the last block answered
    Clock::time_point m_lastActivity;
    Clock::time_point m_stopwatch;
    Clock::time_point m_lastStatus;
    bool m_stopwatchRunning = false;
    std::optional<DownloadVerdict> m_verdict; // the engine's, once it concluded
    bool m_portFailed = false;
    bool m_interrupted = false;
    bool m_handsetAnswered = false;
    std::string m_portError;
    std::string m_lastLine;
    std::string m_reason;
    std::string m_productId;
    std::string m_mobileId;
    std::string m_sendingLine;
    std::string m_pendingSendingLine; // shown only in the status line so far
    std::string m_section;
    std::string m_percent;
    unsigned m_blocksSent = 0;
    std::uint64_t m_blocksDone = 0;

    std::vector<DownloadResult> m_results;
};
