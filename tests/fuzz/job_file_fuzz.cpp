// The job file (tervolo-cli --job, the station): any text. A job that is read must be one the
// download can carry out, and its text (JobText) must read back as the same job.
#include "fuzz_check.h"
#include "protocol/frames.h"
#include "runner/job_file.h"

#include <cmath>
#include <string>

namespace
{
bool IsSha256Text(const std::string& text)
{
    if (text.size() != 64)
    {
        return false;
    }
    for (const char c : text)
    {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
        {
            return false;
        }
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    JobFile job;
    std::string error;
    if (!ParseJob(text, job, error))
    {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    bool knownRate = false;
    for (int index = 0; index < kBaudRateCount; ++index)
    {
        knownRate = knownRate || BaudRateAt(index) == job.baudRate;
    }
    FUZZ_CHECK(knownRate);
    FUZZ_CHECK(!job.bootCode || job.mainCode);
    FUZZ_CHECK(!job.mainCode || !job.imagePath.empty());
    FUZZ_CHECK(!job.languagePack || !job.lpPath.empty());
    FUZZ_CHECK(job.imageSha256.empty() || IsSha256Text(job.imageSha256));
    FUZZ_CHECK(job.lpSha256.empty() || IsSha256Text(job.lpSha256));
    FUZZ_CHECK(job.count == 0 || job.station);
    // A text is what the program opens and shows: a NUL would cut it there.
    for (const std::string* text : {&job.model, &job.imagePath, &job.lpPath, &job.journalPath})
    {
        FUZZ_CHECK(text->find('\0') == std::string::npos);
    }
    for (const std::string& port : job.ports)
    {
        FUZZ_CHECK(port.find('\0') == std::string::npos);
    }
    // The port loop turns the time-out into a clock deadline.
    FUZZ_CHECK(std::isfinite(job.timeoutSeconds) && job.timeoutSeconds >= 0.0);
    FUZZ_CHECK(job.timeoutSeconds <= kMaxTimeoutSeconds);

    JobFile again;
    const std::string written = JobText(job);
    FUZZ_CHECK(ParseJob(written, again, error));
    FUZZ_CHECK(again == job);
    return 0;
}
