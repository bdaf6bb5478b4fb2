// What a port's runner tells its observer over whole downloads against the simulator: the
// phases in order, each block's stages with their counts, the handset, the ending and the
// journal, and a station's run of downloads.
#include "cli_test_support.h"
#include "runner/exit_codes.h"
#include "runner/port_session.h"
#include "runner_test_support.h"
#include "serial/posix/posix_serial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace runner::test
{
namespace
{

constexpr std::uint32_t kImageBlocks = 70; // the model field lies in block 64

struct CountingJournal : DownloadJournal
{
    bool Record(const std::string&, const DownloadResult&) override
    {
        ++lines;
        return writable;
    }
    std::atomic<int> lines{0};
    bool writable = true;
};

class RunnerEvents : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_scratch.Path().empty());
        const std::string image = m_scratch.Path() + "/image.rel";
        cli::test::WriteImage(image, kImageBlocks, "RT47-TEST", 1);
        ASSERT_TRUE(m_handset.Ready());
        std::snprintf(m_job.setup.modelName, sizeof m_job.setup.modelName, "RT47");
        std::string error;
        ASSERT_TRUE(LoadReleaseFiles(m_job, image, "", error)) << error;
        m_job.timeoutSeconds = 30;
        m_job.journal = &m_journal;
    }

    // Runs the port's downloads to their end on this thread.
    const std::vector<DownloadResult>& Run()
    {
        m_session = std::make_unique<CPortSession>(
            m_handset.Port(), m_job,
            [](const std::string& port, std::uint32_t baudRate, const std::string& debugLogPath,
               serial::ChunkSink& sink, serial::FailureReport& report) {
                return std::make_unique<serial::CPosixSerial>(port, baudRate, sink, report,
                                                              debugLogPath);
            },
            nullptr, m_events, "");
        m_session->Run();
        return m_session->Results();
    }

    std::vector<std::string> Starting(const std::string& word) const
    {
        std::vector<std::string> found;
        for (const std::string& event : m_events.Events())
        {
            if (event.rfind(word, 0) == 0)
            {
                found.push_back(event);
            }
        }
        return found;
    }

    sim::test::ScratchFolder m_scratch;
    cli::test::Handset m_handset{m_scratch.Path(), "port"};
    DownloadJob m_job;
    CountingJournal m_journal;
    EventLog m_events;
    std::unique_ptr<CPortSession> m_session;
};

TEST_F(RunnerEvents, ADownloadTellsItsPhasesBlocksHandsetAndEnd)
{
    const std::vector<DownloadResult>& results = Run();
    ASSERT_EQ(1u, results.size());
    ASSERT_EQ(kExitSuccess, results[0].exitCode) << m_events.Text();
    EXPECT_EQ(FailureClass::None, results[0].failure);

    const std::vector<std::string> expectedPhases = {"phase identifying", "phase erasing",
                                                     "phase sending", "phase checking"};
    EXPECT_EQ(expectedPhases, Starting("phase")) << m_events.Text();
    EXPECT_EQ(std::vector<std::string>{"handset RT47-SIM-0001 RT47"}, Starting("handset"));
    // Every block goes ahead and is read; the one blank block is skipped, the rest sent.
    const std::vector<std::string> ahead = Starting("block ahead");
    ASSERT_EQ(kImageBlocks, ahead.size());
    EXPECT_EQ("block ahead main 0/70 1/70", ahead.front());
    EXPECT_EQ("block ahead main 69/70 70/70", ahead.back());
    EXPECT_EQ(kImageBlocks, Starting("block read").size());
    EXPECT_EQ(1u, Starting("block skipped").size());
    EXPECT_EQ(kImageBlocks - 1, Starting("block sent").size());
    EXPECT_EQ(std::vector<std::string>{"transfer " + std::to_string(kImageBlocks - 1)},
              Starting("transfer"));

    // Begun first; the end, then the journal's line, last.
    const std::vector<std::string> events = m_events.Events();
    EXPECT_EQ("begun", events.front());
    ASSERT_LE(2u, events.size());
    EXPECT_EQ("ended 0 ", events[events.size() - 2]);
    EXPECT_EQ("journal ok", events.back());
    EXPECT_EQ(1, m_journal.lines.load());
    EXPECT_EQ(1, m_events.Count("line Download completed successfully..."));
}

TEST_F(RunnerEvents, ARefusedModelEndsWithItsReasonAndAJournalThatFailsSaysSo)
{
    ASSERT_EQ("OK", m_handset.Ask("SETSTR product_id RT37-OTHER"));
    m_journal.writable = false;
    const std::vector<DownloadResult>& results = Run();
    ASSERT_EQ(1u, results.size());
    EXPECT_EQ(kExitAborted, results[0].exitCode);
    EXPECT_EQ(FailureClass::ModelMismatch, results[0].failure);
    EXPECT_EQ(std::vector<std::string>{"ended 2 Model number mismatch - Continue? No"},
              Starting("ended"));
    EXPECT_EQ(std::vector<std::string>{"phase identifying"}, Starting("phase"));
    EXPECT_EQ(0, m_events.Count("block"));
    const std::vector<std::string> events = m_events.Events();
    ASSERT_LE(2u, events.size());
    EXPECT_EQ("journal failed", events[events.size() - 2]);
    EXPECT_EQ("error Journal: the line of this download could not be written", events.back());
}

TEST_F(RunnerEvents, AStationBeginsAgainAfterEachDownloadAndSaysEachResult)
{
    m_job.station = true;
    m_job.count = 2;
    const std::vector<DownloadResult>& results = Run();
    ASSERT_EQ(2u, results.size()) << m_events.Text();
    EXPECT_EQ(2, m_events.Count("begun"));
    EXPECT_EQ(2, m_events.Count("ended"));
    EXPECT_EQ(2, m_events.Count("journal"));
    EXPECT_EQ(2u, Starting("line Result: RT47-SIM-0001 RT47 passed").size()) << m_events.Text();
}

} // namespace
} // namespace runner::test
