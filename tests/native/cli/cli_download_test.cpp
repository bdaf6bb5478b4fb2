// tervolo-cli against the simulated handset over a pty: a whole download, each way it can end
// with its exit status, and Ctrl-C in the middle of the blocks.
#include "cli_test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>

namespace cli::test
{
namespace
{

constexpr std::uint32_t kImageBlocks = 70; // the model field lies in block 64
constexpr std::uint32_t kLpBlocks = 6;

class CliDownload : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_scratch.Path().empty());
        m_image = WriteImage(Path("image.rel"), kImageBlocks, "RT47-TEST", 1);
        m_lp = WriteLanguagePack(Path("lp.rel"), kLpBlocks, "RT47", 2);
        ASSERT_TRUE(m_handset.Ready());
    }

    std::string Path(const std::string& name) const { return m_scratch.Path() + "/" + name; }

    std::vector<std::string> Args(std::vector<std::string> extra = {}) const
    {
        std::vector<std::string> args = {"download", "--port",  m_handset.Port(), "--model",
                                         "RT47",     "--image", "image.rel",      "--lp",
                                         "lp.rel",   "--json",  "--log",          "run.log"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    sim::test::ScratchFolder m_scratch;
    Handset m_handset{m_scratch.Path(), "port"};
    std::vector<std::uint8_t> m_image;
    std::vector<std::uint8_t> m_lp;
};

TEST_F(CliDownload, WritesBothSectionsAndReportsTheHandset)
{
    CliRun run(m_scratch.Path(), Args());
    ASSERT_EQ(0, run.Wait()) << run.Err();

    EXPECT_EQ(m_image, m_handset.Flash("main"));
    EXPECT_EQ(m_lp, m_handset.Flash("lp"));
    const nlohmann::json result = nlohmann::json::parse(run.Out());
    EXPECT_EQ(m_handset.Port(), result["port"]);
    EXPECT_EQ("RT47", result["model"]);
    EXPECT_EQ("RT47-SIM-0001", result["product_id"]);
    EXPECT_EQ("RT47", result["mobile_id"]);
    EXPECT_EQ(nlohmann::json::array({"main", "lp"}), result["sections"]);
    EXPECT_EQ("passed", result["verdict"]);
    EXPECT_EQ(0, result["exit_code"]);
    // One blank block of each file is stepped over.
    EXPECT_EQ(kImageBlocks - 1 + kLpBlocks - 1, result["blocks"]);
    EXPECT_GT(result["blocks_per_second"].get<double>(), 0.0);

    // The report goes to standard error and to the log, the rewritten line as plain lines.
    const std::string log = ReadFile(Path("run.log"));
    for (const char* line :
         {"Signalling...", "Changing protocol...", "Protocol Response received...",
          "Image File Model Number Matches...", "Waiting for erase response...",
          "Sending Block 0x0045 of 0x0045", "Sending Block 0x0005 of 0x0005",
          "Download completed successfully..."})
    {
        EXPECT_TRUE(HasLine(log, line)) << line;
        EXPECT_TRUE(HasLine(run.Err(), line)) << line;
    }
}

struct EndCase
{
    const char* name;
    std::vector<std::string> handset; // control commands before the run
    std::vector<std::string> options;
    int exitCode;
    const char* line;   // a report line the run must print
    const char* reason; // start of the JSON reason, "" for none
};

void PrintTo(const EndCase& end, std::ostream* out)
{
    *out << end.name;
}

class CliEnding : public CliDownload, public ::testing::WithParamInterface<EndCase>
{
};

TEST_P(CliEnding, ExitsWithItsCodeAndSaysWhy)
{
    const EndCase& end = GetParam();
    for (const std::string& command : end.handset)
    {
        ASSERT_EQ("OK", m_handset.Ask(command)) << command;
    }
    std::vector<std::string> args = Args(end.options);
    CliRun run(m_scratch.Path(), args);
    ASSERT_EQ(end.exitCode, run.Wait()) << run.Err();
    EXPECT_TRUE(HasLine(run.Err(), end.line)) << run.Err();
    const nlohmann::json result = nlohmann::json::parse(run.Out());
    EXPECT_EQ(end.exitCode, result["exit_code"]);
    const std::string reason = result.value("reason", "");
    EXPECT_EQ(0u, reason.rfind(end.reason, 0)) << reason;
}

INSTANTIATE_TEST_SUITE_P(
    Endings, CliEnding,
    ::testing::Values(EndCase{"HandsetFails",
                              {"FAULT checksum_bad"},
                              {},
                              1,
                              "Download FAILED...",
                              "Download FAILED..."},
                      EndCase{"EraseFailsFourTimes",
                              {"FAULT erase_fail 4"},
                              {},
                              2,
                              "Download Aborted!",
                              "Erase Failed!"},
                      EndCase{"ImageModelRefused",
                              {"SETSTR product_id RT37-OTHER"},
                              {},
                              2,
                              "Model number mismatch - Continue? No (--yes answers Yes)",
                              "Model number mismatch - Continue? No"},
                      EndCase{"ImageModelAcceptedWithYes",
                              {"SETSTR product_id RT37-OTHER"},
                              {"--yes"},
                              0,
                              "Model number mismatch - Continue? Yes (--yes)",
                              ""},
                      EndCase{"HandsetFallsSilent",
                              {"FAULT silence block:5"},
                              {"--timeout", "0.5"},
                              2,
                              "No answer from the handset for 0.5 s.",
                              "No answer from the handset"},
                      EndCase{"HandsetWrongFamily",
                              {"SETSTR mobile_id RT50 "},
                              {},
                              2,
                              "Mobile Protocol not compatible.",
                              "Mobile Protocol not compatible."}),
    [](const ::testing::TestParamInfo<EndCase>& info) { return info.param.name; });

TEST_F(CliDownload, PortThatIsGoneOrTaken)
{
    // Held by another download: the port is opened exclusively.
    ASSERT_EQ("OK", m_handset.Ask("MODE raw"));
    CliRun holder(m_scratch.Path(), Args({"--timeout", "0"}));
    ASSERT_EQ("OK", m_handset.Ask("WAITFRAME i 1 20000"));
    CliRun second(m_scratch.Path(), Args());
    ASSERT_EQ(3, second.Wait()) << second.Err();
    EXPECT_NE(std::string::npos, second.Err().find("Cannot open")) << second.Err();
    EXPECT_EQ("port error", nlohmann::json::parse(second.Out())["verdict"]);
    holder.Signal(SIGTERM);
    EXPECT_EQ(130, holder.Wait());

    // Unplugged before the start.
    ASSERT_EQ(0u, m_handset.Ask("UNPLUG").rfind("OK", 0));
    CliRun unplugged(m_scratch.Path(), Args());
    ASSERT_EQ(3, unplugged.Wait()) << unplugged.Err();
}

TEST_F(CliDownload, PortLostInTheMiddleAborts)
{
    ASSERT_EQ("OK", m_handset.Ask("FAULT delay block 200 always"));
    CliRun run(m_scratch.Path(), Args());
    ASSERT_EQ("OK", m_handset.Ask("WAITFRAME w 2 20000"));
    ASSERT_EQ(0u, m_handset.Ask("UNPLUG").rfind("OK", 0));
    ASSERT_EQ(2, run.Wait()) << run.Err();
    EXPECT_TRUE(HasLine(run.Err(), "Download Aborted!")) << run.Err();
    EXPECT_EQ("TracingThread: ReadFile Error!", nlohmann::json::parse(run.Out())["reason"]);
}

TEST_F(CliDownload, InterruptStopsLikeTheStopButton)
{
    // Slow answers keep the download in its blocks long enough to interrupt it there.
    ASSERT_EQ("OK", m_handset.Ask("FAULT delay block 200 always"));
    CliRun run(m_scratch.Path(), Args());
    ASSERT_EQ("OK", m_handset.Ask("WAITFRAME w 3 20000"));
    const long framesAtSignal = m_handset.Stat("frames_w");
    run.Signal(SIGINT);
    ASSERT_EQ(130, run.Wait()) << run.Err();

    EXPECT_TRUE(HasLine(run.Err(), "Download terminated by User."));
    EXPECT_TRUE(HasLine(ReadFile(Path("run.log")), "Download terminated by User."));
    EXPECT_EQ("interrupted", nlohmann::json::parse(run.Out())["verdict"]);
    // At most the block already on its way; every frame whole; no checksum request.
    const long received = m_handset.Stat("received_bytes");
    EXPECT_LE(m_handset.Stat("frames_w"), framesAtSignal + 1);
    EXPECT_EQ(0, m_handset.Stat("frames_c"));
    EXPECT_EQ(0, m_handset.Stat("garbage_bytes"));
    EXPECT_EQ("ERR timeout", m_handset.Ask("WAITBYTES " + std::to_string(received + 1) + " 300"));
    // The port was let go: it opens exclusively again.
    ASSERT_EQ("OK", m_handset.Ask("RESET"));
    CliRun again(m_scratch.Path(), Args());
    EXPECT_EQ(0, again.Wait()) << again.Err();
}

} // namespace
} // namespace cli::test
