// The traceability journal (tervolo-cli --journal FILE, a station's "journal"): one JSON line per
// download, station mode included,
// saying which firmware went into which handset, when, where and with what verdict.
#pragma once

#include "runner/journal_file.h"
#include "runner/download_job.h"

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

// One journal line (with its line end) for a download on `port`; a station's adds its `tile`
// (1 to 8; 0: none).
std::string JournalLine(const JournalRun& run, const std::string& port,
                        const DownloadResult& result, unsigned tile = 0);

// What a journal is opened with: its file, and the job's model and files.
struct JournalSetup
{
    std::string path;
    std::string model;
    bool bootCode = false;
    std::string imagePath; // empty: no main code
    std::string lpPath;    // empty: no language pack
};

class CJournal final : public DownloadJournal
{
public:
    // Opens the journal and fingerprints the release files; null with `error` set when the
    // file cannot be opened or a release file cannot be read.
    static std::unique_ptr<CJournal> Open(const JournalSetup& setup, std::string& error);
    // Any port's thread: appends the download's line. False when it could not be written.
    bool Record(const std::string& port, const DownloadResult& result) override;
    // The same for a station's tile.
    bool RecordTile(const std::string& port, unsigned tile, const DownloadResult& result);

private:
    CAppendFile m_file;
    JournalRun m_run;
};
