// TervoloStation.exe under Wine against the simulator on COM1, driven as an operator would:
// a station run to its count with its tile and totals read back, an unapproved file refused
// before anything is sent, and a close while a port runs that asks first.
#include "station_app/station_ids.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <fstream>

namespace
{

constexpr unsigned kRunMs = 180000; // two small downloads, generously
constexpr DWORD kPollMs = 50;
constexpr unsigned kLaunchMs = 120000; // the first start of Wine in a test run is slow

template <typename Condition> bool WaitUntil(unsigned timeoutMs, Condition condition)
{
    const DWORD start = GetTickCount();
    while (!condition())
    {
        if (GetTickCount() - start >= timeoutMs)
        {
            return false;
        }
        Sleep(kPollMs);
    }
    return true;
}

std::string StationPath()
{
    const char* path = std::getenv("TERVOLO_STATION_EXE");
    return path != nullptr ? path : "";
}

std::string JsonText(const std::string& text)
{
    std::string escaped;
    for (char c : text)
    {
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    return "\"" + escaped + "\"";
}

class Station : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Connect());
        m_sim.Do("RESET");
        m_image = e2e::MakeImage("station_image.rel", 70, "RT47");
    }

    bool Launch(const std::string& job)
    {
        return m_operator.Launch(StationPath(), "\"" + job + "\"", kLaunchMs, IDC_TILE_FIRST);
    }

    std::string WriteJob(const std::string& extra)
    {
        const std::string path = TempFolder() + "station_job.json";
        std::ofstream(path) << "{\"model\": \"RT47\", \"image\": " << JsonText(m_image.path)
                            << ", \"ports\": [\"COM1\"]" << extra << "}";
        return path;
    }

    e2e::Simulator m_sim;
    e2e::ReleaseFile m_image;
    Operator m_operator;
};

TEST_F(Station, RunsAPortToItsCountAndShowsTheVerdictAndTotals)
{
    const std::string journal = TempFolder() + "station_journal.jsonl";
    DeleteFileA(journal.c_str());
    ASSERT_TRUE(
        Launch(WriteJob(", \"station\": true, \"count\": 2, \"journal\": " + JsonText(journal))));
    EXPECT_FALSE(m_operator.IsEnabled(IDC_OPEN_JOB)); // locked to the job named
    EXPECT_EQ("Idle", m_operator.Text(IDC_TILE_FIRST));
    m_operator.Click(IDC_START_STATION);

    EXPECT_TRUE(
        WaitUntil(kRunMs, [&]
                  { return m_operator.Text(IDC_TOTALS_TEXT).rfind("passed 2  failed 0", 0) == 0; }))
        << m_operator.Text(IDC_TOTALS_TEXT);
    EXPECT_EQ("PASSED", m_operator.Text(IDC_TILE_FIRST));
    EXPECT_EQ(m_image.blocks, m_sim.Flash("main"));
    EXPECT_NE(std::string::npos, m_operator.Text(IDC_TOTALS_TEXT).find("yield 100.0 %"));
    EXPECT_TRUE(WaitUntil(e2e::kStepMs,
                          [&] {
                              return m_operator.Text(IDC_JOURNAL_TEXT).find(": 2 lines written") !=
                                     std::string::npos;
                          }))
        << m_operator.Text(IDC_JOURNAL_TEXT);
    EXPECT_TRUE(m_operator.Close());
    // The journal's lines, as tervolo-cli writes them, with the tile.
    std::ifstream lines(journal);
    std::string line;
    unsigned count = 0;
    while (std::getline(lines, line))
    {
        ++count;
        EXPECT_NE(std::string::npos, line.find("\"port\":\"COM1\"")) << line;
        EXPECT_NE(std::string::npos, line.find("\"tile\":1")) << line;
        EXPECT_NE(std::string::npos, line.find("\"verdict\":\"passed\"")) << line;
    }
    EXPECT_EQ(2u, count);
}

TEST_F(Station, AFileThatIsNotTheApprovedOneIsRefusedAndNothingIsSent)
{
    ASSERT_TRUE(Launch(WriteJob(", \"image_sha256\": \"" + std::string(64, '0') + "\"")));
    m_operator.Click(IDC_START_STATION);
    FoundMessageBox box;
    ASSERT_TRUE(m_operator.WaitForMessageBox(box, e2e::kStepMs));
    EXPECT_NE(std::string::npos, box.text.find("station_image.rel is not the approved file"))
        << box.text;
    EXPECT_TRUE(m_operator.Answer(box, IDOK));
    EXPECT_EQ("Idle", m_operator.Text(IDC_TILE_FIRST));
    EXPECT_TRUE(m_sim.Frames().empty());
    EXPECT_TRUE(m_operator.Close());
}

TEST_F(Station, ClosingWhileAPortRunsAsksAndThenStopsIt)
{
    ASSERT_TRUE(Launch(WriteJob("")));
    m_operator.Click(IDC_START_STATION);
    ASSERT_TRUE(WaitUntil(
        kRunMs, [&] { return m_operator.Text(IDC_TILE_FIRST).rfind("Sending block", 0) == 0; }))
        << m_operator.Text(IDC_TILE_FIRST);
    PostMessageA(m_operator.MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    FoundMessageBox box;
    ASSERT_TRUE(m_operator.WaitForMessageBox(box, e2e::kStepMs));
    EXPECT_NE(std::string::npos, box.text.find("Stop them all and close")) << box.text;
    EXPECT_TRUE(m_operator.Answer(box, IDYES));
    DWORD exitCode = 1;
    EXPECT_TRUE(m_operator.WaitForExit(exitCode, e2e::kStepMs));
}

} // namespace
