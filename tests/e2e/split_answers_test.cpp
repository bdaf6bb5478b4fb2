// Whole downloads through the window with a handset whose every answer reaches the port a byte
// at a time, as a USB-serial adapter may hand it over: the same download as with whole answers.
#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace e2e;

namespace
{
const char kRt47[4] = {'R', 'T', '4', '7'};
const char kRt50[4] = {'R', 'T', '5', '0'};

const std::string kSuccess = "Download completed successfully...";

struct SplitDownload
{
    const char* name;
    const char* model;                  // the model chosen in the window
    const char* mobileId;               // the handset's
    const char* fault;                  // a fault besides the splitting, or ""
    bool image;                         // main code
    bool languagePack;                  // and / or the language pack
    const char* question;               // a question the operator answers Yes, or nullptr
    unsigned writeFailures;             // ">W" answers to main block 66
    std::vector<std::string> linesSeen; // report lines that must appear, in this order
};

std::ostream& operator<<(std::ostream& out, const SplitDownload& d)
{
    return out << d.name;
}

// clang-format off
const SplitDownload kDownloads[] = {
    {"ImageAndLanguagePack", "RT47", "RT47 ", "", true, true, nullptr, 0,
     {"Signalling...", "Changing protocol...", "Protocol Response received...",
      "Image File Model Number Matches...", "Language Pack Model Number Matches...",
      "Waiting for erase response...", "Waiting for checksum response..."}},
    {"EraseRetry", "RT47", "RT47 ", "FAULT erase_fail 1", true, false, nullptr, 0,
     {"Waiting for erase response...", "Erase Failed!", "Retrying...",
      "Waiting for checksum response..."}},
    // The block's line takes the place of each "Write Failed!" as the block goes again.
    {"WriteFailure", "RT47", "RT47 ", "FAULT write_fail main 66 2", true, false, nullptr, 2,
     {"Waiting for erase response...", "Waiting for checksum response..."}},
    {"Rt47XOverride", "RT47X", "RT47X", "", false, true,
     "Downloading RT47 LP into a RT47X - Are you sure?", 0,
     {"Erasing existing LP...", "Overriding RT47X cfg...", "Override succesfully completed...",
      "Waiting for erase response..."}},
    {"LegacyModel", "RT50", "RT50 ", "", true, false, nullptr, 0,
     {"Image File Model Number Matches...", "Waiting for erase response..."}},
};
// clang-format on

class SplitAnswers : public ::testing::TestWithParam<SplitDownload>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Connect()) << "no simulator on the control port";
        sim.Do("RESET");
        // Every answer a byte at a time, 2 ms apart (the checksum answer has up to six).
        sim.Do("SETNUM split_gap_ms 2");
        for (const char* step : {"signal", "erase", "override", "block", "checksum"})
        {
            sim.Do(std::string("FAULT split ") + step + " 1,1,1,1,1 always");
        }
    }

    Operator op;
    Simulator sim;
};

TEST_P(SplitAnswers, DownloadRunsAsWithWholeAnswers)
{
    const SplitDownload& d = GetParam();
    sim.Do(std::string("SETSTR mobile_id ") + d.mobileId);
    sim.Do(std::string("SETSTR product_id ") + d.model + "-SIM-0001");
    if (*d.fault)
    {
        sim.Do(d.fault);
    }
    const bool legacy = std::string(d.model) == "RT50";
    const ReleaseFile image =
        MakeImage(std::string("split_") + d.name + ".rel", 70, legacy ? kRt50 : kRt47, {3});
    const ReleaseFile pack =
        MakeLanguagePack(std::string("LPT47_split_") + d.name + ".rel", 3, "RT47 ");
    Choices choices;
    choices.model = d.model;
    choices.main = d.image;
    choices.languagePack = d.languagePack;
    choices.imagePath = d.image ? image.path : "";
    choices.lpPath = d.languagePack ? pack.path : "";
    ASSERT_TRUE(Prepare(op, choices)) << "the window did not take the choices";
    op.Click(kStartButton);
    if (d.question)
    {
        std::string seen;
        ASSERT_TRUE(op.Expect(d.question, IDYES, kStepMs, &seen)) << seen;
    }
    EXPECT_TRUE(op.WaitForLine(kReportList, kSuccess, kDownloadMs)) << Join(op.Lines(kReportList));
    EXPECT_TRUE(op.WaitIdle(kStepMs));
    EXPECT_TRUE(op.NoMessageBoxWithin(200));

    const std::vector<std::string> lines = op.Lines(kReportList);
    auto at = lines.begin();
    for (const std::string& line : d.linesSeen)
    {
        at = std::find(at, lines.end(), line);
        ASSERT_NE(at, lines.end()) << line << " in " << Join(lines);
        ++at;
    }
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Download Aborted!"), 0) << Join(lines);
    // One protocol change and one checksum request: no answer was judged twice or missed.
    EXPECT_EQ(sim.FramesOf('p').size(), 1u);
    EXPECT_EQ(sim.FramesOf('c').size(), 1u);
    if (d.image)
    {
        const std::vector<Frame> blocks = sim.FramesOf('w');
        EXPECT_EQ(std::count_if(blocks.begin(), blocks.end(),
                                [](const Frame& f) { return f.bytes[2] == 0 && f.bytes[3] == 66; }),
                  1 + static_cast<long>(d.writeFailures));
        std::vector<std::uint8_t> flash = sim.Flash("main");
        flash.resize(image.blocks.size(), 0xFF);
        EXPECT_EQ(flash, image.blocks);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryAnswerAByteAtATime, SplitAnswers, ::testing::ValuesIn(kDownloads),
                         [](const ::testing::TestParamInfo<SplitDownload>& info)
                         { return std::string(info.param.name); });

} // namespace
