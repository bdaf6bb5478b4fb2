// One port's downloads: one or a station's run of them, each from the first signal to its
// result, and what the event loop hands on.
#include "cli/port_session.h"

#include "cli/exit_codes.h"
#include "cli/journal.h"
#include "download/stop_texts.h"

#include <cstdio>

namespace
{

// A station whose port cannot be opened tries again after this long.
constexpr std::chrono::seconds kStationRetryDelay(1);

const char kInternalErrorPrefix[] = "Internal error: ";
const char kReaderReopenedNote[] = "(the serial reader ended by itself: port reopened)";

} // namespace

CPortSession::CPortSession(std::string port, std::size_t slot, const DownloadJob& job,
                           ChannelOpener opener, ReaderCheck readerCheck, CConsole& console,
                           const std::string& logPath, std::string debugLogPath)
    : m_port(std::move(port)), m_job(job), m_reporter(console, slot, logPath, job.setup, m_record),
      m_engine(*this), m_loop(m_port, std::move(debugLogPath), std::move(opener),
                              std::move(readerCheck), job.timeoutSeconds, *this),
      m_frame(kBlockFrameSize)
{
}

CPortSession::~CPortSession() = default;

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
        if (m_loop.Running())
        {
            StopDownload();
        }
        DownloadResult result;
        result.exitCode = kExitAborted;
        result.reason = reason;
        m_reporter.Error(reason);
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
    for (unsigned done = 0; (m_job.count == 0 || done < m_job.count) && !m_loop.StopRequested();)
    {
        DownloadResult result = TimedDownload();
        // Stopped while waiting for the next handset: the normal end of a station.
        if (result.exitCode == kExitInterrupted && !m_record.Answered())
        {
            break;
        }
        ++done;
        Journal(result);
        const std::string line = ResultLine(result);
        m_results.push_back(std::move(result));
        m_reporter.Line(line);
        if (m_results.back().exitCode == kExitPortError)
        {
            m_loop.WaitForStop(kStationRetryDelay);
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
        m_reporter.Error("Journal: the line of this download could not be written");
    }
}

DownloadResult CPortSession::RunDownload()
{
    m_record.Begin();
    m_reporter.Begin();
    m_loop.Begin();
    m_engine.Begin(m_job.setup);
    m_reporter.Line("Signalling...");
    if (!m_loop.OpenChannel(kSignallingBaudRate))
    {
        m_record.PortFailed();
        m_reporter.Line(kPortInUseText);
        StopDownload();
        return Finish();
    }
    m_loop.StartTimer(kSignalTimer, kSignalPeriodMs);
    if (m_loop.Run())
    {
        // As the Stop button: the line, then the stop routine.
        m_reporter.Line(kTerminatedByUserText);
        m_record.Interrupted();
        StartStopDownload();
    }
    return Finish();
}

DownloadResult CPortSession::Finish()
{
    DownloadResult result = m_record.Result();
    m_reporter.Finished(result);
    return result;
}

void CPortSession::StopDownload()
{
    m_loop.End();
    m_engine.ClearChecksums();
    m_record.End();
}

void CPortSession::StartStopDownload()
{
    if (m_loop.Running())
    {
        StopDownload();
    }
}

void CPortSession::OpenAgain(std::uint32_t baudRate, bool freshBuffer)
{
    if (!m_loop.OpenChannel(baudRate, freshBuffer))
    {
        // A download without a port would wait for ever.
        m_record.PortFailed();
        m_engine.Abort();
    }
}

void CPortSession::OnChannelLost(const std::string& reason)
{
    m_record.SetReason(reason);
    m_reporter.Error(reason);
    m_engine.Abort();
}

void CPortSession::OnOpenFailure(const std::string& text)
{
    m_record.SetPortError(text);
    m_reporter.Error(text);
}

void CPortSession::OnSilence()
{
    char line[96];
    std::snprintf(line, sizeof line, "No answer from the handset for %g s.", m_job.timeoutSeconds);
    m_record.SetReason(line);
    m_reporter.Line(line);
    m_engine.Abort();
}

void CPortSession::OnReaderEnded()
{
    // The port is opened again at the same rate; the engine goes on as if nothing happened,
    // since its view of the buffer goes on too. A port that is really gone fails to open.
    m_reporter.LogNote(kReaderReopenedNote);
    OpenAgain(m_loop.BaudRate(), false);
}

bool CPortSession::AwaitingHandset() const
{
    // A station waits for its next handset as long as it takes.
    return m_job.station && m_engine.State() == DownloadState::Signalling;
}
