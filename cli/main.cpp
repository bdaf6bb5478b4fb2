// tervolo-cli: the download engine of the window, driven from a console for production lines,
// test racks and build servers. One download per port, all ports in parallel.
#include "cli/cli_options.h"
#include "cli/console.h"
#include "runner/exit_codes.h"
#include "runner/journal.h"
#include "cli/platform.h"
#include "cli/port_reporter.h"
#include "cli/summary.h"
#include "runner/job_file.h"
#include "runner/port_session.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <thread>

namespace
{

// The choices every port shares, with the release files read once.
bool PrepareJob(const CliOptions& options, DownloadJob& job)
{
    DownloadSetup& setup = job.setup;
    setup.bootCode = options.bootCode;
    setup.baudIndex = options.baudIndex;
    setup.gangMode = options.gangMode;
    setup.diagnostics = options.diagnostics;
    std::snprintf(setup.modelName, sizeof setup.modelName, "%s", options.model.c_str());

    std::string error;
    // A job's approved files: any other content is refused before a port is touched.
    if (!LoadReleaseFiles(job, options.imagePath, options.lpPath, error) ||
        !IsApprovedFile(options.imagePath, options.imageSha256, "image_sha256", error) ||
        !IsApprovedFile(options.lpPath, options.lpSha256, "lp_sha256", error))
    {
        std::fprintf(stderr, "tervolo-cli: %s\n", error.c_str());
        return false;
    }
    job.yes = options.yes;
    job.station = options.station;
    job.count = options.count;
    job.timeoutSeconds = options.timeoutSeconds;
    return true;
}

// Runs every port's downloads on a thread of its own until all have ended; a thread that cannot
// start fails its port alone.
void RunPorts(const std::vector<std::unique_ptr<CPortSession>>& sessions)
{
    // Before any thread starts, so that none of them takes the interrupt itself.
    CInterruptWatch interrupt(
        [&sessions]()
        {
            for (const std::unique_ptr<CPortSession>& session : sessions)
            {
                session->RequestStop();
            }
        });
    std::vector<std::thread> threads;
    threads.reserve(sessions.size());
    for (const std::unique_ptr<CPortSession>& session : sessions)
    {
        CPortSession* const running = session.get();
        try
        {
            threads.emplace_back([running]() { running->Run(); });
        }
        catch (const std::exception& error)
        {
            running->Fail(std::string("Cannot start the port's thread: ") + error.what());
        }
    }
    for (std::thread& thread : threads)
    {
        thread.join();
    }
}

// The summary table and the JSON lines of every port; returns the program's exit code.
int ReportResults(const std::vector<std::unique_ptr<CPortSession>>& sessions,
                  const CliOptions& options, CConsole& console, bool severalPorts)
{
    std::vector<PortReport> reports;
    for (const std::unique_ptr<CPortSession>& session : sessions)
    {
        reports.push_back(PortReport{session->Port(), session->Results()});
    }
    if (severalPorts || options.station)
    {
        console.Text("\n" + SummaryTable(reports, options.station));
    }
    if (options.json)
    {
        for (const PortReport& report : reports)
        {
            std::printf("%s\n", PortJson(report, options).c_str());
        }
        std::fflush(stdout);
    }
    return OverallExitCode(reports);
}

} // namespace

int main(int argc, char** argv)
{
    CliOptions options;
    const int parsed = ParseCommandLine(argc, argv, options, std::cout, std::cerr);
    if (parsed >= 0)
    {
        return parsed;
    }
    DownloadJob job;
    if (!PrepareJob(options, job))
    {
        return kExitBadArguments;
    }
    // Before any port is touched: a line that cannot keep its journal must not flash.
    std::unique_ptr<CJournal> journal;
    if (!options.journalPath.empty())
    {
        std::string error;
        journal = CJournal::Open(JournalSetup{options.journalPath, options.model, options.bootCode,
                                              options.imagePath, options.lpPath},
                                 error);
        if (journal == nullptr)
        {
            std::fprintf(stderr, "tervolo-cli: %s\n", error.c_str());
            return kExitBadArguments;
        }
        job.journal = journal.get();
    }

    // With --json, standard output carries only the JSON lines.
    std::FILE* const human = options.json ? stderr : stdout;
    std::size_t width = 0;
    const bool terminal = IsTerminal(human, width);
    const bool severalPorts = options.ports.size() > 1;
    CConsole console(human, terminal, options.ports.size(), width);

    // Each port's report is its runner's observer, and outlives it.
    std::vector<std::unique_ptr<CPortReporter>> reporters;
    std::vector<std::unique_ptr<CPortSession>> sessions;
    for (std::size_t slot = 0; slot < options.ports.size(); ++slot)
    {
        const std::string& port = options.ports[slot];
        const std::string logPath = PortLogPath(options.logPath, port, severalPorts);
        reporters.push_back(std::make_unique<CPortReporter>(console, slot, logPath));
        sessions.push_back(std::make_unique<CPortSession>(port, job, OpenSerialChannel,
                                                          SilentReaderEndCheck(), *reporters.back(),
                                                          PortDebugLogPath(logPath)));
        if (!reporters.back()->LogOpen())
        {
            std::fprintf(stderr, "tervolo-cli: cannot create log file %s\n", logPath.c_str());
            return kExitBadArguments;
        }
        if (severalPorts)
        {
            console.SetTag(slot, "[" + PortShortName(port) + "] ");
        }
    }

    RunPorts(sessions);
    return ReportResults(sessions, options, console, severalPorts);
}
