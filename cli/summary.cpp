#include "cli/summary.h"

#include "runner/exit_codes.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace
{

unsigned Passes(const PortReport& report)
{
    unsigned passes = 0;
    for (const DownloadResult& result : report.results)
    {
        passes += result.exitCode == kExitSuccess ? 1 : 0;
    }
    return passes;
}

nlohmann::json ResultJson(const DownloadResult& result)
{
    nlohmann::json object;
    object["product_id"] = result.productId;
    object["mobile_id"] = result.mobileId;
    object["verdict"] = ExitCodeVerdict(result.exitCode);
    object["exit_code"] = result.exitCode;
    object["seconds"] = result.seconds;
    object["blocks"] = result.blocks;
    object["blocks_per_second"] = result.blocksPerSecond;
    if (!result.reason.empty())
    {
        object["reason"] = result.reason;
    }
    return object;
}

} // namespace

int PortExitCode(const PortReport& report)
{
    for (const DownloadResult& result : report.results)
    {
        if (result.exitCode != kExitSuccess)
        {
            return result.exitCode;
        }
    }
    return kExitSuccess;
}

int OverallExitCode(const std::vector<PortReport>& reports)
{
    for (const PortReport& report : reports)
    {
        const int code = PortExitCode(report);
        if (code != kExitSuccess)
        {
            return code;
        }
    }
    return kExitSuccess;
}

std::string SummaryTable(const std::vector<PortReport>& reports, bool station)
{
    std::string table;
    char row[256];
    if (station)
    {
        std::snprintf(row, sizeof row, "%-16s %9s %6s %6s %4s\n", "Port", "Downloads", "Passed",
                      "Failed", "Exit");
        table += row;
        for (const PortReport& report : reports)
        {
            const unsigned passes = Passes(report);
            std::snprintf(row, sizeof row, "%-16s %9zu %6u %6zu %4d\n", report.port.c_str(),
                          report.results.size(), passes, report.results.size() - passes,
                          PortExitCode(report));
            table += row;
        }
        return table;
    }
    std::snprintf(row, sizeof row, "%-16s %-16s %-6s %-12s %4s %8s %6s %8s\n", "Port", "Product",
                  "Mobile", "Verdict", "Exit", "Seconds", "Blocks", "Blocks/s");
    table += row;
    for (const PortReport& report : reports)
    {
        const DownloadResult result =
            report.results.empty() ? DownloadResult() : report.results.front();
        std::snprintf(row, sizeof row, "%-16s %-16s %-6s %-12s %4d %8.1f %6u %8.1f\n",
                      report.port.c_str(),
                      result.productId.empty() ? "-" : result.productId.c_str(),
                      result.mobileId.empty() ? "-" : result.mobileId.c_str(),
                      ExitCodeVerdict(result.exitCode), result.exitCode, result.seconds,
                      result.blocks, result.blocksPerSecond);
        table += row;
    }
    return table;
}

std::string PortJson(const PortReport& report, const CliOptions& options)
{
    nlohmann::json sections = nlohmann::json::array();
    if (options.bootCode)
    {
        sections.push_back("boot");
    }
    if (!options.imagePath.empty())
    {
        sections.push_back("main");
    }
    if (!options.lpPath.empty())
    {
        sections.push_back("lp");
    }
    const int code = PortExitCode(report);
    nlohmann::json object;
    object["port"] = report.port;
    object["model"] = options.model;
    object["sections"] = sections;
    if (!options.station)
    {
        const DownloadResult result =
            report.results.empty() ? DownloadResult() : report.results.front();
        object.update(ResultJson(result));
        return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    // A station: the totals, the last handset's ids, and every download.
    const DownloadResult last = report.results.empty() ? DownloadResult() : report.results.back();
    object["product_id"] = last.productId;
    object["mobile_id"] = last.mobileId;
    object["verdict"] = ExitCodeVerdict(code);
    object["exit_code"] = code;
    double seconds = 0.0;
    unsigned blocks = 0;
    nlohmann::json downloads = nlohmann::json::array();
    for (const DownloadResult& result : report.results)
    {
        seconds += result.seconds;
        blocks += result.blocks;
        downloads.push_back(ResultJson(result));
    }
    object["seconds"] = seconds;
    object["blocks"] = blocks;
    object["blocks_per_second"] = seconds > 0 ? blocks / seconds : 0.0;
    object["passed"] = Passes(report);
    object["failed"] = report.results.size() - Passes(report);
    object["downloads"] = downloads;
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
