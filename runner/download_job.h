// The job every port of a run shares, and where its journal lines go.
#pragma once

#include "protocol/download_engine.h"
#include "runner/download_record.h"
#include "runner/job_file.h"
#include "runner/release_image.h"

#include <memory>
#include <string>

// Where each download's line of the journal goes; any port's thread.
class DownloadJournal
{
public:
    // False when the line could not be written.
    virtual bool Record(const std::string& port, const DownloadResult& result) = 0;

protected:
    ~DownloadJournal() = default;
};

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
    DownloadJournal* journal = nullptr; // a line per download; none when null
};

// Reads the release files into `job` (an empty path: that section is not sent) and sets the
// sections, block counts and model fields of its setup from them. False with `error` set, the
// window's message for the file, when one cannot be sent.
bool LoadReleaseFiles(DownloadJob& job, const std::string& imagePath, const std::string& lpPath,
                      std::string& error);

// The whole job of a job file: its choices into the setup, its files read and checked against
// their approved content. False with `error` set (the file's message, or the approval's).
bool LoadJob(const JobFile& file, DownloadJob& job, std::string& error);
