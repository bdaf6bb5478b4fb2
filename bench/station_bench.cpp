// Times eight ports at once through TervoloStation.exe under Wine, each against its own paced
// simulator (COM1 to COM8, control ports TERVOLO_SIM_CONTROL + 0..7): a 1 MiB main-code download
// on every port, and for each the share of the stop-and-wait line limit at 115200 baud it
// reached, from the handset's own clock (its first and last block frame).
//   station_bench.exe STATION_EXE
#include "station_app/station_ids.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

using namespace e2e;

namespace
{
constexpr unsigned kPorts = 8;
constexpr std::uint32_t kBlocks = 1024; // 1 MiB of data blocks on each port
constexpr double kBaud = 115200.0;
constexpr double kBitsPerByte = 10.0;       // 8N1
constexpr double kWireBytesPerBlock = 1030; // 1028-byte frame + ">w"
constexpr unsigned kLaunchMs = 120000;
constexpr unsigned kRunMs = 900000; // 92 s at the line limit, with room for a loaded machine
constexpr DWORD kPollMs = 200;
std::string g_station;

std::string Windows(const std::string& path)
{
    std::string escaped;
    for (char c : path)
    {
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    return escaped;
}
} // namespace

TEST(Benchmark, EightPortsAtOnceInTheStation)
{
    Simulator sims[kPorts];
    for (unsigned port = 0; port < kPorts; ++port)
    {
        ASSERT_TRUE(sims[port].Connect(port + 1)) << "no simulator for COM" << port + 1;
        sims[port].Do("RESET");
        sims[port].Do("PACE on");
    }
    const ReleaseFile image = MakeImage("bench_station_1mib.rel", kBlocks, "RT47");
    const std::string journal = TempFolder() + "bench_station.jsonl";
    DeleteFileA(journal.c_str());
    const std::string job = TempFolder() + "bench_station.json";
    {
        std::ofstream out(job);
        out << "{\"model\": \"RT47\", \"baud\": 115200, \"image\": \"" << Windows(image.path)
            << "\", \"station\": true, \"count\": 1, \"journal\": \"" << Windows(journal)
            << "\", \"ports\": [";
        for (unsigned port = 0; port < kPorts; ++port)
        {
            out << (port == 0 ? "" : ", ") << "\"COM" << port + 1 << "\"";
        }
        out << "]}";
    }

    Operator op;
    ASSERT_TRUE(op.Launch(g_station, "\"" + job + "\"", kLaunchMs, IDC_TILE_FIRST));
    const DWORD started = GetTickCount();
    op.Click(IDC_START_STATION);
    const std::string done = ": " + std::to_string(kPorts) + " lines written";
    while (op.Text(IDC_JOURNAL_TEXT).find(done) == std::string::npos)
    {
        ASSERT_LT(GetTickCount() - started, kRunMs) << op.Text(IDC_JOURNAL_TEXT);
        Sleep(kPollMs);
    }
    const double wallSeconds = (GetTickCount() - started) / 1e3;
    const std::string totals = op.Text(IDC_TOTALS_TEXT);
    EXPECT_EQ(0u, totals.rfind("passed 8  failed 0", 0)) << totals;
    EXPECT_TRUE(op.Close());

    const double lineLimit = kWireBytesPerBlock * kBitsPerByte / kBaud;
    double lowest = 1e9;
    double sum = 0;
    for (unsigned port = 0; port < kPorts; ++port)
    {
        const std::vector<Frame> blocks = sims[port].FramesOf('w');
        ASSERT_EQ(kBlocks, blocks.size()) << "COM" << port + 1;
        const double perBlock =
            (blocks.back().timeUs - blocks.front().timeUs) / 1e6 / (kBlocks - 1);
        const double ratio = lineLimit / perBlock;
        lowest = std::min(lowest, ratio);
        sum += 1.0 / perBlock;
        std::printf("RESULT mode=station-paced-115200 port=COM%u blocks=%u per_block_ms=%.3f "
                    "blocks_per_second=%.2f line_limit_ms=%.3f line_limit_ratio=%.4f\n",
                    port + 1, kBlocks, perBlock * 1e3, 1.0 / perBlock, lineLimit * 1e3, ratio);
    }
    std::printf("RESULT mode=station-paced-115200 ports=%u blocks_per_second_total=%.1f "
                "lowest_line_limit_ratio=%.4f wall_seconds=%.1f\n",
                kPorts, sum, lowest, wallSeconds);
    EXPECT_GE(lowest, 0.98);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    g_station = argc > 1 ? argv[1] : "";
    return RUN_ALL_TESTS();
}
