// Several handsets at once: independent downloads in parallel, and station mode.
#include "cli_test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <sys/stat.h>

namespace cli::test
{
namespace
{

constexpr std::uint32_t kImageBlocks = 80;

std::vector<nlohmann::json> JsonLines(const std::string& text)
{
    std::vector<nlohmann::json> objects;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
    {
        objects.push_back(nlohmann::json::parse(line));
    }
    return objects;
}

class CliSeveralPorts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_scratch.Path().empty());
        m_image = WriteImage(m_scratch.Path() + "/image.rel", kImageBlocks, "RT47-TEST", 7);
    }

    std::vector<std::string> Args(const std::vector<std::unique_ptr<Handset>>& handsets,
                                  std::vector<std::string> extra)
    {
        std::vector<std::string> args = {"download", "--model",   "RT47",
                                         "--image",  "image.rel", "--json"};
        for (const std::unique_ptr<Handset>& handset : handsets)
        {
            args.push_back("--port");
            args.push_back(handset->Port());
        }
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    std::vector<std::unique_ptr<Handset>> Handsets(int count)
    {
        std::vector<std::unique_ptr<Handset>> handsets;
        for (int i = 0; i < count; ++i)
        {
            handsets.push_back(
                std::make_unique<Handset>(m_scratch.Path(), "tty" + std::to_string(i)));
            EXPECT_TRUE(handsets.back()->Ready());
        }
        return handsets;
    }

    sim::test::ScratchFolder m_scratch;
    std::vector<std::uint8_t> m_image;
};

TEST_F(CliSeveralPorts, OneFaultyHandsetLeavesTheOthersWhole)
{
    std::vector<std::unique_ptr<Handset>> handsets = Handsets(4);
    // The third handset garbles its answer to block 9 every time: three tries, then the abort.
    ASSERT_EQ("OK", handsets[2]->Ask("FAULT garbage block:9 3E58 always"));

    CliRun run(m_scratch.Path(), Args(handsets, {}));
    ASSERT_EQ(2, run.Wait()) << run.Err();

    const std::vector<nlohmann::json> results = JsonLines(run.Out());
    ASSERT_EQ(4u, results.size()) << run.Out();
    for (std::size_t i = 0; i < handsets.size(); ++i)
    {
        const std::string name = "tty" + std::to_string(i);
        EXPECT_EQ(handsets[i]->Port(), results[i]["port"]);
        const std::string log = ReadFile(m_scratch.Path() + "/tervolo-" + name + ".log");
        if (i == 2)
        {
            EXPECT_EQ("aborted", results[i]["verdict"]);
            EXPECT_TRUE(HasLine(log, "Download Aborted!")) << log;
            continue;
        }
        EXPECT_EQ("passed", results[i]["verdict"]) << name;
        EXPECT_EQ(m_image, handsets[i]->Flash("main")) << name;
        EXPECT_TRUE(HasLine(log, "Download completed successfully...")) << name;
        EXPECT_FALSE(HasLine(log, "Download Aborted!")) << name;
    }
    // The summary table has a row per port.
    for (const char* row : {"tty0 ", "tty1 ", "tty2 ", "tty3 "})
    {
        EXPECT_NE(std::string::npos, run.Err().find(m_scratch.Path() + "/" + row)) << row;
    }
}

TEST_F(CliSeveralPorts, EachPortHasItsDebugLogAndOneThatCannotBeCreatedFailsOnlyItsPort)
{
    std::vector<std::unique_ptr<Handset>> handsets = Handsets(2);
    // A folder where tty1's debug log would go.
    ASSERT_EQ(0, ::mkdir((m_scratch.Path() + "/run-tty1-debug.log").c_str(), 0755));

    CliRun run(m_scratch.Path(), Args(handsets, {"--log", "run.log"}));
    ASSERT_EQ(3, run.Wait()) << run.Err();

    const std::vector<nlohmann::json> results = JsonLines(run.Out());
    ASSERT_EQ(2u, results.size()) << run.Out();
    EXPECT_EQ("passed", results[0]["verdict"]);
    EXPECT_EQ(m_image, handsets[0]->Flash("main"));
    EXPECT_EQ("port error", results[1]["verdict"]);
    EXPECT_EQ("CSerialIO: Error opening log file!", results[1]["reason"]);
    // The bytes received since the rate change: the handset's record names it.
    const std::string debugLog = ReadFile(m_scratch.Path() + "/run-tty0-debug.log");
    EXPECT_NE(std::string::npos, debugLog.find("RT47-SIM-0001")) << debugLog.size();
}

TEST_F(CliSeveralPorts, StationFlashesHandsetAfterHandset)
{
    std::vector<std::unique_ptr<Handset>> handsets = Handsets(2);
    CliRun run(m_scratch.Path(), Args(handsets, {"--station", "--count", "3"}));
    ASSERT_EQ(0, run.Wait()) << run.Err();

    const std::vector<nlohmann::json> results = JsonLines(run.Out());
    ASSERT_EQ(2u, results.size()) << run.Out();
    for (std::size_t i = 0; i < handsets.size(); ++i)
    {
        EXPECT_EQ(3, handsets[i]->Stat("frames_c"));
        EXPECT_EQ(3, results[i]["passed"]);
        EXPECT_EQ(0, results[i]["failed"]);
        ASSERT_EQ(3u, results[i]["downloads"].size());
        EXPECT_EQ("RT47-SIM-0001", results[i]["downloads"][2]["product_id"]);
        EXPECT_EQ(m_image, handsets[i]->Flash("main"));
    }
    // A result line per download.
    std::size_t resultLines = 0;
    for (std::size_t at = run.Err().find("Result: RT47-SIM-0001 RT47 passed");
         at != std::string::npos; at = run.Err().find("Result: RT47-SIM-0001 RT47 passed", at + 1))
    {
        ++resultLines;
    }
    EXPECT_EQ(6u, resultLines);
}

} // namespace
} // namespace cli::test
