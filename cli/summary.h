// The end of a run: the exit status, the summary table and the --json objects.
#pragma once

#include "cli/cli_options.h"
#include "runner/port_session.h"

#include <string>
#include <vector>

struct PortReport
{
    std::string port;
    std::vector<DownloadResult> results; // one per download; station mode: several or none
};

// A port's status: its first download that did not succeed decides; a station that ended while
// waiting for its next handset, with no download failed, counts as a success.
int PortExitCode(const PortReport& report);
// 0 when every port succeeded, otherwise the code of the first port (in --port order) that did
// not.
int OverallExitCode(const std::vector<PortReport>& reports);

// A table with a row per port: the handset and verdict of one download, or the passes and
// failures of a station.
std::string SummaryTable(const std::vector<PortReport>& reports, bool station);

// One line of JSON for the port (see the README's "Line automation").
std::string PortJson(const PortReport& report, const CliOptions& options);
