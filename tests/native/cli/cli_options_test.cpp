// The command line: every bad option is refused with a reason and the bad-arguments status, and
// files the download cannot send are refused before any port is touched.
#include "cli/cli_options.h"
#include "cli/interrupt_rules.h"
#include "cli_test_support.h"
#include "runner/sha256.h"
#include "tervolo_version.h"

#include <gtest/gtest.h>

#include <fstream>
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

// --job: the file's fields stand in for the options, an option beside it wins, and a bad job is
// a bad argument that names the field.
TEST(CliJob, TheJobGivesTheOptionsAndTheCommandLineWins)
{
    sim::test::ScratchFolder scratch;
    const std::string job = scratch.File("job.json");
    std::ofstream(job) << R"({"model": "RT47X", "ports": ["COM3", "COM4"], "baud": 57600,
        "image": "a.rel", "lp": "b.rel", "sections": ["main"], "yes": true, "station": true,
        "count": 2, "timeout": 4, "journal": "line.jsonl", "image_sha256": ")"
                       << std::string(64, 'b') << R"("})";
    CliOptions options;
    std::string errors;
    ASSERT_EQ(-1, Parse({"download", "--job", job}, options, errors)) << errors;
    EXPECT_EQ((std::vector<std::string>{"COM3", "COM4"}), options.ports);
    EXPECT_EQ("RT47X", options.model);
    EXPECT_EQ(57600u, options.baudRate);
    EXPECT_EQ(1, options.baudIndex);
    EXPECT_EQ("a.rel", options.imagePath);
    EXPECT_EQ("", options.lpPath); // not among the job's sections
    EXPECT_TRUE(options.yes && options.station);
    EXPECT_EQ(2u, options.count);
    EXPECT_EQ(4.0, options.timeoutSeconds);
    EXPECT_EQ("line.jsonl", options.journalPath);
    EXPECT_EQ(std::string(64, 'b'), options.imageSha256);

    CliOptions beside;
    ASSERT_EQ(-1, Parse({"download", "--job", job, "--port", "COM9", "--model", "RT47", "--baud",
                         "19200", "--timeout", "0"},
                        beside, errors))
        << errors;
    EXPECT_EQ(std::vector<std::string>{"COM9"}, beside.ports);
    EXPECT_EQ("RT47", beside.model);
    EXPECT_EQ(19200u, beside.baudRate);
    EXPECT_EQ(0.0, beside.timeoutSeconds);

    struct Bad
    {
        const char* json;
        const char* says;
    };
    for (const Bad& bad :
         {Bad{R"({"model": "RT47", "image": "a.rel"})", "No port"},
          Bad{R"({"ports": ["COM3"], "image": "a.rel"})", "No model"},
          Bad{R"({"model": "RT99", "ports": ["COM3"], "image": "a.rel"})", "\"model\" RT99"},
          Bad{R"({"model": "RT47", "ports": ["COM3"]})", "No sections selected"},
          Bad{R"({"model": "RT47", "ports": ["COM3"], "baud": 1})", "\"baud\""}})
    {
        std::ofstream(job) << bad.json;
        CliOptions refused;
        EXPECT_EQ(4, Parse({"download", "--job", job}, refused, errors)) << bad.json;
        EXPECT_NE(std::string::npos, errors.find(bad.says)) << errors;
    }
}

// A job's approved files: other content is refused by name before the handset hears anything.
TEST(CliJob, AFileThatIsNotTheApprovedOneIsRefusedBeforeAnythingIsSent)
{
    sim::test::ScratchFolder scratch;
    Handset handset(scratch.Path(), "port");
    ASSERT_TRUE(handset.Ready());
    const std::vector<std::uint8_t> image = WriteImage(scratch.File("main.rel"), 70, "RT47", 4);
    std::string sha;
    std::string error;
    ASSERT_TRUE(Sha256OfFile(scratch.File("main.rel"), sha, error)) << error;
    const auto jobWith = [&](const std::string& approved)
    {
        std::ofstream(scratch.File("job.json"))
            << R"({"model": "RT47", "image": "main.rel", "ports": [")" << handset.Port()
            << R"("], "image_sha256": ")" << approved << R"("})";
    };

    jobWith(std::string(64, '0'));
    CliRun refused(scratch.Path(), {"download", "--job", "job.json"});
    EXPECT_EQ(4, refused.Wait()) << refused.Err();
    EXPECT_NE(std::string::npos, refused.Err().find("main.rel is not the approved file"))
        << refused.Err();
    EXPECT_EQ(0, handset.Stat("received_bytes"));

    jobWith(sha);
    CliRun approved(scratch.Path(), {"download", "--job", "job.json"});
    EXPECT_EQ(0, approved.Wait()) << approved.Err();
    EXPECT_EQ(image, handset.Flash("main"));
}

} // namespace
} // namespace cli::test
