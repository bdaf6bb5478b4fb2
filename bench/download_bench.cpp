// Times a 1 MiB main-code download through the real program under Wine, against the simulator:
// blocks per second, the handset's turnaround figures, and the share of the stop-and-wait line
// limit reached when the simulator paces the line.
//   download_bench.exe [paced]
#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace e2e;

namespace
{
constexpr std::uint32_t kBlocks = 1024; // 1 MiB of data blocks
constexpr double kBaud = 115200.0;
constexpr double kBitsPerByte = 10.0;       // 8N1
constexpr double kWireBytesPerBlock = 1030; // 1028-byte frame + ">w"
bool g_paced = false;

std::string Field(const std::string& stats, const std::string& name)
{
    const std::size_t at = stats.find(" " + name + "=");
    if (at == std::string::npos)
        return "?";
    const std::size_t start = at + name.size() + 2;
    return stats.substr(start, stats.find(' ', start) - start);
}
} // namespace

TEST(Benchmark, OneMebibyteMainCodeDownload)
{
    Simulator sim;
    ASSERT_TRUE(sim.Connect());
    sim.Do("RESET");
    sim.Do(g_paced ? "PACE on" : "PACE off");
    const ReleaseFile image = MakeImage("bench_1mib.rel", kBlocks, "RT47");
    ASSERT_EQ(image.BlockCount(), kBlocks);

    Operator op;
    Choices choices;
    choices.baud = "115200";
    choices.imagePath = image.path;
    ASSERT_TRUE(Prepare(op, choices));
    op.Click(kStartButton);
    ASSERT_TRUE(op.WaitForLine(kReportList, "Download completed successfully...", 900000));

    const std::vector<Frame> blocks = sim.FramesOf('w');
    ASSERT_EQ(blocks.size(), kBlocks);
    const double seconds = (blocks.back().timeUs - blocks.front().timeUs) / 1e6;
    const double perBlock = seconds / (kBlocks - 1);
    const double lineLimit = kWireBytesPerBlock * kBitsPerByte / kBaud;
    const std::string stats = sim.Do("STATS").back();

    std::printf("RESULT mode=%s blocks=%u seconds=%.3f blocks_per_second=%.1f "
                "per_block_ms=%.3f line_limit_ms=%.3f line_limit_ratio=%.4f "
                "turnaround_median_us=%s turnaround_p99_us=%s\n",
                g_paced ? "paced-115200" : "unpaced", kBlocks, seconds, (kBlocks - 1) / seconds,
                perBlock * 1e3, lineLimit * 1e3, lineLimit / perBlock,
                Field(stats, "turnaround_median_us").c_str(),
                Field(stats, "turnaround_p99_us").c_str());
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
        g_paced = g_paced || std::strcmp(argv[i], "paced") == 0;
    return RUN_ALL_TESTS();
}
