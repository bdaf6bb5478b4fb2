#include "runner/job_file.h"

#include "protocol/frames.h"
#include "runner/sha256.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <tuple>

namespace
{

constexpr std::size_t kSha256HexDigits = 64;

const char kBoot[] = "boot";
const char kMain[] = "main";
const char kLp[] = "lp";

using Json = nlohmann::json;

// A bad field: its name and what is wrong with it, thrown to the one place that words it.
struct FieldError
{
    std::string field;
    std::string problem;
};

std::string Text(const Json& value, const char* field)
{
    if (!value.is_string() || value.get<std::string>().empty())
    {
        throw FieldError{field, "must be a text that is not empty"};
    }
    // Paths and ports are opened by their C text, which would end at the NUL.
    if (value.get<std::string>().find('\0') != std::string::npos)
    {
        throw FieldError{field, "must not hold a NUL character (\\u0000)"};
    }
    return value.get<std::string>();
}

bool Flag(const Json& value, const char* field)
{
    if (!value.is_boolean())
    {
        throw FieldError{field, "must be true or false"};
    }
    return value.get<bool>();
}

std::vector<std::string> Names(const Json& value, const char* field)
{
    if (!value.is_array())
    {
        throw FieldError{field, "must be a list of texts"};
    }
    std::vector<std::string> names;
    for (const Json& item : value)
    {
        const std::string name = Text(item, field);
        if (std::find(names.begin(), names.end(), name) != names.end())
        {
            throw FieldError{field, "names \"" + name + "\" twice"};
        }
        names.push_back(name);
    }
    return names;
}

std::string Sha256(const Json& value, const char* field)
{
    std::string hex = Text(value, field);
    std::transform(hex.begin(), hex.end(), hex.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (hex.size() != kSha256HexDigits ||
        !std::all_of(hex.begin(), hex.end(), [](unsigned char c) { return std::isxdigit(c) != 0; }))
    {
        throw FieldError{field, "must be a SHA-256: 64 hex digits"};
    }
    return hex;
}

std::uint32_t BaudRate(const Json& value)
{
    if (value.is_number_unsigned())
    {
        for (int index = 0; index < kBaudRateCount; ++index)
        {
            if (BaudRateAt(index) == value.get<std::uint64_t>())
            {
                return BaudRateAt(index);
            }
        }
    }
    throw FieldError{"baud", "must be one of 115200, 57600, 38400, 19200"};
}

void ReadSections(const Json& value, JobFile& job)
{
    for (const std::string& name : Names(value, "sections"))
    {
        if (name == kBoot)
        {
            job.bootCode = true;
        }
        else if (name == kMain)
        {
            job.mainCode = true;
        }
        else if (name == kLp)
        {
            job.languagePack = true;
        }
        else
        {
            throw FieldError{"sections", "holds \"" + name + "\": only boot, main and lp are"};
        }
    }
    if (job.bootCode && !job.mainCode)
    {
        throw FieldError{"sections", "holds boot without main: the boot code is the image's"};
    }
}

void ReadField(const std::string& name, const Json& value, JobFile& job)
{
    if (name == "model")
    {
        job.model = Text(value, "model");
    }
    else if (name == "baud")
    {
        job.baudRate = BaudRate(value);
    }
    else if (name == "sections")
    {
        ReadSections(value, job);
    }
    else if (name == "image")
    {
        job.imagePath = Text(value, "image");
    }
    else if (name == "image_sha256")
    {
        job.imageSha256 = Sha256(value, "image_sha256");
    }
    else if (name == "lp")
    {
        job.lpPath = Text(value, "lp");
    }
    else if (name == "lp_sha256")
    {
        job.lpSha256 = Sha256(value, "lp_sha256");
    }
    else if (name == "journal")
    {
        job.journalPath = Text(value, "journal");
    }
    else if (name == "ports")
    {
        job.ports = Names(value, "ports");
    }
    else if (name == "yes")
    {
        job.yes = Flag(value, "yes");
    }
    else if (name == "station")
    {
        job.station = Flag(value, "station");
    }
    else if (name == "gang")
    {
        job.gangMode = Flag(value, "gang");
    }
    else if (name == "count")
    {
        if (!value.is_number_unsigned() || value.get<std::uint64_t>() == 0 ||
            value.get<std::uint64_t>() > 0xFFFFFFFFu)
        {
            throw FieldError{"count", "must be a whole number from 1 on"};
        }
        job.count = value.get<unsigned>();
    }
    else if (name == "timeout")
    {
        if (!value.is_number() || value.get<double>() < 0)
        {
            throw FieldError{"timeout", "must be a number of seconds, 0 or more"};
        }
        if (value.get<double>() > kMaxTimeoutSeconds)
        {
            throw FieldError{"timeout", "must be at most 1000000000 seconds"};
        }
        job.timeoutSeconds = value.get<double>();
    }
    else
    {
        throw FieldError{name, "is not a field of a job"};
    }
}

// What the fields say together.
void CheckTogether(const Json& object, JobFile& job)
{
    if (!object.contains("sections"))
    {
        job.mainCode = !job.imagePath.empty();
        job.languagePack = !job.lpPath.empty();
    }
    if (job.mainCode && job.imagePath.empty())
    {
        throw FieldError{"image", "is missing: \"sections\" holds main"};
    }
    if (job.languagePack && job.lpPath.empty())
    {
        throw FieldError{"lp", "is missing: \"sections\" holds lp"};
    }
    if (job.count > 0 && !job.station)
    {
        throw FieldError{"count", "needs \"station\": true"};
    }
}

} // namespace

bool JobFile::operator==(const JobFile& other) const
{
    const auto fields = [](const JobFile& job)
    {
        return std::tie(job.model, job.baudRate, job.bootCode, job.mainCode, job.languagePack,
                        job.imagePath, job.imageSha256, job.lpPath, job.lpSha256, job.journalPath,
                        job.ports, job.yes, job.station, job.gangMode, job.count,
                        job.timeoutSeconds);
    };
    return fields(*this) == fields(other);
}

bool ParseJob(const std::string& text, JobFile& job, std::string& error)
{
    job = JobFile();
    const Json object = Json::parse(text, nullptr, false);
    if (object.is_discarded() || !object.is_object())
    {
        error = "not a job: a JSON object is expected";
        return false;
    }
    try
    {
        for (const auto& field : object.items())
        {
            ReadField(field.key(), field.value(), job);
        }
        CheckTogether(object, job);
    }
    catch (const FieldError& bad)
    {
        error = "\"" + bad.field + "\" " + bad.problem;
        return false;
    }
    return true;
}

bool ReadJobFile(const std::string& path, JobFile& job, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf()))
    {
        error = path + ": the job file cannot be read";
        return false;
    }
    if (!ParseJob(text.str(), job, error))
    {
        error = path + ": " + error;
        return false;
    }
    return true;
}

std::string JobText(const JobFile& job)
{
    Json sections = Json::array();
    if (job.bootCode)
    {
        sections.push_back(kBoot);
    }
    if (job.mainCode)
    {
        sections.push_back(kMain);
    }
    if (job.languagePack)
    {
        sections.push_back(kLp);
    }
    Json object = Json::object();
    const auto text = [&object](const char* name, const std::string& value)
    {
        if (!value.empty())
        {
            object[name] = value;
        }
    };
    text("model", job.model);
    object["baud"] = job.baudRate;
    object["sections"] = sections;
    text("image", job.imagePath);
    text("image_sha256", job.imageSha256);
    text("lp", job.lpPath);
    text("lp_sha256", job.lpSha256);
    text("journal", job.journalPath);
    object["ports"] = job.ports;
    object["yes"] = job.yes;
    object["station"] = job.station;
    object["gang"] = job.gangMode;
    if (job.count > 0)
    {
        object["count"] = job.count;
    }
    object["timeout"] = job.timeoutSeconds;
    return object.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool WriteJobFile(const std::string& path, const JobFile& job, std::string& error)
{
    const std::string text = JobText(job);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file || !file.write(text.data(), static_cast<std::streamsize>(text.size())) ||
        !file.flush())
    {
        error = path + ": the job file cannot be written";
        return false;
    }
    return true;
}

bool IsApprovedFile(const std::string& path, const std::string& sha256, const char* field,
                    std::string& error)
{
    if (sha256.empty() || path.empty())
    {
        return true; // nothing to approve, or no such file sent
    }
    std::string actual;
    if (!Sha256OfFile(path, actual, error))
    {
        return false;
    }
    if (actual != sha256)
    {
        error = path + " is not the approved file: its SHA-256 is " + actual + ", the job's " +
                field + " is " + sha256 + "; nothing was sent";
        return false;
    }
    return true;
}
