// The journal's JSON writer: texts from the handset, paths and ports as the operator or the
// file system gave them (quotes, control characters, invalid UTF-8, code-page bytes), times far
// from now. Each line must be one line that parses back to what was written, with the bytes of
// a text that is not UTF-8 replaced rather than the line lost.
#include "runner/exit_codes.h"
#include "runner/journal.h"
#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <ctime>
#include <string>

namespace
{
bool IsUtf8(const std::string& text)
{
    try
    {
        (void)nlohmann::json(text).dump();
        return true;
    }
    catch (const nlohmann::json::type_error&)
    {
        return false;
    }
}

// What a text reads back as: itself, or (not UTF-8) a text with replacement characters.
void CheckText(const nlohmann::json& value, const std::string& written)
{
    FUZZ_CHECK(value.is_string());
    const std::string read = value.get<std::string>();
    if (IsUtf8(written))
    {
        FUZZ_CHECK(read == written);
    }
    else
    {
        FUZZ_CHECK(read.find("\xEF\xBF\xBD") != std::string::npos);
    }
}

// The C library's reading of the same instant, for the times it can show.
void CheckTime(const nlohmann::json& value, std::int64_t ms)
{
    FUZZ_CHECK(value.is_string());
    const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    std::tm utc = {};
    if (ms < -62135596800000LL || ms > 253402300799999LL || gmtime_r(&seconds, &utc) == nullptr)
    {
        return; // outside years 1 to 9999
    }
    char expected[40];
    std::snprintf(expected, sizeof expected, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ",
                  utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                  utc.tm_sec, static_cast<int>(((ms % 1000) + 1000) % 1000));
    FUZZ_CHECK(value.get<std::string>() == expected);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    JournalRun run;
    run.version = input.ConsumeRandomLengthString(16);
    run.host = input.ConsumeRandomLengthString(64);
    run.model = input.ConsumeRandomLengthString(8);
    const std::size_t sections = input.ConsumeIntegralInRange<std::size_t>(0, 3);
    for (std::size_t i = 0; i < sections; ++i)
    {
        run.sections.push_back(input.ConsumeRandomLengthString(8));
    }
    const std::size_t files = input.ConsumeIntegralInRange<std::size_t>(0, 2);
    for (std::size_t i = 0; i < files; ++i)
    {
        run.files.push_back({input.ConsumeRandomLengthString(8),
                             input.ConsumeRandomLengthString(128),
                             input.ConsumeRandomLengthString(64)});
    }
    const std::string port = input.ConsumeRandomLengthString(64);
    DownloadResult result;
    const int codes[] = {kExitSuccess,   kExitVerdictFailed, kExitAborted,
                         kExitPortError, kExitBadArguments,  kExitInterrupted};
    result.exitCode = input.PickValueInArray(codes);
    result.productId = input.ConsumeRandomLengthString(16);
    result.mobileId = input.ConsumeRandomLengthString(5);
    result.reason = input.ConsumeRandomLengthString(128);
    result.seconds = input.ConsumeFloatingPoint<double>();
    // Milliseconds since 1970 within what the clock's nanoseconds can hold.
    const std::int64_t range = INT64_MAX / 1000000 - 1;
    const std::int64_t startMs = input.ConsumeIntegralInRange<std::int64_t>(-range, range);
    const std::int64_t endMs = input.ConsumeIntegralInRange<std::int64_t>(-range, range);
    result.started = std::chrono::system_clock::time_point(std::chrono::milliseconds(startMs));
    result.ended = std::chrono::system_clock::time_point(std::chrono::milliseconds(endMs));

    const unsigned tile = input.ConsumeIntegralInRange<unsigned>(0, 8); // a station's, 1 to 8
    const std::string line = JournalLine(run, port, result, tile);
    FUZZ_CHECK(!line.empty() && line.back() == '\n');
    FUZZ_CHECK(line.find('\n') == line.size() - 1 && line.find('\r') == std::string::npos);
    const nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
    FUZZ_CHECK(parsed.is_object());

    CheckText(parsed["host"], run.host);
    CheckText(parsed["port"], port);
    CheckText(parsed["model"], run.model);
    CheckText(parsed["product_id"], result.productId);
    CheckText(parsed["mobile_id"], result.mobileId);
    CheckText(parsed["version"], run.version);
    CheckTime(parsed["start"], startMs);
    CheckTime(parsed["end"], endMs);
    FUZZ_CHECK(parsed["sections"].size() == run.sections.size());
    for (std::size_t i = 0; i < run.sections.size(); ++i)
    {
        CheckText(parsed["sections"][i], run.sections[i]);
    }
    FUZZ_CHECK(parsed["files"].size() == run.files.size());
    for (std::size_t i = 0; i < run.files.size(); ++i)
    {
        CheckText(parsed["files"][i]["section"], run.files[i].section);
        CheckText(parsed["files"][i]["path"], run.files[i].path);
        CheckText(parsed["files"][i]["sha256"], run.files[i].sha256);
    }
    FUZZ_CHECK(parsed.contains("tile") == (tile > 0) && (tile == 0 || parsed["tile"] == tile));
    FUZZ_CHECK(parsed["exit_code"] == result.exitCode);
    FUZZ_CHECK(parsed["verdict"] == ExitCodeVerdict(result.exitCode));
    FUZZ_CHECK(parsed.contains("reason") == (result.exitCode != kExitSuccess));
    if (result.exitCode != kExitSuccess)
    {
        CheckText(parsed["reason"], result.reason);
    }
    // A time that is no number (NaN, infinite) is written as null, never as a bare word.
    if (std::isfinite(result.seconds))
    {
        FUZZ_CHECK(parsed["seconds"].is_number());
    }
    else
    {
        FUZZ_CHECK(parsed["seconds"].is_null());
    }
    return 0;
}
