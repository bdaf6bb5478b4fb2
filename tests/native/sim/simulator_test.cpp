// The simulator on a real pseudo-terminal and a real control channel.
#include "sim/crc_x25.h"
#include "sim/hex_text.h"
#include "sim_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <termios.h>
#include <unistd.h>

namespace sim::test
{
namespace
{

using Clock = std::chrono::steady_clock;

std::string LinkTarget(const std::string& link)
{
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof(target) - 1);
    return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

// A key=value of a STATS or LINE answer.
std::string Value(const std::string& answer, const std::string& key)
{
    const std::size_t start = answer.find(" " + key + "=");
    if (start == std::string::npos)
    {
        return std::string();
    }
    const std::size_t valueStart = start + key.size() + 2;
    return answer.substr(valueStart, answer.find(' ', valueStart) - valueStart);
}

class SimulatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(scratch.Path().empty());
        config.linkPath = scratch.Path() + "/ports/com1";
        config.controlPort = 0;
        config.reopenWaitMs = 0; // unless a test says so, the PC keeps its port open after <p
    }

    // Starts the simulator, opens the PC's line through the link and connects the client.
    void Start()
    {
        simulator = std::make_unique<RunningSimulator>(config);
        ASSERT_TRUE(simulator->Started()) << simulator->StartError();
        ASSERT_TRUE(pc.Open(config.linkPath));
        ASSERT_TRUE(control.Connect(simulator->Get().ControlPort()));
    }

    std::vector<std::uint8_t> Exchange(const std::vector<std::uint8_t>& frame, std::size_t count,
                                       int timeoutMs = kPatienceMs)
    {
        EXPECT_TRUE(pc.Write(frame));
        return pc.Read(count, timeoutMs);
    }

    ScratchFolder scratch;
    SimConfig config;
    std::unique_ptr<RunningSimulator> simulator;
    PcLine pc;
    ControlClient control;
};

TEST_F(SimulatorTest, LinkNamesTheTerminalAndSignalIsAnswered)
{
    Start();
    EXPECT_EQ(simulator->Get().SlavePath(), LinkTarget(config.linkPath));
    EXPECT_EQ(Bytes(">i"), Exchange(Bytes("<i"), 2));
}

TEST_F(SimulatorTest, DownloadOverTheLine)
{
    Start();
    ASSERT_EQ(Bytes(">i"), Exchange(Bytes("<i"), 2));
    const std::vector<std::uint8_t> record = Exchange({'<', 'p', '0', 4}, 66);
    ASSERT_EQ(66u, record.size());
    EXPECT_EQ('p', record[1]);
    ASSERT_EQ(Bytes(">e"), Exchange(Bytes("<e"), 2));

    std::vector<std::uint8_t> mainFile;
    for (std::uint32_t block = 0; block < 3; ++block)
    {
        const std::vector<std::uint8_t> frame = BlockFrame(false, block, 7);
        ASSERT_EQ(Bytes(">w"), Exchange(frame, 2)) << block;
        mainFile.insert(mainFile.end(), frame.begin() + 4, frame.end());
    }
    const std::vector<std::uint8_t> lpFrame = BlockFrame(true, 0, 9);
    ASSERT_EQ(Bytes(">w"), Exchange(lpFrame, 2));

    const std::uint16_t mainCrc = CrcX25(mainFile.data(), mainFile.size());
    const std::uint16_t lpCrc = CrcX25(lpFrame.data() + 4, kBlockDataSize);
    const std::vector<std::uint8_t> request = {'<',
                                               'c',
                                               std::uint8_t(mainCrc >> 8),
                                               std::uint8_t(mainCrc & 0xFF),
                                               std::uint8_t(lpCrc >> 8),
                                               std::uint8_t(lpCrc & 0xFF)};
    std::vector<std::uint8_t> verdict = request;
    verdict[0] = '>';
    EXPECT_EQ(verdict, Exchange(request, 6));

    // What the control channel saw of it.
    const std::vector<std::string> transcript = control.Command("TRANSCRIPT");
    ASSERT_EQ(9u, transcript.size());
    EXPECT_EQ("OK 8", transcript.back());
    EXPECT_EQ(0u, transcript[1].find("FRAME "));
    EXPECT_EQ("3C703004", transcript[1].substr(transcript[1].rfind(' ') + 1));

    const std::vector<std::string> flash = control.Command("FLASH main");
    ASSERT_EQ(4u, flash.size());
    EXPECT_EQ("OK 3", flash.back());
    EXPECT_EQ("BLOCK 1 " + ToHex(mainFile.data() + kBlockDataSize, kBlockDataSize), flash[1]);

    const std::string stats = control.Last("STATS");
    EXPECT_EQ("4", Value(stats, "frames_w"));
    EXPECT_EQ("4", Value(stats, "turnarounds")); // every ">w" was followed by a frame
    EXPECT_EQ("8", Value(stats, "answers"));
}

TEST_F(SimulatorTest, ControlCommandsAndErrors)
{
    Start();
    EXPECT_EQ("OK", control.Last("FAULT write_fail main 0 1"));
    EXPECT_EQ("OK", control.Last("SETSTR mobile_id RT37 "));
    EXPECT_EQ(Bytes(">W"), Exchange(BlockFrame(false, 0, 1), 2));
    EXPECT_EQ(Bytes(">w"), Exchange(BlockFrame(false, 0, 1), 2));
    const std::vector<std::uint8_t> record = Exchange({'<', 'p', '4', 2}, 66);
    ASSERT_EQ(66u, record.size());
    EXPECT_EQ(Bytes("RT37 "), std::vector<std::uint8_t>(record.begin() + 50, record.begin() + 55));

    EXPECT_EQ("OK", control.Last("SEND 3E6921"));
    EXPECT_EQ(Bytes(">i!"), pc.Read(3));

    EXPECT_EQ("OK", control.Last("RESET"));
    EXPECT_EQ("OK ", control.Last("RECEIVED"));
    EXPECT_EQ(Bytes(">w"), Exchange(BlockFrame(false, 0, 1), 2)); // the fault went with RESET
    pc.WriteText("zz<i");
    pc.Read(2);
    const std::vector<std::string> transcript = control.Command("TRANSCRIPT");
    ASSERT_EQ(4u, transcript.size());
    EXPECT_EQ(0u, transcript[1].find("GARBAGE "));
    EXPECT_EQ("7A7A", transcript[1].substr(transcript[1].rfind(' ') + 1));

    EXPECT_EQ(0u, control.Last("FROB").find("ERR"));
    EXPECT_EQ(0u, control.Last("SET mobile_id 5254").find("OK"));
    EXPECT_EQ(0u, control.Last("SET mobile_id 52543437580000").find("ERR"));
    EXPECT_EQ(0u, control.Last("SETNUM window_size 300").find("ERR"));
    EXPECT_EQ(0u, control.Last("FAULT split param").find("ERR"));
    EXPECT_EQ(0u, control.Last("MODE sleepy").find("ERR"));
    EXPECT_EQ(0u, control.Last("FLASH boot").find("ERR"));
}

TEST_F(SimulatorTest, WaitFrameAnswersWhenTheFramesHaveCome)
{
    Start();
    EXPECT_EQ("ERR timeout", control.Last("WAITFRAME i 1 50"));

    control.SendLine("WAITFRAME i 2 " + std::to_string(kPatienceMs));
    ASSERT_EQ(Bytes(">i"), Exchange(Bytes("<i"), 2));
    ASSERT_EQ(Bytes(">i"), Exchange(Bytes("<i"), 2));
    const std::vector<std::string> answer = control.ReadAnswer();
    ASSERT_EQ(1u, answer.size());
    EXPECT_EQ("OK", answer[0]);

    control.SendLine("WAITBYTES 5 " + std::to_string(kPatienceMs));
    pc.WriteText("x");
    EXPECT_EQ("OK", control.ReadAnswer().at(0));
}

TEST_F(SimulatorTest, RecordWaitsForThePcToReopenItsPort)
{
    config.reopenWaitMs = 30000;
    Start();
    ASSERT_TRUE(pc.Write(std::vector<std::uint8_t>{'<', 'p', '0', 2}));
    ASSERT_EQ("OK", control.Last("WAITFRAME p 1 5000"));
    EXPECT_EQ("OK 0", control.Last("ANSWERS")); // held while the PC still has its old channel

    const Clock::time_point reopened = Clock::now();
    pc.Close();
    ASSERT_TRUE(pc.Open(config.linkPath, 115200));
    EXPECT_EQ(66u, pc.Read(66).size());
    EXPECT_LT(Clock::now() - reopened, std::chrono::milliseconds(kPatienceMs));
}

TEST_F(SimulatorTest, PacedRecordSeesAReopenThatCameBeforeTheFrameCounted)
{
    // At 19200 baud '<' 'p' takes 2 ms on the line; the PC reopens well within that.
    config.reopenWaitMs = 30000;
    config.pace = true;
    Start();
    ASSERT_TRUE(pc.Write(std::vector<std::uint8_t>{'<', 'p', '0', 2}));
    pc.Close();
    ASSERT_TRUE(pc.Open(config.linkPath, 115200));
    EXPECT_EQ(66u, pc.Read(66).size());
}

TEST_F(SimulatorTest, RecordGoesOutWithoutAReopenAfterAWhile)
{
    config.reopenWaitMs = 100;
    Start();
    const Clock::time_point sent = Clock::now();
    EXPECT_EQ(66u, Exchange({'<', 'p', '0', 2}, 66).size());
    EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(100));
}

TEST_F(SimulatorTest, LineShowsWhatThePcSet)
{
    Start();
    termios settings{};
    ASSERT_EQ(0, ::tcgetattr(pc.Fd(), &settings));
    ::cfsetospeed(&settings, B38400);
    ::cfsetispeed(&settings, B38400);
    settings.c_cflag |= CSTOPB;
    ASSERT_EQ(0, ::tcsetattr(pc.Fd(), TCSANOW, &settings));
    // A Linux pseudo-terminal always keeps 8 bits without parity.
    EXPECT_EQ("OK baud=38400 bits=8 parity=none stop=2", control.Last("LINE"));

    ::cfsetospeed(&settings, B115200);
    settings.c_cflag &= ~CSTOPB;
    ASSERT_EQ(0, ::tcsetattr(pc.Fd(), TCSANOW, &settings));
    EXPECT_EQ("OK baud=115200 bits=8 parity=none stop=1", control.Last("LINE"));
}

TEST_F(SimulatorTest, PcClosingItsSideLosesNothing)
{
    Start();
    pc.Close();
    EXPECT_EQ("OK", control.Last("SEND 3E70"));
    ASSERT_TRUE(pc.Open(config.linkPath, 115200));
    EXPECT_EQ(Bytes(">p"), pc.Read(2));
    EXPECT_EQ(Bytes(">i"), Exchange(Bytes("<i"), 2));
}

TEST_F(SimulatorTest, ResetDiscardsWhatThePcHasNotRead)
{
    Start();
    pc.Close();
    EXPECT_EQ("OK", control.Last("SEND 3E693E69"));
    EXPECT_EQ("OK", control.Last("RESET"));
    ASSERT_TRUE(pc.Open(config.linkPath));
    EXPECT_EQ(Bytes(">i"), Exchange(Bytes("<i"), 3, 300)); // only the new answer
}

TEST_F(SimulatorTest, UnplugAndPlugAgain)
{
    Start();
    EXPECT_EQ("OK", control.Last("UNPLUG"));
    EXPECT_EQ("", LinkTarget(config.linkPath));
    EXPECT_TRUE(pc.Read(1, kPatienceMs).empty()); // hung up: the read ends at once
    EXPECT_EQ(0u, control.Last("LINE").find("ERR"));

    const std::string plugged = control.Last("PLUG");
    ASSERT_EQ(0u, plugged.find("OK /dev/"));
    EXPECT_EQ(plugged.substr(3), LinkTarget(config.linkPath));
    ASSERT_TRUE(pc.Open(config.linkPath));
    EXPECT_EQ(Bytes(">i"), Exchange(Bytes("<i"), 2));
}

TEST_F(SimulatorTest, SplitAnswerGoesOutInPiecesWithAGap)
{
    Start();
    EXPECT_EQ("OK", control.Last("FAULT split param 20"));
    EXPECT_EQ("OK", control.Last("SETNUM split_gap_ms 80"));
    EXPECT_EQ(66u, Exchange({'<', 'p', '0', 2}, 66).size());
    const std::vector<std::string> answers = control.Command("ANSWERS");
    ASSERT_EQ(3u, answers.size());
    const auto time = [](const std::string& line)
    { return std::stoull(line.substr(7, line.rfind(' ') - 7)); };
    EXPECT_EQ(40u, answers[0].size() - answers[0].rfind(' ') - 1);
    EXPECT_EQ(92u, answers[1].size() - answers[1].rfind(' ') - 1);
    EXPECT_GE(time(answers[1]) - time(answers[0]), 80000u);
}

TEST_F(SimulatorTest, AdapterProfilesCutTheAnswers)
{
    const auto time = [](const std::string& line)
    { return std::stoull(line.substr(line.find(' ') + 1, line.rfind(' ') - line.find(' ') - 1)); };
    const auto hexBytes = [](const std::string& line)
    { return (line.size() - line.rfind(' ') - 1) / 2; };
    Start();
    EXPECT_EQ(0u, control.Last("ADAPTER ftdi:0").find("ERR"));
    ASSERT_EQ("OK", control.Last("ADAPTER ftdi"));
    EXPECT_EQ("ftdi:16", Value(control.Last("STATUS"), "adapter"));
    ASSERT_EQ(Bytes(">i"), Exchange(Bytes("<i"), 2));
    ASSERT_EQ(66u, Exchange({'<', 'p', '0', 2}, 66).size());
    // ">i" waits for the latency timer; the record goes as a full packet and four bytes later.
    const std::vector<std::string> frames = control.Command("TRANSCRIPT");
    const std::vector<std::string> answers = control.Command("ANSWERS");
    ASSERT_EQ(4u, answers.size());
    EXPECT_GE(time(answers[0]) - time(frames[0]), 16000u);
    EXPECT_EQ(62u, hexBytes(answers[1]));
    EXPECT_EQ(4u, hexBytes(answers[2]));
    EXPECT_GE(time(answers[2]) - time(answers[1]), 16000u);
    EXPECT_GE(std::stoul(Value(control.Last("STATS"), "answer_delay_median_us")), 16000u);

    // Random cuts come again with their seed after a RESET.
    std::vector<std::vector<std::string>> runs;
    for (int run = 0; run < 2; ++run)
    {
        ASSERT_EQ("OK", control.Last("RESET"));
        ASSERT_EQ("OK", control.Last("ADAPTER random:5"));
        ASSERT_EQ("OK", control.Last("SEND 3E693E693E693E69"));
        ASSERT_EQ(Bytes(">i>i>i>i"), pc.Read(8));
        std::vector<std::string> sizes;
        for (const std::string& line : control.Command("ANSWERS"))
        {
            sizes.push_back(line.substr(line.rfind(' ') + 1));
        }
        runs.push_back(sizes);
    }
    EXPECT_GT(runs[0].size(), 2u);
    EXPECT_EQ(runs[0], runs[1]);
}

TEST_F(SimulatorTest, PacingTakesTheLineTimeOfEveryBlock)
{
    config.pace = true;
    Start();
    ASSERT_EQ(66u, Exchange({'<', 'p', '0', 2}, 66).size()); // now 115200 baud
    constexpr int kBlocks = 5;
    const Clock::time_point start = Clock::now();
    for (int block = 0; block < kBlocks; ++block)
    {
        ASSERT_EQ(Bytes(">w"), Exchange(BlockFrame(false, block, 3), 2));
    }
    const auto elapsedUs =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    // 1028 bytes in and 2 out at 10 bits a byte: 89409 us a block.
    EXPECT_GE(elapsedUs, kBlocks * 89409);
    EXPECT_EQ("OK plugged=1", control.Last("STATUS").substr(0, 12));
    EXPECT_EQ("115200", Value(control.Last("STATUS"), "rate"));
    EXPECT_EQ("on", Value(control.Last("STATUS"), "pace"));
}

} // namespace
} // namespace sim::test
