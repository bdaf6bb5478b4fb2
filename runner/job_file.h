// The job file: a download job as JSON, with the field names of `tervolo-cli download`'s options,
// so that one file serves the console program and the station alike:
//
//   {"model": "RT47", "baud": 115200, "sections": ["main", "lp"], "image": "main.rel",
//    "image_sha256": "…", "lp": "lang.rel", "lp_sha256": "…", "journal": "line3.jsonl",
//    "ports": ["COM3", "COM4"], "yes": false, "station": true, "count": 0, "timeout": 30,
//    "gang": false}
//
// Every field may be left out (the option's default then holds). "sections" chooses which of the
// files are sent; without it, every file named is. A "*_sha256" approves that file's content:
// any other content is refused before anything is sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The longest time-out: about 31 years, far inside what the port loop's clock deadline holds
// (its nanoseconds overflow after 292 years).
constexpr double kMaxTimeoutSeconds = 1e9;

struct JobFile
{
    std::string model;
    std::uint32_t baudRate = 115200;
    bool bootCode = false; // "sections" holds "boot"
    bool mainCode = false; // "sections" holds "main": the image is sent
    bool languagePack = false;
    std::string imagePath;
    std::string imageSha256; // 64 lower-case hex digits; empty: any content
    std::string lpPath;
    std::string lpSha256;
    std::string journalPath;
    std::vector<std::string> ports;
    bool yes = false;
    bool station = false;
    bool gangMode = false;
    unsigned count = 0;
    double timeoutSeconds = 30.0;

    bool operator==(const JobFile& other) const;
};

// Reads a job from its text. False with `error` naming the field at fault (or saying that the
// text is no JSON object); `job` is then not to be used.
bool ParseJob(const std::string& text, JobFile& job, std::string& error);
// The same from a file; `error` then starts with the file's path.
bool ReadJobFile(const std::string& path, JobFile& job, std::string& error);
// The job as the text of a job file (every field written out), which ParseJob reads back alike.
std::string JobText(const JobFile& job);
// Writes JobText(job) as the whole file; false with `error` naming the file when it could not be.
bool WriteJobFile(const std::string& path, const JobFile& job, std::string& error);

// Whether the file at `path` has the approved content `sha256` (empty: anything is approved).
// False with `error` naming the file and the job's field (`field`, "image_sha256" or
// "lp_sha256"), or saying why the file could not be read.
bool IsApprovedFile(const std::string& path, const std::string& sha256, const char* field,
                    std::string& error);
