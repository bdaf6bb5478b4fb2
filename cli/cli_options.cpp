#include "cli/cli_options.h"

#include "cli/job_options.h"
#include "protocol/frames.h"
#include "runner/exit_codes.h"
#include "protocol/model_check.h"
#include "tervolo_version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>

namespace
{

const char kExamples[] = R"(
Examples:
  One handset, image and language pack, questions answered No:
    tervolo-cli download --port /dev/ttyUSB0 --model RT47 --image main.rel --lp lang.rel
  Windows, boot code too, a log file:
    tervolo-cli.exe download --port COM3 --model RT47X --image main.rel --boot --log com3.log
  Eight handsets at once, one log per port (run-ttyUSB0.log, ...), a JSON line per port:
    tervolo-cli download --port /dev/ttyUSB0 --port /dev/ttyUSB1 ... --port /dev/ttyUSB7 \
        --model RT47 --image main.rel --log run.log --json
  A station that flashes handset after handset on two ports until Ctrl-C:
    tervolo-cli download --station --port /dev/ttyUSB0 --port /dev/ttyUSB1 --model RT47 \
        --image main.rel

Exit status:
  0 download completed successfully      1 the handset reported FAILED (checksum)
  2 download aborted (reason printed)    3 the port could not be opened
  4 bad option, model or file            130 interrupted (Ctrl-C)
  Several ports: 0 when every port succeeded, else the code of the first port that did not.
)";

const char* const kModels[] = {"RT50", "RT80", "RT30", "RT37", "RT37X", "RT47", "RT47X"};

// Checks the choices the options cannot check one by one; an empty text when they fit.
std::string CheckChoices(CliOptions& options)
{
    if (options.imagePath.empty() && options.lpPath.empty())
    {
        return "No sections selected to download! Give --image, --lp or both.";
    }
    // The check of the option passes "nan" and numbers past any clock (1e300); written so that a
    // NaN fails it.
    if (!(options.timeoutSeconds >= 0.0 && options.timeoutSeconds <= kMaxTimeoutSeconds))
    {
        return "--timeout must be a number of seconds from 0 to 1000000000.";
    }
    if (options.bootCode && options.imagePath.empty())
    {
        return "--boot writes the boot code of the image: it needs --image.";
    }
    if (!options.lpPath.empty() && !IsExtendedModel(options.model.c_str()))
    {
        return "Model " + options.model + " takes no language pack.";
    }
    std::vector<std::string> seen;
    for (const std::string& port : options.ports)
    {
        if (port.empty())
        {
            return "--port needs a port name.";
        }
        if (std::find(seen.begin(), seen.end(), port) != seen.end())
        {
            return "Port " + port + " is named twice.";
        }
        seen.push_back(port);
    }
    for (int index = 0; index < kBaudRateCount; ++index)
    {
        if (BaudRateAt(index) == options.baudRate)
        {
            options.baudIndex = index;
        }
    }
    return std::string();
}

// Whether the command line names a job file: its fields then stand in for the required options.
bool NamesJob(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--job" || arg.rfind("--job=", 0) == 0)
        {
            return true;
        }
    }
    return false;
}

// The options of the download command, each bound to its field of `options`. With a job file
// none is required on the command line.
void AddDownloadOptions(CLI::App& download, CliOptions& options, bool job)
{
    download
        .add_option("-p,--port", options.ports,
                    "Serial port (COM3, /dev/ttyUSB0); repeat it for several handsets at once")
        ->required(!job)
        ->allow_extra_args(false)
        ->take_all();
    download.add_option("-b,--baud", options.baudRate, "Line rate after the handshake")
        ->check(CLI::IsMember({115200, 57600, 38400, 19200}))
        ->capture_default_str();
    download.add_option("-m,--model", options.model, "Handset model")
        ->required(!job)
        ->check(CLI::IsMember(std::vector<std::string>(std::begin(kModels), std::end(kModels))));
    download.add_option("--image", options.imagePath, "Image release file (.rel): main code");
    download.add_option("--lp", options.lpPath, "Language-pack release file (.rel)");
    download.add_flag("--boot", options.bootCode, "Write the image's boot code too");
    download.add_flag("--gang", options.gangMode,
                      "Gang Mode: several units on one port, a minute's wait after the erase");
    download.add_flag("-y,--yes", options.yes,
                      "Answer Yes to the model questions (otherwise No, which aborts)");
    download.add_option("--log", options.logPath,
                        "Report lines to this file (several ports: one file per port)");
    download.add_option("--journal", options.journalPath,
                        "Append one JSON line per download to this file (shared safely by "
                        "several ports and programs)");
    download.add_flag("--json", options.json,
                      "One JSON object per port on standard output at the end (the report then "
                      "goes to standard error)");
    download.add_flag("-d,--diagnostics", options.diagnostics,
                      "Also the parameter record and checksum figures");
    CLI::Option* station = download.add_flag(
        "--station", options.station,
        "Keep every port serving: after each download signal again for the next handset");
    download.add_option("--count", options.count, "Station mode: stop after N downloads per port")
        ->check(CLI::PositiveNumber)
        ->needs(station);
    download
        .add_option("--timeout", options.timeoutSeconds,
                    "Abort when the handset answers nothing for this many seconds (0: never)")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    download.add_option("--job", options.jobPath,
                        "Take the job from this JSON file (fields named as these options; an "
                        "option given beside it wins)");
}
// The job file's fields where the command line gave none, then the choices checked together.
std::string TakeJob(const CLI::App& download, CliOptions& options)
{
    JobFile job;
    std::string problem;
    if (!ReadJobFile(options.jobPath, job, problem))
    {
        return problem;
    }
    problem = ApplyJob(
        job, [&download](const char* name) { return download.count(name) > 0; }, options);
    return problem.empty() ? CheckChoices(options) : problem;
}
} // namespace

int ParseCommandLine(int argc, const char* const* argv, CliOptions& options, std::ostream& out,
                     std::ostream& err)
{
    CLI::App app("Writes firmware into handsets over serial ports, without a window.",
                 "tervolo-cli");
    app.require_subcommand(1);
    CLI::App* download = app.add_subcommand("download", "Download release files into handsets");
    // Scripts on a line check the version first: the name and the build's one version setting,
    // before the subcommand or after it.
    const std::string version = std::string("tervolo-cli ") + TERVOLO_VERSION_TEXT;
    for (CLI::App* level : {&app, download})
    {
        level->set_version_flag("--version", version,
                                "Print the program's name and version and exit");
    }
    download->footer(kExamples);

    AddDownloadOptions(*download, options, NamesJob(argc, argv));

    try
    {
        app.parse(argc, argv);
    }
    catch (const CLI::ParseError& error)
    {
        const int code = app.exit(error, out, err);
        return code == 0 ? kExitSuccess : kExitBadArguments;
    }
    const std::string problem =
        options.jobPath.empty() ? CheckChoices(options) : TakeJob(*download, options);
    if (!problem.empty())
    {
        err << "tervolo-cli: " << problem << "\n";
        return kExitBadArguments;
    }
    return -1;
}

bool IsKnownModel(const std::string& model)
{
    return std::find(std::begin(kModels), std::end(kModels), model) != std::end(kModels);
}

std::string PortShortName(const std::string& port)
{
    const std::size_t slash = port.find_last_of("/\\");
    std::string name = slash == std::string::npos ? port : port.substr(slash + 1);
    for (char& c : name)
    {
        const unsigned char u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '-' && c != '_' && c != '.')
        {
            c = '_';
        }
    }
    return name.empty() ? std::string("port") : name;
}

namespace
{
// `path` with "-" and `suffix` before its extension ("run.log" -> "run-<suffix>.log"), or at its
// end when it has none.
std::string WithSuffix(const std::string& path, const std::string& suffix)
{
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
    {
        return path + "-" + suffix;
    }
    return path.substr(0, dot) + "-" + suffix + path.substr(dot);
}
} // namespace

std::string PortLogPath(const std::string& logPath, const std::string& port, bool severalPorts)
{
    if (!severalPorts)
    {
        return logPath;
    }
    const std::string name = PortShortName(port);
    if (logPath.empty())
    {
        return "tervolo-" + name + ".log";
    }
    return WithSuffix(logPath, name);
}

std::string PortDebugLogPath(const std::string& portLogPath)
{
    return portLogPath.empty() ? std::string() : WithSuffix(portLogPath, "debug");
}
