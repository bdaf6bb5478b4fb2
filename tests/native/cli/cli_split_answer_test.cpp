// Whole downloads of tervolo-cli against the simulator while the handset's answers reach the
// program in pieces, as they do through USB-serial adapters: every answer split after each of
// its first bytes, every answer a byte at a time, and each adapter profile. An answer counts
// whole however it is cut: the report, the exit status and the handset's flash are those of a
// download whose answers came in one piece.
#include "cli_test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <numeric>

namespace cli::test
{
namespace
{

// Short files: blank blocks are stepped over, so an image sends block 0 and block 64 (which
// holds its model field) and a language pack its two blocks.
constexpr std::size_t kImageBlocks = 65;
constexpr std::size_t kLpBlocks = 2;
constexpr std::size_t kLongestAnswer = 66; // the parameter record
constexpr const char* kSplitGapMs = "2";   // between the pieces of a split answer
constexpr std::size_t kByteByByte = 0;
// Every piece of the record costs the program its settle pause (200 ms): past the first
// scenario the record is cut at its first points only.
constexpr std::size_t kByteByByteRecordStart = 1000;
constexpr std::size_t kRecordStartPoints = 3;
constexpr const char* kAnswerSteps[] = {"signal",   "param", "erase",
                                        "override", "block", "checksum"};

struct Scenario
{
    const char* name;
    std::vector<std::string> handset; // control commands before the run
    std::vector<std::string> options; // after --port
    bool image;                       // image.rel (model `imageModel`) is sent
    bool lp;                          // lp.rel (model RT47) is sent
    const char* imageModel;
    const char* erase; // the erase letter the handset got last
    std::vector<const char*> lines;
    // Where its answers are split: after so many bytes, or after every byte (kByteByByte).
    // Each scenario reaches every point of the answers it adds (a two-byte answer has one);
    // the first every point of the checksum answer alone and of the record byte by byte.
    std::vector<std::size_t> splits;
};

const Scenario kScenarios[] = {
    {"ImageAndLanguagePack",
     {},
     {"--model", "RT47", "--image", "image.rel", "--lp", "lp.rel"},
     true,
     true,
     "RT47-TEST",
     "e",
     {"Image File Model Number Matches...", "Language Pack Model Number Matches..."},
     {1, 2, 3, 4, 5, kByteByByte}},
    {"EraseRetry",
     {"FAULT erase_fail 1"},
     {"--model", "RT47", "--image", "image.rel", "--lp", "lp.rel"},
     true,
     true,
     "RT47-TEST",
     "e",
     {"Erase Failed!", "Retrying..."},
     {kByteByByteRecordStart}},
    {"WriteFailure",
     {"FAULT write_fail main 64 2"},
     {"--model", "RT47", "--image", "image.rel"},
     true,
     false,
     "RT47-TEST",
     "e",
     {"Write Failed!"},
     {kByteByByteRecordStart}},
    {"Rt47LanguagePackIntoRt47X",
     {"SETSTR mobile_id RT47X"},
     {"--model", "RT47X", "--lp", "lp.rel", "--yes"},
     false,
     true,
     "",
     "e",
     {"Downloading RT47 LP into a RT47X - Are you sure? Yes (--yes)", "Overriding RT47X cfg...",
      "Override succesfully completed..."},
     {kByteByByteRecordStart}},
    {"LegacyRt50",
     {"SETSTR mobile_id RT50 ", "SETSTR product_id RT50-SIM-0001"},
     {"--model", "RT50", "--image", "image.rel"},
     true,
     false,
     "RT50-TEST",
     "E",
     {"Image File Model Number Matches..."},
     {1, 2, 3}}, // its checksum answer has four bytes
};

// How the answers reach the program: control commands given before the run.
struct Delivery
{
    std::string name;
    std::vector<std::string> handset;
};

// Pieces of one byte each, then the rest.
std::string Ones(std::size_t count)
{
    std::string sizes = "1";
    for (std::size_t i = 1; i < count; ++i)
    {
        sizes += ",1";
    }
    return sizes;
}

Delivery Split(std::size_t bytes)
{
    const bool byteByByte = bytes == kByteByByte || bytes == kByteByByteRecordStart;
    Delivery delivery{byteByByte ? "ByteByByte" : "After" + std::to_string(bytes),
                      {"SETNUM split_gap_ms " + std::string(kSplitGapMs)}};
    for (const char* step : kAnswerSteps)
    {
        std::string sizes = byteByByte ? Ones(kLongestAnswer - 1) : std::to_string(bytes);
        if (bytes == kByteByByteRecordStart && std::string(step) == "param")
        {
            sizes = Ones(kRecordStartPoints);
        }
        delivery.handset.push_back("FAULT split " + std::string(step) + " " + sizes + " always");
    }
    return delivery;
}

// The adapters at the line's pace, so that their packets fall where the line puts the bytes.
Delivery Adapter(const std::string& profile)
{
    std::string name = profile;
    name.erase(std::remove_if(name.begin(), name.end(),
                              [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }),
               name.end());
    return {name, {"PACE on", "ADAPTER " + profile}};
}

struct SplitCase
{
    const Scenario* scenario;
    Delivery delivery;
};

// What follows `start` on the report line that begins with it; "(none)" without one.
std::string ReportValue(const std::string& report, const std::string& start)
{
    const std::size_t at = report.find("\n" + start);
    return at == std::string::npos
               ? "(none)"
               : report.substr(at + 1 + start.size(),
                               report.find('\n', at + 1) - at - 1 - start.size());
}

void PrintTo(const SplitCase& each, std::ostream* out)
{
    *out << each.scenario->name << "_" << each.delivery.name;
}

// Each scenario with each of its splits; the first scenario through each adapter profile.
std::vector<SplitCase> Cases()
{
    std::vector<SplitCase> cases;
    for (const Scenario& scenario : kScenarios)
    {
        for (std::size_t bytes : scenario.splits)
        {
            cases.push_back({&scenario, Split(bytes)});
        }
    }
    for (const char* profile : {"ftdi", "ftdi:1", "usb-poll", "random:21"})
    {
        cases.push_back({&kScenarios[0], Adapter(profile)});
    }
    return cases;
}

class CliSplitAnswers : public ::testing::TestWithParam<SplitCase>
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_scratch.Path().empty());
        ASSERT_TRUE(m_handset.Ready());
    }

    std::vector<std::uint8_t> Write(const std::string& name, const std::string& content)
    {
        WriteFile(m_scratch.Path() + "/" + name, content);
        return ReleaseBlocks(content);
    }

    sim::test::ScratchFolder m_scratch;
    Handset m_handset{m_scratch.Path(), "port"};
};

TEST_P(CliSplitAnswers, DownloadEndsAsWithWholeAnswers)
{
    const Scenario& scenario = *GetParam().scenario;
    const Delivery& delivery = GetParam().delivery;
    std::vector<std::size_t> blank(kImageBlocks - 2);
    std::iota(blank.begin(), blank.end(), 1); // all but blocks 0 and 64
    const std::vector<std::uint8_t> image =
        Write("image.rel", RandomImage(kImageBlocks, scenario.imageModel, 1, blank));
    const std::vector<std::uint8_t> lp = Write("lp.rel", RandomLanguagePack(kLpBlocks, "RT47", 2));
    for (const std::vector<std::string>& commands : {scenario.handset, delivery.handset})
    {
        for (const std::string& command : commands)
        {
            ASSERT_EQ("OK", m_handset.Ask(command)) << command;
        }
    }
    // --diagnostics: the report shows the handset's checksum figures as the program read them.
    std::vector<std::string> args = {"download",  "--port", m_handset.Port(), "--json",
                                     "--timeout", "5",      "--diagnostics"};
    args.insert(args.end(), scenario.options.begin(), scenario.options.end());

    CliRun run(m_scratch.Path(), args);
    ASSERT_EQ(0, run.Wait()) << run.Err();
    const nlohmann::json result = nlohmann::json::parse(run.Out());
    EXPECT_EQ("passed", result["verdict"]);
    EXPECT_TRUE(HasLine(run.Err(), "Download completed successfully...")) << run.Err();
    for (const char* line : scenario.lines)
    {
        EXPECT_TRUE(HasLine(run.Err(), line)) << line << "\n" << run.Err();
    }
    // The handset's figures as the report shows them are the program's own.
    const std::string figures = ReportValue(run.Err(), "PC CRC Checksum: ");
    EXPECT_NE("(none)", figures);
    EXPECT_EQ(figures, ReportValue(run.Err(), "MS CRC Checksum: "));
    if (scenario.image)
    {
        EXPECT_EQ(image, m_handset.Flash("main"));
    }
    if (scenario.lp)
    {
        EXPECT_EQ(lp, m_handset.Flash("lp"));
    }
    const std::string status = m_handset.Ask("STATUS");
    EXPECT_NE(std::string::npos, status.find(std::string(" erase=") + scenario.erase)) << status;
    // The answers did come in pieces: more writes to the line than frames answered.
    EXPECT_GT(m_handset.Stat("answers"), m_handset.Stat("frames"));
}

INSTANTIATE_TEST_SUITE_P(Table, CliSplitAnswers, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<SplitCase>& info) {
                             return std::string(info.param.scenario->name) + "_" +
                                    info.param.delivery.name;
                         });

} // namespace
} // namespace cli::test
