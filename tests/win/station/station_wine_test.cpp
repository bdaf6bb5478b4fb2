// TervoloStation.exe under Wine against the simulators on COM1 to COM4, driven as an operator
// would: a station run to its count with its tile and totals read back, four ports that each end
// their own way, an unapproved file refused before anything is sent, and a close while a port
// runs that asks first.
#include "station_app/station_ids.h"
#include "tests/e2e/e2e_support.h"
#include "preset_store.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

namespace
{

constexpr unsigned kRunMs = 180000; // two small downloads, generously
constexpr DWORD kPollMs = 50;
constexpr unsigned kLaunchMs = 120000; // the first start of Wine in a test run is slow
constexpr char kPreset[] = "Station Line";

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

// A tile's text: its state, its counts and its last failure's reason, a line each.
std::string StateOf(const std::string& tileText)
{
    return tileText.substr(0, tileText.find('\n'));
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

    std::string WriteJob(const std::string& extra, const std::string& ports = "\"COM1\"")
    {
        const std::string path = TempFolder() + "station_job.json";
        std::ofstream(path) << "{\"model\": \"RT47\", \"image\": " << JsonText(m_image.path)
                            << ", \"ports\": [" << ports << "]" << extra << "}";
        return path;
    }

    // A preset of the main window's: RT47 main code at 57600 from the test's image.
    void WritePreset()
    {
        char length[8];
        std::snprintf(length, sizeof length, "%04u", static_cast<unsigned>(m_image.path.size()));
        preset_store::Write(kPreset, {{"MainCodeDownload", "1"},
                                      {"BootCodeDownload", "0"},
                                      {"MobileModel", "RT47"},
                                      {"BaudRate", "1"},
                                      {"ImageFilenameLength", length},
                                      {"ImageFilename", m_image.path}});
    }
    void DeletePreset()
    {
        RegDeleteTreeA(
            HKEY_CURRENT_USER,
            (std::string("Software\\Quorvatek\\Tervolo\\1.0\\Options\\") + kPreset).c_str());
    }

    std::string Tile(unsigned tile) const { return m_operator.Text(IDC_TILE_FIRST + tile); }

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
    EXPECT_EQ("Idle", StateOf(Tile(0)));
    m_operator.Click(IDC_START_STATION);

    EXPECT_TRUE(
        WaitUntil(kRunMs, [&]
                  { return m_operator.Text(IDC_TOTALS_TEXT).rfind("passed 2  failed 0", 0) == 0; }))
        << m_operator.Text(IDC_TOTALS_TEXT);
    EXPECT_EQ("PASSED\nPassed 2   Failed 0", Tile(0));
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

TEST_F(Station, FourPortsEachEndTheirOwnWayWithTheirCountsAndJournalLines)
{
    // COM1 clean; COM2 fails block 5 once and recovers; COM3's handset is another model, which
    // the job's default No refuses; COM4 is unplugged in its transfer (under Wine its reads go
    // quiet rather than fail, so it ends by the job's time-out, short here).
    e2e::Simulator sims[3];
    for (unsigned com = 2; com <= 4; ++com)
    {
        ASSERT_TRUE(sims[com - 2].Connect(com)) << "no simulator for COM" << com;
        sims[com - 2].Do("RESET");
    }
    sims[0].Do("FAULT write_fail main 5 1");
    sims[1].Do("SETSTR product_id RT37-OTHER");
    sims[2].Do("FAULT delay block 200 always"); // keeps COM4 in its blocks until the unplug
    const std::string journal = TempFolder() + "station_four.jsonl";
    DeleteFileA(journal.c_str());
    ASSERT_TRUE(Launch(WriteJob(", \"station\": true, \"count\": 1, \"timeout\": 5, \"journal\": " +
                                    JsonText(journal),
                                "\"COM1\", \"COM2\", \"COM3\", \"COM4\"")));
    m_operator.Click(IDC_START_STATION);
    ASSERT_TRUE(sims[2].WaitFrame('w', 2, kRunMs));
    sims[2].Do("UNPLUG");

    ASSERT_TRUE(WaitUntil(kRunMs,
                          [&] {
                              return m_operator.Text(IDC_JOURNAL_TEXT).find(": 4 lines written") !=
                                     std::string::npos;
                          }))
        << m_operator.Text(IDC_JOURNAL_TEXT);
    EXPECT_TRUE(
        WaitUntil(e2e::kStepMs, [&]
                  { return m_operator.Text(IDC_TOTALS_TEXT).rfind("passed 2  failed 2", 0) == 0; }))
        << m_operator.Text(IDC_TOTALS_TEXT);
    EXPECT_EQ("PASSED\nPassed 1   Failed 0", Tile(0));
    EXPECT_EQ("PASSED\nPassed 1   Failed 0", Tile(1));
    EXPECT_EQ("ABORTED\nPassed 0   Failed 1\nModel number mismatch - Continue? No", Tile(2));
    EXPECT_EQ("ABORTED\nPassed 0   Failed 1\nNo answer from the handset for 5 s.", Tile(3));
    EXPECT_EQ(m_image.blocks, m_sim.Flash("main"));
    EXPECT_EQ(m_image.blocks, sims[0].Flash("main"));
    EXPECT_EQ(1u, sims[0].FramesOf('w').size() - m_image.BlockCount()); // block 5 once more
    EXPECT_TRUE(sims[1].FramesOf('w').empty());
    EXPECT_TRUE(m_operator.Close());

    // A line per port, each with its tile and its verdict.
    const char* const verdicts[] = {"passed", "passed", "aborted", "aborted"};
    std::ifstream lines(journal);
    std::string line;
    std::set<unsigned> tiles;
    while (std::getline(lines, line))
    {
        const std::size_t at = line.find("\"port\":\"COM");
        ASSERT_NE(std::string::npos, at) << line;
        const unsigned com = static_cast<unsigned>(line[at + 11] - '0');
        ASSERT_TRUE(com >= 1 && com <= 4) << line;
        tiles.insert(com);
        EXPECT_NE(std::string::npos, line.find("\"tile\":" + std::to_string(com))) << line;
        EXPECT_NE(std::string::npos,
                  line.find(std::string("\"verdict\":\"") + verdicts[com - 1] + "\""))
            << line;
    }
    EXPECT_EQ((std::set<unsigned>{1, 2, 3, 4}), tiles);
    sims[2].Do("RESET"); // plugged in again for whoever comes next
}

TEST_F(Station, AnOpenedJobIsSavedToAJobFileThatReadsBackAlike)
{
    const std::string job = WriteJob(", \"station\": true, \"count\": 3, \"timeout\": 7");
    const std::string saved = TempFolder() + "station_saved";
    DeleteFileA((saved + ".json").c_str());
    ASSERT_TRUE(m_operator.Launch(StationPath(), "", kLaunchMs, IDC_START_STATION));
    EXPECT_TRUE(m_operator.IsEnabled(IDC_SAVE_JOB));
    m_operator.Click(IDC_OPEN_JOB);
    ASSERT_TRUE(m_operator.SaveAs(job, e2e::kStepMs)); // the open dialog, answered alike
    ASSERT_TRUE(WaitUntil(e2e::kStepMs, [&] { return StateOf(Tile(0)) == "Idle"; }));
    m_operator.Click(IDC_SAVE_JOB);
    std::string proposed;
    ASSERT_TRUE(m_operator.SaveAs(saved, e2e::kStepMs, &proposed));
    EXPECT_NE(std::string::npos, proposed.find("station_job.json")) << proposed;
    EXPECT_NE(std::string::npos, m_operator.Text(IDC_JOB_TEXT).find(saved + ".json"))
        << m_operator.Text(IDC_JOB_TEXT);
    EXPECT_TRUE(m_operator.Close());
    // The job as written, its extension added: the fields given and the defaults of the rest.
    std::ifstream in(saved + ".json");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* field :
         {"\"model\": \"RT47\"", "\"count\": 3", "\"timeout\": 7.0", "\"baud\": 115200",
          "\"station\": true", "\"gang\": false", "\"COM1\""})
    {
        EXPECT_NE(std::string::npos, text.find(field)) << field << " in " << text;
    }
}

TEST_F(Station, AStoredPresetRunsOnThePortsNamedAndIsNeverWritten)
{
    WritePreset();
    const std::vector<std::string> stored = preset_store::ValueNames(kPreset);
    ASSERT_TRUE(Launch("/P" + std::string(kPreset) + "\" COM1 \"COM2"));
    EXPECT_EQ(0u, m_operator.Text(IDC_JOB_TEXT).find("Preset Station Line: RT47, 57600 baud, main"))
        << m_operator.Text(IDC_JOB_TEXT);
    EXPECT_FALSE(m_operator.IsEnabled(IDC_OPEN_JOB));
    EXPECT_FALSE(m_operator.IsEnabled(IDC_SAVE_JOB));
    EXPECT_EQ("Idle", StateOf(Tile(1)));
    // COM1 alone; its station goes on to the next unit at once (the simulator answers again), so
    // its count tells the pass, the handset's checksum that the preset's image was sent.
    m_operator.Click(IDC_TILE_START_FIRST);
    ASSERT_TRUE(WaitUntil(kRunMs,
                          [&]
                          {
                              const std::string text = Tile(0);
                              return text.find("\nPassed ") != std::string::npos &&
                                     text.find("\nPassed 0") == std::string::npos;
                          }))
        << Tile(0);
    EXPECT_NE(std::string::npos, Tile(0).find("   Failed 0")) << Tile(0);
    EXPECT_EQ('1', m_sim.FramesOf('p').at(0).bytes.at(2)); // the preset's 57600
    EXPECT_EQ("Idle", StateOf(Tile(1)));
    PostMessageA(m_operator.MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    FoundMessageBox box;
    ASSERT_TRUE(m_operator.WaitForMessageBox(box, e2e::kStepMs)); // COM1 awaits its next unit
    EXPECT_TRUE(m_operator.Answer(box, IDYES));
    DWORD exitCode = 1;
    EXPECT_TRUE(m_operator.WaitForExit(exitCode, e2e::kStepMs));
    EXPECT_EQ(stored, preset_store::ValueNames(kPreset));
    EXPECT_EQ(m_image.path, preset_store::Read(kPreset, "ImageFilename").value_or(""));
    DeletePreset();
}

TEST_F(Station, APresetIsPickedWithPortsWindowsListsAndSavedAsAJob)
{
    WritePreset();
    const std::string saved = TempFolder() + "station_from_preset.json";
    DeleteFileA(saved.c_str());
    ASSERT_TRUE(m_operator.Launch(StationPath(), "", kLaunchMs, IDC_START_STATION));
    m_operator.Click(IDC_PRESET_JOB);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil(e2e::kStepMs,
                          [&] { return (dialog = FindWindowA(nullptr, "Job from a preset")); }));
    const HWND presets = GetDlgItem(dialog, IDC_STATION_PRESET_LIST);
    const HWND ports = GetDlgItem(dialog, IDC_STATION_PRESET_PORTS);
    ASSERT_NE(CB_ERR, SendMessageA(presets, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(kPreset)));
    // COM1 to COM4 at least: the ports the tests' prefix maps.
    ASSERT_LE(4, SendMessageA(ports, LB_GETCOUNT, 0, 0));
    for (const char* port : {"COM3", "COM1"})
    {
        const LRESULT index = SendMessageA(ports, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(port));
        ASSERT_NE(LB_ERR, index) << port;
        SendMessageA(ports, LB_SETSEL, TRUE, index);
    }
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil(e2e::kStepMs, [&] { return StateOf(Tile(1)) == "Idle"; }));
    EXPECT_EQ(0u, m_operator.Text(IDC_JOB_TEXT).find("Preset Station Line: RT47, 57600 baud"))
        << m_operator.Text(IDC_JOB_TEXT);
    EXPECT_EQ(nullptr, GetDlgItem(m_operator.MainWindow(), IDC_TILE_FIRST + 2));
    m_operator.Click(IDC_SAVE_JOB);
    ASSERT_TRUE(m_operator.SaveAs(saved, e2e::kStepMs));
    EXPECT_TRUE(WaitUntil(e2e::kStepMs, [&]
                          { return m_operator.Text(IDC_JOB_TEXT).rfind("Job " + saved, 0) == 0; }))
        << m_operator.Text(IDC_JOB_TEXT);
    EXPECT_TRUE(m_operator.Close());
    std::ifstream in(saved);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, text.find("\"COM1\",\n    \"COM3\"\n  ]")) << text; // list order
    EXPECT_NE(std::string::npos, text.find("\"baud\": 57600")) << text;
    EXPECT_NE(std::string::npos, text.find("\"station\": true")) << text;
    DeletePreset();
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
    EXPECT_EQ("Idle", StateOf(Tile(0)));
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
