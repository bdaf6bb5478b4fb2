// The console program's answers to the engine: block senders, report lines, questions, timers
// and the live status line.
#include "cli/port_session.h"

#include "cli/exit_codes.h"
#include "protocol/verdict_texts.h"
#include "download/progress_text.h"
#include "files/release_file.h"

#include <algorithm>
#include <cstring>

namespace
{

constexpr std::size_t kFrameHeaderSize = kBlockFrameSize - kBlockDataSize;
// The live status line is redrawn at most this often (and with every elapsed-time tick).
constexpr std::chrono::milliseconds kStatusPeriod(100);

// A fixed-width field of the handset's record as printable text: up to the first NUL, trailing
// blanks dropped, anything unprintable shown as '?'.
std::string FieldText(const char* field, std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; i < size && field[i] != '\0'; ++i)
    {
        const unsigned char c = static_cast<unsigned char>(field[i]);
        text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    while (!text.empty() && text.back() == ' ')
    {
        text.pop_back();
    }
    return text;
}

const char* SectionName(ProgressBar bar)
{
    switch (bar)
    {
    case ProgressBar::BootCode:
        return "boot";
    case ProgressBar::MainCode:
        return "main";
    case ProgressBar::LanguagePack:
        break;
    }
    return "lp";
}
} // namespace

bool CPortSession::SendBlock(Section section, std::uint32_t block)
{
    std::uint8_t* const frame = m_frame.data();
    FillBlockHeader(frame, block, section);
    std::uint8_t* const data = frame + kFrameHeaderSize;
    const bool languagePack = section == Section::LanguagePack;
    const BlockProgress progress = ProgressOfBlock(
        section, block, languagePack ? m_job.setup.lpBlockCount : m_job.setup.mainBlockCount);
    if (progress.inFile)
    {
        m_section = SectionName(progress.bar);
        m_percent = progress.percent.c_str();
    }
    else
    {
        ShowMessage("Invalid Block Number!");
    }
    m_sendingLine = progress.sendingLine.c_str();
    const std::uint32_t mainCount = m_job.setup.mainCode ? m_job.setup.mainBlockCount : 0;
    m_blocksDone = (languagePack ? std::uint64_t{mainCount} : 0) + block + 1;

    if (!languagePack)
    {
        // Bytes past the end of the image are blank, as in the window.
        if (m_job.image != nullptr)
        {
            m_job.image->ReadBlock(block, data);
        }
        else
        {
            std::fill(data, data + kBlockDataSize, kBlankByte);
        }
    }
    else if ((m_job.lp != nullptr ? m_job.lp->ReadBlock(block, data) : 0) != kBlockDataSize)
    {
        WriteLine(m_sendingLine);
        ShowMessage("Error reading LP");
        m_reason = "Error reading LP";
        m_engine.Abort();
        // true: the engine must not go on to another block of the ended download.
        return true;
    }
    ShowSendingLine(block);
    if (IsBlankBlock(data))
    {
        UpdateStatus(false);
        return false;
    }
    WriteBlockFrame();
    return true;
}

void CPortSession::ShowSendingLine(std::uint32_t block)
{
    // On a terminal the line lives in the status line; it stays in the report, as in the
    // window, once the next line comes or block 0 starts a new one.
    if (m_console.Terminal())
    {
        if (block == 0)
        {
            CommitSendingLine();
        }
        m_pendingSendingLine = m_sendingLine;
    }
    // Not on a terminal the rewritten line is a plain line each time.
    if (m_log != nullptr)
    {
        std::fprintf(m_log, "%s\n", m_sendingLine.c_str());
    }
    if (!m_console.Terminal())
    {
        m_console.Line(m_slot, m_sendingLine);
    }
}

void CPortSession::WriteBlockFrame()
{
    if (m_channel == nullptr || StopRequested())
    {
        return; // the stop request is handled as soon as the engine returns
    }
    if (m_blocksSent == 0)
    {
        m_firstBlock = Clock::now();
    }
    const std::size_t written = m_channel->Write(m_frame.data(), kBlockFrameSize);
    m_lastActivity = Clock::now();
    ++m_blocksSent;
    if (written != kBlockFrameSize)
    {
        ShowMessage("Error writing block to COM Port!");
    }
    UpdateStatus(false);
}

std::uint16_t CPortSession::SectionCrc(Section section)
{
    const std::shared_ptr<const CReleaseImage>& file =
        section == Section::MainCode ? m_job.image : m_job.lp;
    return file != nullptr ? file->Crc() : 0;
}

void CPortSession::AddReportLine(const char* text)
{
    Report(text);
}

void CPortSession::HandsetIdentified(const ParameterRecord& record)
{
    m_productId = FieldText(record.product_id, sizeof record.product_id);
    m_mobileId = FieldText(record.mobile_id, sizeof record.mobile_id);
}

void CPortSession::ProtocolChanged()
{
    m_handsetAnswered = true;
}

void CPortSession::LastBlockAnswered()
{
    // The transfer's time ends here, before the verdict's pause.
    m_transferEnd = Clock::now();
}

void CPortSession::Concluded(DownloadVerdict verdict)
{
    m_verdict = verdict;
    // The line before the abort's says what went wrong, unless the host already knows better.
    if (verdict == DownloadVerdict::Aborted && m_reason.empty())
    {
        m_reason = m_lastLine.empty() ? std::string(kAbortedText) : m_lastLine;
    }
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
    Report(line);
}

bool CPortSession::AskOkCancel(const char* text)
{
    // The gang prompt: nobody is there to press OK, so Gang Mode goes on.
    Report(std::string(text) + " OK (Gang Mode)");
    return true;
}

bool CPortSession::AskYesNo(const char* text)
{
    if (m_job.yes)
    {
        Report(std::string(text) + " Yes (--yes)");
        return true;
    }
    Report(std::string(text) + " No (--yes answers Yes)");
    m_reason = std::string(text) + " No";
    return false;
}

void CPortSession::StartTimer(unsigned id, unsigned periodMs)
{
    if (id < sizeof m_timers / sizeof m_timers[0])
    {
        m_timers[id] = Timer{true, periodMs, Clock::now() + std::chrono::milliseconds(periodMs)};
    }
}

void CPortSession::StopTimer(unsigned id)
{
    if (id < sizeof m_timers / sizeof m_timers[0])
    {
        m_timers[id].active = false;
    }
}

void CPortSession::RestartStopwatch()
{
    m_stopwatch = Clock::now();
    m_stopwatchRunning = true;
}

void CPortSession::ShowElapsedTime()
{
    UpdateStatus(true);
}

void CPortSession::Pause(unsigned milliseconds)
{
    // A stop request cuts the pause short; nothing is written after it.
    std::unique_lock<std::mutex> hold(m_lock);
    m_wake.wait_for(hold, std::chrono::milliseconds(milliseconds),
                    [this]() { return m_stopRequested.load(); });
}

void CPortSession::CommitSendingLine()
{
    if (!m_pendingSendingLine.empty())
    {
        m_console.Line(m_slot, m_pendingSendingLine);
        m_pendingSendingLine.clear();
        UpdateStatus(true);
    }
}

void CPortSession::ReportError(const std::string& text)
{
    CommitSendingLine();
    if (m_log != nullptr)
    {
        std::fprintf(m_log, "%s\n", text.c_str());
        std::fflush(m_log);
    }
    m_console.ErrorLine(m_slot, text);
    m_lastLine = text;
}

void CPortSession::Report(const std::string& text)
{
    WriteLine(text);
    m_lastLine = text;
}

void CPortSession::WriteLine(const std::string& text)
{
    CommitSendingLine();
    if (m_log != nullptr)
    {
        std::fprintf(m_log, "%s\n", text.c_str());
        std::fflush(m_log);
    }
    m_console.Line(m_slot, text);
}

void CPortSession::UpdateStatus(bool force)
{
    if (!m_console.Terminal())
    {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (!force && now - m_lastStatus < kStatusPeriod)
    {
        return;
    }
    m_lastStatus = now;
    const std::uint64_t total =
        std::uint64_t{m_job.setup.mainCode ? m_job.setup.mainBlockCount : 0} +
        (m_job.setup.languagePack ? m_job.setup.lpBlockCount : 0);
    const Clock::time_point transferEnd = m_transferEnd > m_firstBlock ? m_transferEnd : now;
    const double transfer = Seconds(transferEnd - m_firstBlock);
    const double rate = (m_blocksSent > 0 && transfer > 0) ? m_blocksSent / transfer : 0.0;
    std::string line =
        m_sendingLine.empty() ? std::string("Waiting for the handset") : m_sendingLine;
    char tail[160];
    if (!m_section.empty())
    {
        std::snprintf(tail, sizeof tail, " %s %s", m_section.c_str(), m_percent.c_str());
        line += tail;
    }
    if (rate > 0)
    {
        const double left = total > m_blocksDone ? (total - m_blocksDone) / rate : 0.0;
        std::snprintf(tail, sizeof tail, " %.1f blk/s left %s", rate,
                      ElapsedTimeText(left).c_str());
        line += tail;
    }
    if (m_stopwatchRunning)
    {
        line += " time ";
        line += ElapsedTimeText(Seconds(now - m_stopwatch)).c_str();
    }
    m_console.Status(m_slot, line);
}
