#include "runner/journal.h"

#include "runner/exit_codes.h"
#include "runner/sha256.h"
#include "tervolo_version.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>

namespace
{

// Days since 1970-01-01 to a civil date (proleptic Gregorian), without the C library's
// non-reentrant gmtime.
void CivilDate(long long days, long long& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    year = static_cast<long long>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

std::string AbsolutePath(const std::string& path)
{
    std::error_code failed;
    const std::filesystem::path absolute = std::filesystem::absolute(path, failed);
    return failed ? path : absolute.string();
}

} // namespace

std::string UtcTimeText(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const long long ms = duration_cast<milliseconds>(time.time_since_epoch()).count();
    const long long msPerDay = 86400000;
    long long days = ms / msPerDay;
    long long inDay = ms % msPerDay;
    if (inDay < 0)
    {
        inDay += msPerDay;
        --days;
    }
    long long year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilDate(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ", year, month,
                  day, inDay / 3600000, inDay / 60000 % 60, inDay / 1000 % 60, inDay % 1000);
    return text;
}

std::string JournalLine(const JournalRun& run, const std::string& port,
                        const DownloadResult& result, unsigned tile)
{
    nlohmann::json files = nlohmann::json::array();
    for (const JournalRun::File& file : run.files)
    {
        files.push_back({{"section", file.section}, {"path", file.path}, {"sha256", file.sha256}});
    }
    nlohmann::json line;
    line["start"] = UtcTimeText(result.started);
    line["end"] = UtcTimeText(result.ended);
    line["host"] = run.host;
    line["port"] = port;
    if (tile > 0)
    {
        line["tile"] = tile;
    }
    line["model"] = run.model;
    line["product_id"] = result.productId;
    line["mobile_id"] = result.mobileId;
    line["sections"] = run.sections;
    line["files"] = files;
    line["verdict"] = ExitCodeVerdict(result.exitCode);
    line["exit_code"] = result.exitCode;
    line["seconds"] = result.seconds;
    if (result.exitCode != kExitSuccess)
    {
        line["reason"] = result.reason;
    }
    line["version"] = run.version;
    // Paths and handset texts that are not UTF-8 must not cost the line.
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::unique_ptr<CJournal> CJournal::Open(const JournalSetup& options, std::string& error)
{
    std::unique_ptr<CJournal> journal(new CJournal());
    std::string reason;
    if (!journal->m_file.Open(options.path, reason))
    {
        error = "cannot open journal " + options.path + ": " + reason;
        return nullptr;
    }
    JournalRun& run = journal->m_run;
    run.version = TERVOLO_VERSION_TEXT;
    run.host = HostName();
    run.model = options.model;
    if (options.bootCode)
    {
        run.sections.push_back("boot");
    }
    if (!options.imagePath.empty())
    {
        run.sections.push_back("main");
        run.files.push_back({"image", options.imagePath, std::string()});
    }
    if (!options.lpPath.empty())
    {
        run.sections.push_back("lp");
        run.files.push_back({"lp", options.lpPath, std::string()});
    }
    for (JournalRun::File& file : run.files)
    {
        if (!Sha256OfFile(file.path, file.sha256, error))
        {
            return nullptr;
        }
        file.path = AbsolutePath(file.path);
    }
    return journal;
}

bool CJournal::Record(const std::string& port, const DownloadResult& result)
{
    return m_file.Append(JournalLine(m_run, port, result));
}

bool CJournal::RecordTile(const std::string& port, unsigned tile, const DownloadResult& result)
{
    return m_file.Append(JournalLine(m_run, port, result, tile));
}
