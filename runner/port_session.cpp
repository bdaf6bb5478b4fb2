// One port's downloads: one or a station's run of them, each from the first signal to its
// result, and what the event loop hands on.
#include "runner/port_session.h"

#include "download/stop_texts.h"
#include "runner/exit_codes.h"

#include <algorithm>
#include <cstdio>

namespace
{

// A station whose port cannot be opened tries again after this long.
constexpr std::chrono::seconds kStationRetryDelay(1);

const char kInternalErrorPrefix[] = "Internal error: ";
const char kReaderReopenedNote[] = "(the serial reader ended by itself: port reopened)";

} // namespace

CPortSession::CPortSession(std::string port, const DownloadJob& job, ChannelOpener opener,
                           ReaderCheck readerCheck, PortObserver& observer,
                           std::string debugLogPath)
    : m_port(std::move(port)), m_job(job), m_observer(observer), m_engine(*this),
      m_loop(m_port, std::move(debugLogPath), std::move(opener), std::move(readerCheck),
             job.timeoutSeconds, *this),
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
        result.failure = FailureClass::Other;
        Error(reason);
        m_results.push_back(std::move(result));
        m_observer.PortFailed(m_results.back());
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
        Line(line);
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
    if (m_job.journal == nullptr)
    {
        return;
    }
    const bool written = m_job.journal->Record(m_port, result);
    m_observer.JournalWritten(written);
    if (!written)
    {
        Error("Journal: the line of this download could not be written");
    }
}

DownloadResult CPortSession::RunDownload()
{
    m_record.Begin();
    m_lastLine.clear();
    m_sendingLine.clear();
    m_block = BlockEvent();
    m_phase = PortPhase::Signalling;
    m_observer.DownloadBegun();
    m_loop.Begin();
    m_engine.Begin(m_job.setup);
    Line("Signalling...");
    if (!m_loop.OpenChannel(kSignallingBaudRate))
    {
        m_record.PortFailed();
        Line(kPortInUseText);
        StopDownload();
        return Finish();
    }
    m_loop.StartTimer(kSignalTimer, kSignalPeriodMs);
    if (m_loop.Run())
    {
        // As the Stop button: the line, then the stop routine.
        Line(kTerminatedByUserText);
        m_record.Interrupted();
        StartStopDownload();
    }
    return Finish();
}

DownloadResult CPortSession::Finish()
{
    DownloadResult result = m_record.Result();
    m_observer.DownloadEnded(result);
    return result;
}

void CPortSession::Line(const std::string& text)
{
    PlainLine(text);
    m_lastLine = text;
}

void CPortSession::PlainLine(const std::string& text)
{
    m_observer.ReportLine(ReportKind::Line, text);
}

void CPortSession::Error(const std::string& text)
{
    m_observer.ReportLine(ReportKind::Error, text);
    m_lastLine = text;
}

void CPortSession::ShowMessage(const char* text)
{
    // The abort's box repeats the line just written.
    if (m_lastLine == text)
    {
        return;
    }
    std::string line = std::string("Message: ") + text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    Line(line);
}

void CPortSession::LastBlockAnswered()
{
    m_record.LastBlockAnswered();
    m_observer.TransferEnded(m_record.Transfer());
}

void CPortSession::OnBytes(const ReceivedBytes& received)
{
    m_engine.OnSerialData(received);
    NotePhase();
}

void CPortSession::OnTimerTick(unsigned timerId)
{
    m_engine.OnTimerTick(timerId);
    NotePhase();
}

namespace
{
PortPhase PhaseOf(DownloadState state)
{
    switch (state)
    {
    case DownloadState::Signalling:
        return PortPhase::Signalling;
    case DownloadState::ParameterExchange:
    case DownloadState::LpOverride:
        return PortPhase::Identifying;
    case DownloadState::MainErase:
    case DownloadState::LpErase:
        return PortPhase::Erasing;
    case DownloadState::MainTransfer:
    case DownloadState::LpTransfer:
        return PortPhase::Sending;
    case DownloadState::ChecksumWait:
        break;
    }
    return PortPhase::Checking;
}
} // namespace

void CPortSession::NotePhase()
{
    // A download that has ended keeps the phase it ended in.
    if (!m_loop.Running())
    {
        return;
    }
    const PortPhase phase = PhaseOf(m_engine.State());
    if (phase != m_phase)
    {
        m_phase = phase;
        m_observer.PhaseChanged(phase);
    }
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
    m_record.SetReason(reason, FailureClass::PortError);
    Error(reason);
    m_engine.Abort();
}

void CPortSession::OnOpenFailure(const std::string& text)
{
    m_record.SetPortError(text);
    Error(text);
}

void CPortSession::OnSilence()
{
    char line[96];
    std::snprintf(line, sizeof line, "No answer from the handset for %g s.", m_job.timeoutSeconds);
    m_record.SetReason(line, FailureClass::NoAnswer);
    Line(line);
    m_engine.Abort();
}

void CPortSession::OnReaderEnded()
{
    // The port is opened again at the same rate; the engine goes on as if nothing happened,
    // since its view of the buffer goes on too. A port that is really gone fails to open.
    m_observer.ReportLine(ReportKind::LogNote, kReaderReopenedNote);
    OpenAgain(m_loop.BaudRate(), false);
}

bool CPortSession::AwaitingHandset() const
{
    // A station waits for its next handset as long as it takes.
    return m_job.station && m_engine.State() == DownloadState::Signalling;
}
