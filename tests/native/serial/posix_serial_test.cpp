// The POSIX channel over a pty of the test's own: a backlog delivered whole, writes to a device
// that stops taking data ending by their bound or by a stop, the debug log.
#include "scratch_folder.h"
#include "serial/posix/posix_serial.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int kPatienceSeconds = 30; // generous: only a hung channel takes this long
constexpr std::uint32_t kBaudRate = 115200;
constexpr std::size_t kFrameBytes = 1028;

// The handset's end: the pty's master, non-blocking. Its slave is the channel's port.
class Pty
{
public:
    Pty()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
        {
            m_slavePath = ::ptsname(m_master);
        }
    }
    ~Pty() { ::close(m_master); }
    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }

private:
    int m_master = -1;
    std::string m_slavePath;
};

// Records what the channel delivers and reports.
class Recorder : public serial::ChunkSink, public serial::FailureReport
{
public:
    void OnChunk(std::size_t count, const std::uint8_t* chunk) override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_chunks.push_back(count);
        m_bytes.insert(m_bytes.end(), chunk, chunk + count);
        m_starts.push_back(chunk);
        m_changed.notify_all();
    }
    void ReportFailure(const char* text, const char* caption) override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_failures.push_back(std::string(caption) + ": " + text);
    }
    bool WaitForBytes(std::size_t count)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::seconds(kPatienceSeconds),
                                  [&]() { return m_bytes.size() >= count; });
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::size_t> m_chunks;
    std::vector<const std::uint8_t*> m_starts;
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::string> m_failures;
};

std::vector<std::uint8_t> Pattern(std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
    {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    return bytes;
}

class PosixSerialTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_FALSE(m_pty.SlavePath().empty()); }

    // Writes frames until one no longer fits: the device has stopped taking data.
    static void Stall(serial::CPosixSerial& channel)
    {
        const std::vector<std::uint8_t> frame = Pattern(kFrameBytes);
        while (channel.Write(frame.data(), frame.size()) == frame.size())
        {
        }
    }

    Pty m_pty;
    Recorder m_recorder;
};

TEST_F(PosixSerialTest, BacklogComesWholeInReadsOfAtMost300Bytes)
{
    // Queued on the raw line before the reader starts: more than ten reads wait at its first.
    const int line = ::open(m_pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    ASSERT_EQ(0, ::tcgetattr(line, &raw));
    ::cfmakeraw(&raw);
    ASSERT_EQ(0, ::tcsetattr(line, TCSANOW, &raw));
    const std::vector<std::uint8_t> sent = Pattern(3500);
    ASSERT_EQ(static_cast<ssize_t>(sent.size()), ::write(m_pty.Master(), sent.data(), sent.size()));
    serial::CPosixSerial channel(m_pty.SlavePath(), kBaudRate, m_recorder, m_recorder);
    ::close(line);
    ASSERT_TRUE(channel.IsOpen());

    ASSERT_TRUE(m_recorder.WaitForBytes(sent.size())) << m_recorder.m_bytes.size();
    channel.Close();
    EXPECT_EQ(sent, m_recorder.m_bytes);
    // Each chunk lies where the previous one ended, back at the start once 2800 is reached.
    std::uint32_t index = 0;
    for (std::size_t i = 0; i < m_recorder.m_chunks.size(); ++i)
    {
        EXPECT_LE(m_recorder.m_chunks[i], serial::kMaxReadBytes);
        EXPECT_EQ(channel.RxBufferStart() + index, m_recorder.m_starts[i]) << i;
        index = serial::NextWriteIndex(index, static_cast<std::uint32_t>(m_recorder.m_chunks[i]));
    }
    EXPECT_EQ(index, channel.RxWriteIndex());
}

TEST_F(PosixSerialTest, WritesToAStalledDeviceEndByTheirBoundOrAtAStop)
{
    serial::CPosixSerial channel(m_pty.SlavePath(), kBaudRate, m_recorder, m_recorder);
    ASSERT_TRUE(channel.IsOpen());
    // The frame that no longer fits fails once its bound has passed.
    auto stalled = std::async(std::launch::async, [&]() { Stall(channel); });
    ASSERT_EQ(std::future_status::ready, stalled.wait_for(std::chrono::seconds(kPatienceSeconds)));
    // Far more than the line holds: bounded by minutes, so only the stop can end it in time.
    const std::vector<std::uint8_t> large = Pattern(4 * 1024 * 1024);
    auto writing =
        std::async(std::launch::async, [&]() { return channel.Write(large.data(), large.size()); });
    channel.Interrupt();
    ASSERT_EQ(std::future_status::ready, writing.wait_for(std::chrono::seconds(kPatienceSeconds)));
    EXPECT_LT(writing.get(), large.size());
    EXPECT_EQ(0u, channel.Write(large.data(), kFrameBytes));
    channel.Close();
    EXPECT_FALSE(channel.IsOpen());
}

TEST_F(PosixSerialTest, DebugLogHoldsTheBytesReceivedAndAnUncreatableOneFailsTheOpen)
{
    const ScratchFolder folder("posix-serial");
    ASSERT_FALSE(folder.Path().empty());
    const std::string logPath = folder.File("debug.txt");
    const std::vector<std::uint8_t> sent = Pattern(700);
    {
        serial::CPosixSerial channel(m_pty.SlavePath(), kBaudRate, m_recorder, m_recorder, logPath);
        ASSERT_TRUE(channel.IsOpen());
        ASSERT_EQ(static_cast<ssize_t>(sent.size()),
                  ::write(m_pty.Master(), sent.data(), sent.size()));
        ASSERT_TRUE(m_recorder.WaitForBytes(sent.size()));
    }
    const std::string log = ReadFile(logPath);
    EXPECT_EQ(sent, std::vector<std::uint8_t>(log.begin(), log.end()));

    // The folder itself cannot be opened as a file.
    serial::CPosixSerial refused(m_pty.SlavePath(), kBaudRate, m_recorder, m_recorder,
                                 folder.Path());
    EXPECT_FALSE(refused.IsOpen());
    EXPECT_EQ(std::vector<std::string>{"CSerialIO: Error opening log file!"},
              m_recorder.m_failures);
}

TEST(WriteBound, TwiceTheWireTimePlusASecond)
{
    EXPECT_EQ(std::chrono::milliseconds(1000), serial::WriteBound(0, 19200));
    // 1028 bytes of ten bits at 19200 baud: 535.4 ms on the wire, rounded up.
    EXPECT_EQ(std::chrono::milliseconds(2072), serial::WriteBound(1028, 19200));
    EXPECT_EQ(std::chrono::milliseconds(1180), serial::WriteBound(1028, 115200));
}

} // namespace
