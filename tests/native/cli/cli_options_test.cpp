// The command line: every bad option is refused with a reason and the bad-arguments status, and
// files the download cannot send are refused before any port is touched.
#include "cli/cli_options.h"
#include "cli/interrupt_rules.h"
#include "cli_test_support.h"
#include "tervolo_version.h"

#include <gtest/gtest.h>

#include <sstream>

namespace cli::test
{
namespace
{

int Parse(std::vector<std::string> args, CliOptions& options, std::string& errors)
{
    args.insert(args.begin(), "tervolo-cli");
    std::vector<const char*> argv;
    for (const std::string& arg : args)
    {
        argv.push_back(arg.c_str());
    }
    std::ostringstream out;
    std::ostringstream err;
    const int code =
        ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options, out, err);
    errors = err.str() + out.str();
    return code;
}

TEST(CliOptions, ReadsAFullCommandLine)
{
    CliOptions options;
    std::string errors;
    ASSERT_EQ(-1, Parse({"download", "--port",    "COM3",    "--port",  "COM4",      "--baud",
                         "38400",    "--model",   "RT47X",   "--image", "a.rel",     "--lp",
                         "b.rel",    "--boot",    "--gang",  "--yes",   "--log",     "x.log",
                         "--json",   "--station", "--count", "2",       "--timeout", "5"},
                        options, errors))
        << errors;
    EXPECT_EQ((std::vector<std::string>{"COM3", "COM4"}), options.ports);
    EXPECT_EQ(38400u, options.baudRate);
    EXPECT_EQ(2, options.baudIndex);
    EXPECT_EQ("RT47X", options.model);
    EXPECT_TRUE(options.bootCode && options.gangMode && options.yes && options.json &&
                options.station);
    EXPECT_EQ(2u, options.count);
    EXPECT_EQ(5.0, options.timeoutSeconds);
}

TEST(CliOptions, RefusesBadCommandLines)
{
    const std::vector<std::string> base = {"download", "--port",  "COM3", "--model",
                                           "RT47",     "--image", "a.rel"};
    struct Bad
    {
        std::vector<std::string> args;
        const char* says;
    };
    const Bad bads[] = {
        {{}, "subcommand"},
        {{"download", "--model", "RT47", "--image", "a.rel"}, "--port"},
        {{"download", "--port", "COM3", "--image", "a.rel"}, "--model"},
        {{"download", "--port", "COM3", "--model", "RT99", "--image", "a.rel"}, "RT99"},
        {{"download", "--port", "COM3", "--model", "RT47"}, "No sections selected"},
        {{"download", "--port", "COM3", "--model", "RT47", "--lp", "b.rel", "--boot"}, "--boot"},
        {{"download", "--port", "COM3", "--model", "RT50", "--lp", "b.rel"}, "no language pack"},
        {{"download", "--port", "COM3", "--port", "COM3", "--model", "RT47", "--image", "a.rel"},
         "twice"},
        {{"--baud", "9600"}, "9600"},
        {{"--count", "3"}, "--station"},
        {{"--station", "--count", "0"}, "--count"},
        {{"--timeout", "-1"}, "--timeout"},
        {{"--timeout", "nan"}, "--timeout"},   // would pass the option's own check
        {{"--timeout", "1e300"}, "--timeout"}, // past the port loop's clock
        {{"--timeout", "1e10"}, "--timeout"},
        {{"--colour"}, "--colour"},
    };
    for (const Bad& bad : bads)
    {
        std::vector<std::string> args = bad.args;
        if (!args.empty() && args[0] != "download")
        {
            args.insert(args.begin(), base.begin(), base.end());
        }
        CliOptions options;
        std::string errors;
        EXPECT_EQ(4, Parse(args, options, errors)) << bad.says;
        EXPECT_NE(std::string::npos, errors.find(bad.says)) << errors;
    }
}

TEST(CliOptions, HelpShowsExamplesAndExitCodes)
{
    CliOptions options;
    std::string text;
    EXPECT_EQ(0, Parse({"download", "--help"}, options, text));
    EXPECT_NE(std::string::npos, text.find("Examples:"));
    EXPECT_NE(std::string::npos, text.find("130 interrupted"));
}

// Alone or after the subcommand, whose required options it does not ask for.
TEST(CliOptions, VersionNamesTheProgramAndTheBuildsVersion)
{
    sim::test::ScratchFolder scratch;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--version"}, std::vector<std::string>{"download", "--version"}})
    {
        CliRun run(scratch.Path(), args);
        EXPECT_EQ(0, run.Wait()) << args.size();
        EXPECT_EQ(std::string("tervolo-cli ") + TERVOLO_VERSION_TEXT + "\n", run.Out());
        EXPECT_EQ("", run.Err());
    }
}

TEST(CliOptions, LogFileOfEachPort)
{
    EXPECT_EQ("run.log", PortLogPath("run.log", "/dev/ttyUSB0", false));
    EXPECT_EQ("run-ttyUSB0.log", PortLogPath("run.log", "/dev/ttyUSB0", true));
    EXPECT_EQ("logs/run-COM10", PortLogPath("logs/run", "\\\\.\\COM10", true));
    EXPECT_EQ("logs.d/run-COM3", PortLogPath("logs.d/run", "COM3", true));
    EXPECT_EQ("tervolo-COM3.log", PortLogPath("", "COM3", true));
    // The debug log sits beside its port's log; without one the channel chooses.
    EXPECT_EQ("run-ttyUSB0-debug.log", PortDebugLogPath("run-ttyUSB0.log"));
    EXPECT_EQ("logs.d/run-COM3-debug", PortDebugLogPath("logs.d/run-COM3"));
    EXPECT_EQ("", PortDebugLogPath(""));
}

// A second Ctrl-C ends the program at once; closing the console waits for the summary.
TEST(CliInterrupt, SecondInterruptEndsAtOnceAndACloseAlwaysWaits)
{
    EXPECT_EQ(InterruptAction::StopPorts, DecideInterrupt(InterruptSignal::Interrupt, false));
    EXPECT_EQ(InterruptAction::ExitNow, DecideInterrupt(InterruptSignal::Interrupt, true));
    EXPECT_EQ(InterruptAction::StopPortsAndWait,
              DecideInterrupt(InterruptSignal::ConsoleClosed, false));
    EXPECT_EQ(InterruptAction::StopPortsAndWait,
              DecideInterrupt(InterruptSignal::ConsoleClosed, true));
}

// Files are checked before any port is opened: the port named here does not exist.
TEST(CliFiles, UnusableFilesAreBadArguments)
{
    sim::test::ScratchFolder scratch;
    WriteImage(scratch.Path() + "/good.rel", 70, "RT47", 3);
    std::ofstream(scratch.Path() + "/short.rel") << "REL1";
    std::ofstream(scratch.Path() + "/image.abs") << "whatever";
    struct Bad
    {
        std::vector<std::string> files;
        const char* says;
    };
    const Bad bads[] = {
        {{"--image", "missing.rel"}, "Image File not found !"},
        {{"--image", "short.rel"}, "Image file too short to hold a block!"},
        {{"--image", "image.abs"}, "Image file extension not recognised!"},
        {{"--image", "good.rel", "--lp", "missing.rel"}, "Language Pack File not found !"},
        {{"--image", "good.rel", "--lp", "short.rel"}, "Language Pack file too short"},
    };
    for (const Bad& bad : bads)
    {
        std::vector<std::string> args = {"download", "--port", scratch.Path() + "/none", "--model",
                                         "RT47"};
        args.insert(args.end(), bad.files.begin(), bad.files.end());
        CliRun run(scratch.Path(), args);
        EXPECT_EQ(4, run.Wait()) << bad.says;
        EXPECT_NE(std::string::npos, run.Err().find(bad.says)) << run.Err();
    }
}

} // namespace
} // namespace cli::test
