// One port's downloads: the event queue and loop of the port's thread, its timers, watchdog and
// channel, and the ending of each download.
#include "cli/port_session.h"

#include "cli/exit_codes.h"
#include "cli/journal.h"
#include "download/stop_texts.h"
#include "protocol/verdict_texts.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace
{

// A station whose port cannot be opened tries again after this long.
constexpr std::chrono::seconds kStationRetryDelay(1);
// How often a reader that may end without a word is looked at.
constexpr std::chrono::milliseconds kReaderCheckPeriod(20);

const char kInternalErrorPrefix[] = "Internal error: ";
const char kEventLostReason[] = "Internal error: out of memory, bytes from the port were lost";

} // namespace

void CPortSession::ChannelLink::OnChunk(std::size_t count, const std::uint8_t* chunk)
{
    // The Win32 reader reports its empty wake-ups too: they bring nothing.
    if (count == 0)
    {
        return;
    }
    Event event;
    event.kind = Event::Kind::Chunk;
    event.epoch = m_epoch;
    event.count = std::min<std::size_t>(count, sizeof event.bytes);
    std::memcpy(event.bytes, chunk, event.count);
    m_session.Push(event);
}

void CPortSession::Push(const Event& event)
{
    try
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_events.push_back(event);
    }
    catch (const std::exception&)
    {
        // On the reader's thread nothing may be thrown: the port's thread ends the download.
        m_eventLost = true;
    }
    m_wake.notify_all();
}

void CPortSession::ChannelLink::ReportFailure(const char* text, const char* caption)
try
{
    std::string line = std::string(caption) + ": " + text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    if (std::strcmp(caption, "TracingThread") == 0)
    {
        // The reader has ended: without it the download would wait for ever.
        Event event;
        event.kind = Event::Kind::PortLost;
        event.epoch = m_epoch;
        const std::size_t size = std::min(line.size(), sizeof event.bytes);
        std::memcpy(event.bytes, line.data(), size);
        event.count = size;
        m_session.Push(event);
        return;
    }
    // The channel's open runs on the port's own thread.
    m_session.m_portError = line;
    m_session.ReportError(line);
}
catch (const std::exception&)
{
    m_session.m_eventLost = true;
    m_session.m_wake.notify_all();
}

CPortSession::CPortSession(std::string port, std::size_t slot, const DownloadJob& job,
                           ChannelOpener opener, ReaderCheck readerCheck, CConsole& console,
                           const std::string& logPath, std::string debugLogPath)
    : m_port(std::move(port)), m_slot(slot), m_job(job), m_opener(std::move(opener)),
      m_readerCheck(std::move(readerCheck)), m_console(console), m_logPath(logPath),
      m_debugLogPath(std::move(debugLogPath)), m_engine(*this), m_frame(kBlockFrameSize)
{
    if (!m_logPath.empty())
    {
        m_log = std::fopen(m_logPath.c_str(), "w");
    }
}

CPortSession::~CPortSession()
{
    CloseChannel();
    if (m_log != nullptr)
    {
        std::fclose(m_log);
    }
}

void CPortSession::RequestStop()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    // A write waiting for a device that takes nothing gives up now, not at its bound.
    std::lock_guard<std::mutex> hold(m_channelLock);
    if (m_channel != nullptr)
    {
        m_channel->Interrupt();
    }
}

bool CPortSession::Wait(Event& event, Clock::time_point deadline)
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_wake.wait_until(hold, deadline,
                      [this]()
                      { return m_stopRequested.load() || m_eventLost || !m_events.empty(); });
    if (m_stopRequested || m_events.empty())
    {
        return false;
    }
    event = m_events.front();
    m_events.pop_front();
    return true;
}

void CPortSession::Run()
{
    try
    {
        RunDownloads();
    }
    catch (const std::exception& error)
    {
        Fail(kInternalErrorPrefix + std::string(error.what()));
    }
    catch (...)
    {
        Fail(kInternalErrorPrefix + std::string("unknown exception"));
    }
}

void CPortSession::Fail(const std::string& reason)
{
    try
    {
        if (m_running)
        {
            StopDownload();
        }
        DownloadResult result;
        result.exitCode = kExitAborted;
        result.reason = reason;
        ReportError(reason);
        m_results.push_back(std::move(result));
    }
    catch (const std::exception&)
    {
        // Out of memory even for the reason: the port's result stays what it was.
    }
}

void CPortSession::RunDownloads()
{
    if (!m_job.station)
    {
        m_results.push_back(TimedDownload());
        Journal(m_results.back());
        return;
    }
    for (unsigned done = 0; (m_job.count == 0 || done < m_job.count) && !StopRequested();)
    {
        DownloadResult result = TimedDownload();
        // Stopped while waiting for the next handset: the normal end of a station.
        if (result.exitCode == kExitInterrupted && !m_handsetAnswered)
        {
            break;
        }
        ++done;
        Journal(result);
        char line[256];
        std::snprintf(line, sizeof line, "Result: %s %s %s %.1f s",
                      result.productId.empty() ? "-" : result.productId.c_str(),
                      result.mobileId.empty() ? "-" : result.mobileId.c_str(),
                      ExitCodeVerdict(result.exitCode), result.seconds);
        m_results.push_back(std::move(result));
        Report(line);
        if (m_results.back().exitCode == kExitPortError)
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_wake.wait_for(hold, kStationRetryDelay, [this]() { return m_stopRequested.load(); });
        }
    }
}

DownloadResult CPortSession::TimedDownload()
{
    const std::chrono::system_clock::time_point started = std::chrono::system_clock::now();
    DownloadResult result = RunDownload();
    result.started = started;
    result.ended = std::chrono::system_clock::now();
    return result;
}

void CPortSession::Journal(const DownloadResult& result)
{
    if (m_job.journal != nullptr && !m_job.journal->Record(m_port, result))
    {
        ReportError("Journal: the line of this download could not be written");
    }
}

DownloadResult CPortSession::RunDownload()
{
    m_start = Clock::now();
    m_end = m_start;
    m_firstBlock = m_start;
    m_transferEnd = m_start;
    m_lastActivity = m_start;
    m_lastStatus = Clock::time_point();
    m_stopwatchRunning = false;
    m_verdict.reset();
    m_portFailed = false;
    m_eventLost = false;
    m_interrupted = false;
    m_handsetAnswered = false;
    m_portError.clear();
    m_lastLine.clear();
    m_reason.clear();
    m_productId.clear();
    m_mobileId.clear();
    m_sendingLine.clear();
    m_pendingSendingLine.clear();
    m_section.clear();
    m_percent.clear();
    m_blocksSent = 0;
    m_blocksDone = 0;

    m_running = true;
    m_engine.Begin(m_job.setup);
    Report("Signalling...");
    OpenChannel(kSignallingBaudRate);
    if (!m_channel->IsOpen())
    {
        m_portFailed = true;
        Report(kPortInUseText);
        StopDownload();
        return Finish();
    }
    StartTimer(kSignalTimer, kSignalPeriodMs);

    while (m_running)
    {
        Event event;
        const bool got = Wait(event, NextDeadline());
        if (StopRequested())
        {
            // As the Stop button: the line, then the stop routine.
            Report(kTerminatedByUserText);
            m_interrupted = true;
            StartStopDownload();
            break;
        }
        if (got)
        {
            Dispatch(event);
        }
        if (m_eventLost && m_running)
        {
            m_reason = kEventLostReason;
            ReportError(m_reason);
            m_engine.Abort();
        }
        CheckReader();
        FireDueTimers();
        CheckWatchdog();
    }
    return Finish();
}

DownloadResult CPortSession::Finish()
{
    DownloadResult result;
    result.productId = m_productId;
    result.mobileId = m_mobileId;
    result.seconds = Seconds(m_end - m_start);
    result.blocks = m_blocksSent;
    const double transfer =
        Seconds((m_transferEnd > m_firstBlock ? m_transferEnd : m_end) - m_firstBlock);
    result.blocksPerSecond = (m_blocksSent > 0 && transfer > 0) ? m_blocksSent / transfer : 0.0;
    if (m_verdict == DownloadVerdict::Passed)
    {
        result.exitCode = kExitSuccess;
    }
    else if (m_verdict == DownloadVerdict::Failed)
    {
        result.exitCode = kExitVerdictFailed;
        result.reason = kFailedText;
    }
    else if (m_portFailed)
    {
        result.exitCode = kExitPortError;
        result.reason = m_portError.empty() ? "Failed to open com port" : m_portError;
    }
    else if (m_interrupted)
    {
        result.exitCode = kExitInterrupted;
        result.reason = kTerminatedByUserText;
    }
    else
    {
        result.exitCode = kExitAborted;
        result.reason = m_reason.empty() ? kAbortedText : m_reason;
    }
    if (m_console.Terminal())
    {
        char line[160];
        std::snprintf(line, sizeof line, "%s in %.1f s, %u blocks, %.1f blk/s",
                      ExitCodeVerdict(result.exitCode), result.seconds, result.blocks,
                      result.blocksPerSecond);
        m_console.Status(m_slot, line);
    }
    return result;
}

void CPortSession::Dispatch(const Event& event)
{
    if (event.epoch != m_epoch || !m_running)
    {
        return; // a closed channel's
    }
    if (event.kind == Event::Kind::PortLost)
    {
        const std::string text(reinterpret_cast<const char*>(event.bytes), event.count);
        m_reason = text;
        ReportError(text);
        m_engine.Abort();
        return;
    }
    // The reader stores each chunk right after the previous one and wraps by the buffer's rule;
    // every chunk of this channel comes here in order, so the mirror keeps the reader's layout.
    const std::uint32_t index = m_mirrorIndex;
    const std::size_t count = std::min<std::size_t>(event.count, serial::ReadSizeAt(index));
    std::memcpy(m_mirror + index, event.bytes, count);
    m_mirrorIndex = serial::NextWriteIndex(index, static_cast<std::uint32_t>(count));
    m_lastActivity = Clock::now();

    m_current.bufferStart = m_mirror;
    m_current.chunk = m_mirror + index;
    m_current.count = count;
    m_current.endIndex = m_mirrorIndex;
    m_engine.OnSerialData(m_current);
}

CPortSession::Clock::time_point CPortSession::NextDeadline() const
{
    Clock::time_point next = Clock::now() + std::chrono::hours(1);
    for (const Timer& timer : m_timers)
    {
        if (timer.active)
        {
            next = std::min(next, timer.due);
        }
    }
    if (m_readerCheck)
    {
        next = std::min(next, Clock::now() + kReaderCheckPeriod);
    }
    if (WatchdogArmed())
    {
        next = std::min(next,
                        m_lastActivity + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(m_job.timeoutSeconds)));
    }
    return next;
}

void CPortSession::FireDueTimers()
{
    for (unsigned id = kSignalTimer; id <= kGangTimer && m_running; ++id)
    {
        Timer& timer = m_timers[id];
        const Clock::time_point now = Clock::now();
        if (!timer.active || now < timer.due)
        {
            continue;
        }
        // Like WM_TIMER: a late tick is one tick, never a burst.
        timer.due = now + std::chrono::milliseconds(timer.periodMs);
        switch (id)
        {
        case kSignalTimer:
            if (m_channel != nullptr && !StopRequested())
            {
                m_channel->Write(kSignalCommand, kCommandSize); // the next tick writes it again
            }
            break;
        case kElapsedTimer:
            ShowElapsedTime();
            break;
        case kGangTimer:
            m_engine.OnGangTick();
            ShowElapsedTime();
            break;
        default:
            break;
        }
    }
}

bool CPortSession::WatchdogArmed() const
{
    if (!m_running || m_job.timeoutSeconds <= 0.0 || m_timers[kGangTimer].active)
    {
        return false;
    }
    // A station waits for its next handset as long as it takes.
    return !(m_job.station && m_engine.State() == DownloadState::Signalling);
}

void CPortSession::CheckWatchdog()
{
    if (!WatchdogArmed() || Seconds(Clock::now() - m_lastActivity) < m_job.timeoutSeconds)
    {
        return;
    }
    char line[96];
    std::snprintf(line, sizeof line, "No answer from the handset for %g s.", m_job.timeoutSeconds);
    m_reason = line;
    Report(line);
    m_engine.Abort();
}

void CPortSession::OpenChannel(std::uint32_t baudRate, bool freshBuffer)
{
    CloseChannel();
    ++m_epoch;
    m_baudRate = baudRate;
    if (freshBuffer)
    {
        m_mirrorIndex = 0;
        std::memset(m_mirror, 0, sizeof m_mirror);
    }
    m_link = std::make_unique<ChannelLink>(*this, m_epoch);
    std::unique_ptr<SerialChannel> channel =
        m_opener(m_port, baudRate, m_debugLogPath, *m_link, *m_link);
    std::lock_guard<std::mutex> hold(m_channelLock);
    m_channel = std::move(channel);
    if (StopRequested())
    {
        m_channel->Interrupt(); // the stop request came while the channel was opening
    }
}

void CPortSession::CheckReader()
{
    if (!m_readerCheck || !m_running || m_channel == nullptr || !m_channel->IsOpen())
    {
        return;
    }
    // The look costs a system call (under Wine a round trip to its server): once a period, not
    // after every chunk, where it would hold the next block back.
    const Clock::time_point now = Clock::now();
    if (now - m_readerChecked < kReaderCheckPeriod)
    {
        return;
    }
    m_readerChecked = now;
    if (!m_readerCheck(*m_channel))
    {
        return;
    }
    // The port is opened again at the same rate; the engine goes on as if nothing happened,
    // since its view of the buffer goes on too. A port that is really gone fails to open.
    if (m_log != nullptr)
    {
        std::fprintf(m_log, "(the serial reader ended by itself: port reopened)\n");
    }
    OpenChannel(m_baudRate, false);
    if (!m_channel->IsOpen())
    {
        m_portFailed = true;
        m_engine.Abort();
    }
}

void CPortSession::CloseChannel()
{
    std::unique_ptr<SerialChannel> channel;
    {
        std::lock_guard<std::mutex> hold(m_channelLock);
        channel = std::move(m_channel);
    }
    // Outside the lock: the close lets the line drain, and a stop request must not wait for it.
    if (channel != nullptr)
    {
        channel->Close();
    }
    m_link.reset();
    // Chunks the closed channel's reader left in the queue are dropped by their epoch.
    ++m_epoch;
}

void CPortSession::StopDownload()
{
    m_running = false;
    CloseChannel();
    for (Timer& timer : m_timers)
    {
        timer.active = false;
    }
    m_engine.ClearChecksums();
    m_end = Clock::now();
}

void CPortSession::StartStopDownload()
{
    if (m_running)
    {
        StopDownload();
    }
}

void CPortSession::WritePort(const std::uint8_t* bytes, std::size_t count)
{
    // After a stop request nothing more goes to the handset.
    if (m_channel == nullptr || StopRequested())
    {
        return;
    }
    m_channel->Write(bytes, count);
    m_lastActivity = Clock::now();
}

void CPortSession::PurgePort()
{
    if (m_channel != nullptr)
    {
        m_channel->Purge();
    }
}

void CPortSession::ReopenChannel(std::uint32_t baudRate)
{
    OpenChannel(baudRate);
    if (!m_channel->IsOpen())
    {
        // A download without a port would wait for ever.
        m_portFailed = true;
        m_engine.Abort();
    }
}
