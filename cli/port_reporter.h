// What one port shows of its downloads: the report lines on the console and in the port's log
// and, on a terminal, its live status line (the "Sending Block" line, section, percentage, rate,
// time left and the elapsed time). The port's thread only.
#pragma once

#include "base/unique_file.h"
#include "cli/console.h"
#include "cli/download_record.h"

#include <chrono>
#include <cstdint>
#include <string>

struct DownloadSetup;

class CPortReporter
{
public:
    // logPath: the report's log (none when empty). The status line reads its figures from
    // `record`.
    CPortReporter(CConsole& console, std::size_t slot, const std::string& logPath,
                  const DownloadSetup& setup, const CDownloadRecord& record);

    // False when the log file could not be created.
    bool LogOpen() const { return m_logPath.empty() || m_log != nullptr; }
    // A new download: nothing shown of it yet.
    void Begin();

    // A line of the report; the last one before an abort is its reason.
    void Line(const std::string& text);
    // A line that is no reason for anything (a block's progress).
    void PlainLine(const std::string& text);
    // A failure of the channel: in the log, and on standard error.
    void Error(const std::string& text);
    // The engine's message box as a report line; the abort's box repeats the line just written.
    void Message(const char* text);
    // A note in the log alone.
    void LogNote(const char* text);

    // The block about to go out: its section, percentage and "Sending Block" line.
    void BlockAhead(Section section, std::uint32_t block);
    const std::string& SendingLine() const { return m_sendingLine; }
    // The "Sending Block" line as it is shown; block 0 starts a new one.
    void ShowSendingLine(std::uint32_t block);

    void RestartStopwatch();
    // Redraws the status line on a terminal; without `force` at most every status period.
    void UpdateStatus(bool force);
    // The terminal's status line once the download has ended.
    void Finished(const DownloadResult& result);
    const std::string& LastLine() const { return m_lastLine; }

private:
    using Clock = std::chrono::steady_clock;

    void CommitSendingLine();
    void Log(const std::string& text, bool flush);

    CConsole& m_console;
    const std::size_t m_slot;
    const std::string m_logPath;
    UniqueFile m_log;
    const DownloadSetup& m_setup;
    const CDownloadRecord& m_record;

    // Per download.
    std::string m_lastLine;
    std::string m_sendingLine;
    std::string m_pendingSendingLine; // shown only in the status line so far
    std::string m_section;
    std::string m_percent;
    std::uint64_t m_blocksDone = 0;
    Clock::time_point m_lastStatus;
    Clock::time_point m_stopwatch;
    bool m_stopwatchRunning = false;
};
