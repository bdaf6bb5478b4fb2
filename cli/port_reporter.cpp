#include "cli/port_reporter.h"

#include "runner/exit_codes.h"
#include "download/progress_text.h"

#include <algorithm>
#include <cstdio>

namespace
{

// The live status line is redrawn at most this often (and with every elapsed-time tick).
constexpr std::chrono::milliseconds kStatusPeriod(100);

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

CPortReporter::CPortReporter(CConsole& console, std::size_t slot, const std::string& logPath)
    : m_console(console), m_slot(slot), m_logPath(logPath)
{
    if (!m_logPath.empty())
    {
        m_log.reset(std::fopen(m_logPath.c_str(), "w"));
    }
}

void CPortReporter::DownloadBegun()
{
    m_sendingLine.clear();
    m_pendingSendingLine.clear();
    m_section.clear();
    m_percent.clear();
    m_blocksDone = 0;
    m_blocksTotal = 0;
    m_transfer = TransferFigures();
    m_lastStatus = Clock::time_point();
    m_stopwatchRunning = false;
}

void CPortReporter::ReportLine(ReportKind kind, const std::string& text)
{
    if (kind == ReportKind::LogNote)
    {
        Log(text, false);
        return;
    }
    CommitSendingLine();
    Log(text, true);
    if (kind == ReportKind::Error)
    {
        m_console.ErrorLine(m_slot, text);
    }
    else
    {
        m_console.Line(m_slot, text);
    }
}

void CPortReporter::BlockProgressed(const BlockEvent& event)
{
    m_transfer = event.transfer;
    switch (event.stage)
    {
    case BlockEvent::Stage::Ahead:
        BlockAhead(event);
        break;
    case BlockEvent::Stage::Read:
        ShowSendingLine(event.block);
        break;
    case BlockEvent::Stage::Skipped:
    case BlockEvent::Stage::Sent:
        UpdateStatus(false);
        break;
    }
}

void CPortReporter::ElapsedTick(const TransferFigures& transfer)
{
    m_transfer = transfer;
    UpdateStatus(true);
}

void CPortReporter::Log(const std::string& text, bool flush)
{
    if (m_log != nullptr)
    {
        std::fprintf(m_log.get(), "%s\n", text.c_str());
        if (flush)
        {
            std::fflush(m_log.get());
        }
    }
}

void CPortReporter::BlockAhead(const BlockEvent& event)
{
    // The runner has reported a block outside its file already.
    const BlockProgress progress = ProgressOfBlock(event.section, event.block, event.blockCount);
    if (progress.inFile)
    {
        m_section = SectionName(progress.bar);
        m_percent = progress.percent.c_str();
    }
    m_sendingLine = progress.sendingLine.c_str();
    m_blocksDone = event.blocksDone;
    m_blocksTotal = event.blocksTotal;
}

void CPortReporter::ShowSendingLine(std::uint32_t block)
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
    Log(m_sendingLine, false);
    if (!m_console.Terminal())
    {
        m_console.Line(m_slot, m_sendingLine);
    }
}

void CPortReporter::CommitSendingLine()
{
    if (!m_pendingSendingLine.empty())
    {
        m_console.Line(m_slot, m_pendingSendingLine);
        m_pendingSendingLine.clear();
        UpdateStatus(true);
    }
}

void CPortReporter::StopwatchRestarted()
{
    m_stopwatch = Clock::now();
    m_stopwatchRunning = true;
}

void CPortReporter::UpdateStatus(bool force)
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
    const std::uint64_t total = m_blocksTotal;
    const double rate = BlocksPerSecond(m_transfer, now);
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

void CPortReporter::DownloadEnded(const DownloadResult& result)
{
    if (m_console.Terminal())
    {
        char line[160];
        std::snprintf(line, sizeof line, "%s in %.1f s, %u blocks, %.1f blk/s",
                      ExitCodeVerdict(result.exitCode), result.seconds, result.blocks,
                      result.blocksPerSecond);
        m_console.Status(m_slot, line);
    }
}
