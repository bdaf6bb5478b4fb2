// What one port shows of its downloads, as the console's observer of its runner: the report
// lines on the console and in the port's log and, on a terminal, its live status line (the
// "Sending Block" line, section, percentage, rate, time left and the elapsed time). The port's
// thread only.
#pragma once

#include "base/unique_file.h"
#include "cli/console.h"
#include "runner/port_observer.h"

#include <chrono>
#include <cstdint>
#include <string>

class CPortReporter : public PortObserver
{
public:
    // logPath: the report's log (none when empty).
    CPortReporter(CConsole& console, std::size_t slot, const std::string& logPath);

    // False when the log file could not be created.
    bool LogOpen() const { return m_logPath.empty() || m_log != nullptr; }

    // PortObserver.
    void DownloadBegun() override;
    void PhaseChanged(PortPhase) override {}
    void ReportLine(ReportKind kind, const std::string& text) override;
    void BlockProgressed(const BlockEvent& event) override;
    void HandsetIdentified(const std::string&, const std::string&) override {}
    void StopwatchRestarted() override;
    void ElapsedTick(const TransferFigures& transfer) override;
    void TransferEnded(const TransferFigures& transfer) override { m_transfer = transfer; }
    void DownloadEnded(const DownloadResult& result) override;
    // The failure's line has been shown already.
    void PortFailed(const DownloadResult&) override {}
    void JournalWritten(bool) override {}

private:
    using Clock = std::chrono::steady_clock;

    // The block about to go out: its section, percentage and "Sending Block" line.
    void BlockAhead(const BlockEvent& event);
    // The "Sending Block" line as it is shown; block 0 starts a new one.
    void ShowSendingLine(std::uint32_t block);
    // Redraws the status line on a terminal; without `force` at most every status period.
    void UpdateStatus(bool force);
    void CommitSendingLine();
    void Log(const std::string& text, bool flush);

    CConsole& m_console;
    const std::size_t m_slot;
    const std::string m_logPath;
    UniqueFile m_log;

    // Per download.
    std::string m_sendingLine;
    std::string m_pendingSendingLine; // shown only in the status line so far
    std::string m_section;
    std::string m_percent;
    std::uint64_t m_blocksDone = 0;
    std::uint64_t m_blocksTotal = 0;
    TransferFigures m_transfer;
    Clock::time_point m_lastStatus;
    Clock::time_point m_stopwatch;
    bool m_stopwatchRunning = false;
};
