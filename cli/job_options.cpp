#include "cli/job_options.h"

std::string ApplyJob(const JobFile& job, const std::function<bool(const char* option)>& given,
                     CliOptions& options)
{
    if (!given("--model") && !job.model.empty())
    {
        if (!IsKnownModel(job.model))
        {
            return "the job's \"model\" " + job.model + " is not a model tervolo-cli knows.";
        }
        options.model = job.model;
    }
    if (!given("--port"))
    {
        options.ports = job.ports;
    }
    if (!given("--baud"))
    {
        options.baudRate = job.baudRate;
    }
    if (!given("--image") && job.mainCode)
    {
        options.imagePath = job.imagePath;
    }
    if (!given("--lp") && job.languagePack)
    {
        options.lpPath = job.lpPath;
    }
    if (!given("--journal"))
    {
        options.journalPath = job.journalPath;
    }
    if (!given("--count"))
    {
        options.count = job.count;
    }
    if (!given("--timeout"))
    {
        options.timeoutSeconds = job.timeoutSeconds;
    }
    options.bootCode = options.bootCode || job.bootCode;
    options.yes = options.yes || job.yes;
    options.station = options.station || job.station;
    options.gangMode = options.gangMode || job.gangMode;
    // The approval is of the content, whichever path names it.
    options.imageSha256 = job.imageSha256;
    options.lpSha256 = job.lpSha256;
    if (options.ports.empty())
    {
        return "No port: give --port or the job's \"ports\".";
    }
    if (options.model.empty())
    {
        return "No model: give --model or the job's \"model\".";
    }
    return std::string();
}
