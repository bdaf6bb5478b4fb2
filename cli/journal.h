// The traceability journal (--journal FILE): one JSON line per download, station mode included,
// saying which firmware went into which handset, when, where and with what verdict.
#pragma once

#include "cli/cli_options.h"
#include "cli/journal_file.h"
#include "runner/port_session.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

// What every line of one run shares.
struct JournalRun
{
    struct File
    {
        std::string section; // "image" or "lp"
        std::string path;    // absolute
        std::string sha256;
    };
    std::string version;
    std::string host;
    std::string model;
    std::vector<std::string> sections; // "boot", "main", "lp"
    std::vector<File> files;
};

// UTC time as ISO 8601 with milliseconds: "2026-12-07T16:20:33.125Z".
std::string UtcTimeText(std::chrono::system_clock::time_point time);

// One journal line (with its line end) for a download on `port`.
std::string JournalLine(const JournalRun& run, const std::string& port,
                        const DownloadResult& result);

class CJournal : public DownloadJournal
{
public:
    // Opens the journal of --journal and fingerprints the release files; null with `error` set
    // when the file cannot be opened or a release file cannot be read.
    static std::unique_ptr<CJournal> Open(const CliOptions& options, std::string& error);
    // Any port's thread: appends the download's line. False when it could not be written.
    bool Record(const std::string& port, const DownloadResult& result) override;

private:
    CAppendFile m_file;
    JournalRun m_run;
};
