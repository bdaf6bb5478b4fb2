// The serial channel against the handset simulator on COM1 (a pty under Wine).

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "message_boxes.h"
#include "channel_checks.h"
#include "notification_window.h"
#include "scratch_folder.h"
#include "framework/message_box.h"
#include "serial/serial_io_win.h"
#include "sim_client.h"
#include "strict_comm_driver.h"

namespace
{

const char kSimPort[] = "COM1";
// Not mapped in the test prefix: no device behind it.
const char kMissingPort[] = "COM8";
const char kLogPath[] = "c:\\debugfile.txt";
const char kChannelCaption[] = "CSerialIO";
constexpr unsigned short kDefaultControlPort = 47001;
constexpr unsigned kConnectTimeoutMs = 10000;

constexpr BYTE kEightDataBits = 8;
constexpr DWORD kDownloadStartBaud = 19200;
constexpr DWORD kOperatorBauds[] = {115200, 57600, 38400, 19200};

// The buffer rules the download engine relies on.
constexpr std::uintptr_t kBufferBytes = 3000;

// Generous: Wine under load can be slow, and the waits end as soon as the event is seen.
constexpr DWORD kArrivalTimeoutMs = 10000;
constexpr ULONGLONG kPromptCloseMs = 1000;
constexpr DWORD kSilenceMs = 3000;
// The open of a missing port is tried for about a second before it is given up.
constexpr ULONGLONG kShortestGiveUpMs = 800;
constexpr ULONGLONG kLongestGiveUpMs = 6000;

std::string LineText(unsigned long baud, int bits, const char* parity, int stopBits)
{
    char text[96];
    std::snprintf(text, sizeof(text), "baud=%lu bits=%d parity=%s stop=%d", baud, bits, parity,
                  stopBits);
    return text;
}

// The simulator's control port: TERVOLO_SIM_CONTROL, 47001 by default.
unsigned short ControlPort()
{
    const char* text = std::getenv("TERVOLO_SIM_CONTROL");
    return text != nullptr && *text != '\0' ? static_cast<unsigned short>(std::atoi(text))
                                            : kDefaultControlPort;
}

::testing::AssertionResult ConnectToSimulator(SimClient& sim)
{
    if (!sim.Connect(ControlPort(), kConnectTimeoutMs))
        return ::testing::AssertionFailure()
               << "no simulator on control port " << ControlPort() << ": " << sim.LastError();
    return ::testing::AssertionSuccess();
}

// What the PC has put on the line, as the simulator sees it.
std::string LineOf(SimClient& sim)
{
    SimLineSettings line;
    if (!sim.Line(line))
        return "LINE failed: " + sim.LastError();
    return LineText(line.baudRate, line.dataBits, line.parity.c_str(), line.stopBits);
}

std::string TempLogPath()
{
    return TempFolder() + "debugfile.txt";
}

// The channel's failures shown as the window shows them: owner-less boxes with their caption.
serial::FailureReport& BoxReport()
{
    struct Boxes : serial::FailureReport
    {
        void ReportFailure(const char* text, const char* caption) override
        {
            AppMessageBox(nullptr, text, MB_OK, caption);
        }
    };
    static Boxes boxes;
    return boxes;
}

class SerialChannelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ConnectToSimulator(m_sim));
        ASSERT_TRUE(m_sim.Reset()) << m_sim.LastError();
        ASSERT_TRUE(m_sim.Mode("raw")) << m_sim.LastError();
    }

    void TearDown() override { CloseChannel(); }

    void Open(DWORD baud, BYTE parity = NOPARITY, BYTE dataBits = kEightDataBits,
              BYTE stopBits = ONESTOPBIT)
    {
        m_channel = std::make_unique<CSerialIO>(kSimPort, baud, parity, dataBits, stopBits,
                                                m_window.Handle(), BoxReport(), Api());
        m_window.Watch(m_channel.get());
    }

    // The port's calls: the driver model's when the test runs over it, else Windows' own.
    serial::CommApi& Api()
    {
        return m_model != nullptr ? static_cast<serial::CommApi&>(*m_model)
                                  : serial::Win32CommApi();
    }

    // Bytes from the handset's side: the simulator writes them to its pty, or they reach the
    // model's input queue.
    ::testing::AssertionResult Send(const std::string& bytes)
    {
        if (m_model != nullptr)
            m_model->Arrive(AsBytes(bytes));
        else if (!m_sim.Send(AsBytes(bytes)))
            return ::testing::AssertionFailure() << "SEND: " << m_sim.LastError();
        return ::testing::AssertionSuccess();
    }

    void CloseChannel()
    {
        if (m_channel != nullptr)
            m_channel->Close();
        m_channel.reset();
        m_window.Forget();
    }

    // Has the simulator send the bytes and waits until the window has been told of them.
    ::testing::AssertionResult SendAndWait(const std::string& bytes)
    {
        const std::size_t expected = m_window.BytesNotified() + bytes.size();
        const ::testing::AssertionResult sent = Send(bytes);
        if (!sent)
            return sent;
        if (!m_window.WaitForBytes(expected, kArrivalTimeoutMs))
            return ::testing::AssertionFailure()
                   << "notified " << m_window.BytesNotified() << " of " << expected << " bytes";
        return ::testing::AssertionSuccess();
    }

    const BYTE* Buffer() const { return m_channel->m_rxBuffer; }

    SimClient m_sim;
    std::unique_ptr<StrictCommDriver> m_model; // outlives the channel that uses it
    NotificationWindow m_window;
    std::unique_ptr<CSerialIO> m_channel;
};

enum class FarEnd
{
    SimulatorPty,
    DriverModel, // a Windows driver's documented rules, which Wine's serial layer does not keep
};

void PrintTo(FarEnd farEnd, std::ostream* out)
{
    *out << (farEnd == FarEnd::DriverModel ? "the driver model" : "the simulator's pty");
}

// Reception checked over the simulator's pty under Wine and over the strict driver model.
class ReceivingChannelTest : public SerialChannelTest, public ::testing::WithParamInterface<FarEnd>
{
protected:
    void SetUp() override
    {
        if (GetParam() == FarEnd::DriverModel)
            m_model = std::make_unique<StrictCommDriver>();
        else
            SerialChannelTest::SetUp();
    }
};

INSTANTIATE_TEST_SUITE_P(OverBoth, ReceivingChannelTest,
                         ::testing::Values(FarEnd::SimulatorPty, FarEnd::DriverModel),
                         [](const ::testing::TestParamInfo<FarEnd>& info)
                         { return info.param == FarEnd::DriverModel ? "DriverModel" : "Pty"; });

TEST_F(SerialChannelTest, SetsTheLineAtTheDownloadStartAndAtEachOperatorBaudRate)
{
    Open(kDownloadStartBaud);
    ASSERT_TRUE(m_channel->IsOpen());
    EXPECT_EQ(LineText(kDownloadStartBaud, 8, "none", 1), LineOf(m_sim));
    CloseChannel();

    for (const DWORD baud : kOperatorBauds)
    {
        Open(baud);
        ASSERT_TRUE(m_channel->IsOpen()) << baud;
        EXPECT_EQ(LineText(baud, 8, "none", 1), LineOf(m_sim));
        CloseChannel();
    }
}

TEST_F(SerialChannelTest, PassesTheStopBitsThrough)
{
    // A pty always keeps 8 data bits without parity, so only the stop bits show there.
    Open(kDownloadStartBaud, NOPARITY, kEightDataBits, TWOSTOPBITS);
    EXPECT_EQ(LineText(kDownloadStartBaud, 8, "none", 2), LineOf(m_sim));
}

TEST_F(SerialChannelTest, KeepsTheReaderRecordInOrder)
{
    Open(kDownloadStartBaud);
    const CSerialIO& c = *m_channel;
    const void* const members[] = {&c.m_hPort,     &c.m_hNotifyWnd, &c.m_hReaderPort, &c.m_logFile,
                                   &c.m_pRxBuffer, &c.m_writeIndex, &c.m_rxBuffer,    &c.m_hThread};
    for (std::size_t i = 1; i < std::size(members); ++i)
        EXPECT_LT(members[i - 1], members[i]) << "member " << i;
    EXPECT_EQ(c.m_rxBuffer, c.m_pRxBuffer);
    EXPECT_EQ(kBufferBytes, sizeof(c.m_rxBuffer));
    EXPECT_EQ(c.m_hPort, c.m_hReaderPort);
    EXPECT_EQ(m_window.Handle(), c.m_hNotifyWnd);
    EXPECT_NE(nullptr, c.m_hThread);
}

TEST_P(ReceivingChannelTest, DeliversReceivedBytesInPlaceAndInOrder)
{
    Open(115200);
    std::string sent;
    for (unsigned chunk = 0; chunk < 10; ++chunk)
    {
        const std::string bytes = Pattern(100, chunk);
        sent += bytes;
        ASSERT_TRUE(Send(bytes));
    }
    ASSERT_TRUE(m_window.WaitForBytes(sent.size(), kArrivalTimeoutMs))
        << m_window.BytesNotified() << " bytes notified";

    EXPECT_TRUE(SameBytes(sent, AsString(m_window.BytesReceived())));
    std::uint32_t index = 0;
    EXPECT_TRUE(FollowsWriteIndex(m_window.Notifications(), Buffer(), &index));
    EXPECT_EQ(sent.size(), index);
    EXPECT_EQ(index, m_channel->m_writeIndex.load());
    for (const Notification& n : m_window.Notifications())
        EXPECT_LE(n.count, 300u);
}

TEST_P(ReceivingChannelTest, WrapsAtTwentyEightHundredWithoutWritingPastTheEnd)
{
    Open(115200);
    const HANDLE thread = m_channel->m_hThread;
    std::string sent;
    // 2790 bytes in known chunks: no wrap yet, so the write index is exactly 2790.
    for (unsigned chunk = 0; chunk < 9; ++chunk)
    {
        sent += Pattern(300, chunk);
        ASSERT_TRUE(SendAndWait(sent.substr(sent.size() - 300)));
    }
    sent += Pattern(90, 9);
    ASSERT_TRUE(SendAndWait(sent.substr(sent.size() - 90)));
    ASSERT_EQ(2790u, m_channel->m_writeIndex.load());
    const std::size_t beforeCut = m_window.Notifications().size();

    // 300 bytes in one write: more than the 210 left before the end.
    sent += Pattern(300, 10);
    ASSERT_TRUE(SendAndWait(sent.substr(sent.size() - 300)));
    sent += Pattern(50, 11);
    ASSERT_TRUE(SendAndWait(sent.substr(sent.size() - 50)));

    const std::vector<Notification>& notifications = m_window.Notifications();
    EXPECT_TRUE(SameBytes(sent, AsString(m_window.BytesReceived())));
    std::uint32_t index = 0;
    EXPECT_TRUE(FollowsWriteIndex(notifications, Buffer(), &index));
    EXPECT_EQ(index, m_channel->m_writeIndex.load());
    EXPECT_EQ(thread, m_channel->m_hThread) << "the member after the buffer was overwritten";

    // The chunk read at 2790 stops at the end of the buffer; the next one starts at its start.
    std::size_t cut = beforeCut;
    while (cut < notifications.size() && notifications[cut].count == 0)
        ++cut;
    ASSERT_LT(cut, notifications.size());
    EXPECT_EQ(2790u, OffsetIn(Buffer(), notifications[cut].address));
    EXPECT_LE(notifications[cut].count, 210u);
    bool wrapped = false;
    for (std::size_t i = cut + 1; i < notifications.size() && !wrapped; ++i)
        wrapped = notifications[i].count > 0 && notifications[i].address == Buffer();
    EXPECT_TRUE(wrapped) << "no chunk was stored at the start of the buffer after the wrap";
}

// Every notification, an empty one after the bytes were taken by the read before included,
// points at the write position the reader had reached.
TEST_P(ReceivingChannelTest, EveryWakeUpPointsAtTheCurrentWritePosition)
{
    Open(115200);
    for (unsigned piece = 0; piece < 20; ++piece)
        ASSERT_TRUE(Send(Pattern(7, piece)));
    ASSERT_TRUE(m_window.WaitForBytes(140, kArrivalTimeoutMs));
    std::uint32_t index = 0;
    EXPECT_TRUE(FollowsWriteIndex(m_window.Notifications(), Buffer(), &index));
    EXPECT_EQ(140u, index);
}

// A slow erase keeps the line silent for seconds: the reader must still be there afterwards,
// however often the driver ends its waits in between.
TEST_F(SerialChannelTest, BytesAfterASilenceOfSecondsArrive)
{
    Open(115200);
    ASSERT_TRUE(SendAndWait(Pattern(3, 1)));
    const ThreadWatch reader(m_channel->m_hThread);
    m_window.PumpUntil([] { return false; }, kSilenceMs); // the silence itself is the test
    EXPECT_FALSE(reader.Ended()) << "the reader took the silence for a lost port";
    EXPECT_TRUE(SendAndWait(Pattern(4, 2)));
}

// Windows serializes synchronous I/O on one handle: a write from the owner would wait behind the
// reader's pending read until the handset sent something, and the handset waits for that
// write. The port is overlapped, so the write goes out while the reader waits on a silent line.
TEST_F(SerialChannelTest, WriteCompletesWhileTheReaderWaitsOnASilentLine)
{
    Open(115200);
    ASSERT_TRUE(SendAndWait(Pattern(10, 9))); // the reader is in its loop, now waiting again
    const std::uint8_t frame[] = {'<', 'c', 1, 2, 3, 4};
    std::size_t written = 0;
    std::thread writer([&] { written = m_channel->Write(frame, sizeof frame); });
    const bool arrived = m_sim.WaitBytes(sizeof frame, kArrivalTimeoutMs);
    writer.join();
    EXPECT_TRUE(arrived) << m_sim.LastError();
    EXPECT_EQ(sizeof frame, written);
    EXPECT_EQ(std::vector<std::uint8_t>(frame, frame + sizeof frame), m_sim.Received());
}

TEST_F(SerialChannelTest, LogHoldsTheReceivedBytesAsTheyCame)
{
    Open(kDownloadStartBaud);
    EXPECT_STREQ(kLogPath, m_channel->LogPath());
    // CR, LF, Ctrl-Z and NUL go into the binary log untranslated.
    const std::string bytes = std::string("\r\n\x1A\0\xFF", 5) + Pattern(400, 2);
    ASSERT_TRUE(SendAndWait(bytes));
    CloseChannel();

    EXPECT_TRUE(SameBytes(bytes, ReadFile(kLogPath)));
}

TEST_F(SerialChannelTest, ReopeningEmptiesTheLog)
{
    Open(kDownloadStartBaud);
    ASSERT_TRUE(SendAndWait(Pattern(500, 3)));
    CloseChannel();

    Open(115200);
    const std::string second = Pattern(60, 4);
    ASSERT_TRUE(SendAndWait(second));
    CloseChannel();

    EXPECT_TRUE(SameBytes(second, ReadFile(kLogPath)));
}

TEST_F(SerialChannelTest, LogFallsBackToTheTemporaryFolder)
{
    // A directory in the log's place makes the first choice impossible to create.
    DeleteFileA(kLogPath);
    const ScopedDirectory blocker(kLogPath);
    ASSERT_TRUE(blocker.Created());
    const MessageBoxWatcher boxes(WithCaption(kChannelCaption));

    Open(kDownloadStartBaud);
    EXPECT_EQ(std::vector<std::string>{}, boxes.Texts());
    EXPECT_EQ(TempLogPath(), m_channel->LogPath());
    const std::string bytes = Pattern(77, 5);
    ASSERT_TRUE(SendAndWait(bytes));
    CloseChannel();

    EXPECT_TRUE(SameBytes(bytes, ReadFile(TempLogPath())));
}

TEST_P(ReceivingChannelTest, LogWarnsWhenTheInputQueueHoldsTooMuch)
{
    const std::string warning = "\r\nToo many bytes in In Queue - ReadPort\r\n";
    Open(115200);

    // Hold the reader while more than 3000 bytes pile up in the driver's queue.
    ASSERT_NE(static_cast<DWORD>(-1), SuspendThread(m_channel->m_hThread));
    const std::string bytes = Pattern(3500, 6);
    ASSERT_TRUE(Send(bytes));
    DWORD errors = 0;
    COMSTAT status{};
    const ULONGLONG deadline = GetTickCount64() + kArrivalTimeoutMs;
    while (Api().ClearCommError(m_channel->m_hPort, &errors, &status) &&
           status.cbInQue < bytes.size() && GetTickCount64() < deadline)
        Sleep(5);
    ASSERT_NE(static_cast<DWORD>(-1), ResumeThread(m_channel->m_hThread));
    ASSERT_EQ(bytes.size(), status.cbInQue);

    // More than a buffer's worth at once: the reader holds back for the window, which gets all
    // of it intact, each chunk where the write index says.
    ASSERT_TRUE(m_window.WaitForBytes(bytes.size(), kArrivalTimeoutMs));
    EXPECT_TRUE(FollowsWriteIndex(m_window.Notifications(), Buffer(), nullptr));
    EXPECT_TRUE(SameBytes(bytes, AsString(m_window.BytesReceived())));
    CloseChannel();

    // The warning stands between received bytes, framed by CR LF; without it the log is the data.
    std::string log = ReadFile(kLogPath);
    int warnings = 0;
    for (std::size_t at = log.find(warning); at != std::string::npos; at = log.find(warning, at))
    {
        log.erase(at, warning.size());
        ++warnings;
    }
    EXPECT_GE(warnings, 1);
    EXPECT_TRUE(SameBytes(bytes, log));
}

TEST_F(SerialChannelTest, CloseWhileTheReaderWaitsReturnsPromptlyAndEndsTheThread)
{
    Open(kDownloadStartBaud);
    // Some bytes first, so the reader is inside its loop.
    ASSERT_TRUE(SendAndWait(Pattern(5, 8)));
    const ThreadWatch reader(m_channel->m_hThread);
    ASSERT_TRUE(reader.Valid());

    const ULONGLONG start = GetTickCount64();
    m_channel->Close();
    const ULONGLONG took = GetTickCount64() - start;

    EXPECT_LT(took, kPromptCloseMs);
    EXPECT_TRUE(reader.Ended());
    EXPECT_EQ(serial::kReaderEndedExitCode, reader.ExitCode()) << "the reader had to be killed";
    EXPECT_EQ(nullptr, m_channel->m_hThread);
    EXPECT_EQ(INVALID_HANDLE_VALUE, m_channel->m_hPort);
    EXPECT_EQ(nullptr, m_channel->m_logFile);
    // Both stops are safe to repeat.
    m_channel->StopReader();
    m_channel->Close();
}

TEST_F(SerialChannelTest, ThreeHundredOpenCloseCyclesEachEndTheReaderByHandshake)
{
    constexpr int kCycles = 300;
    ULONGLONG slowestCloseMs = 0;
    ULONGLONG totalCloseMs = 0;
    const ULONGLONG start = GetTickCount64();
    for (int cycle = 0; cycle < kCycles; ++cycle)
    {
        Open(kOperatorBauds[cycle % std::size(kOperatorBauds)]);
        ASSERT_TRUE(m_channel->IsOpen()) << "cycle " << cycle;
        const std::string bytes = Pattern(16, static_cast<unsigned>(cycle));
        ASSERT_TRUE(SendAndWait(bytes)) << "cycle " << cycle;
        ASSERT_TRUE(SameBytes(bytes, AsString(m_window.BytesReceived()))) << "cycle " << cycle;
        const ThreadWatch reader(m_channel->m_hThread);
        ASSERT_TRUE(reader.Valid());

        // As the window's stop routine does: the reader first, then the channel.
        const ULONGLONG closeStart = GetTickCount64();
        m_channel->StopReader();
        m_channel->Close();
        const ULONGLONG took = GetTickCount64() - closeStart;
        slowestCloseMs = took > slowestCloseMs ? took : slowestCloseMs;
        totalCloseMs += took;

        ASSERT_LT(took, kPromptCloseMs) << "cycle " << cycle;
        ASSERT_TRUE(reader.Ended()) << "cycle " << cycle;
        ASSERT_EQ(serial::kReaderEndedExitCode, reader.ExitCode()) << "cycle " << cycle;
        CloseChannel();
    }
    const ULONGLONG totalMs = GetTickCount64() - start;
    RecordProperty("total_ms", static_cast<int>(totalMs));
    RecordProperty("slowest_close_ms", static_cast<int>(slowestCloseMs));
    std::printf("%d cycles in %llu ms; Close() slowest %llu ms, mean %.1f ms\n", kCycles, totalMs,
                slowestCloseMs, static_cast<double>(totalCloseMs) / kCycles);
}

// Under Wine an unplugged simulator leaves COM1 openable, but not as a serial device: every line
// set-up step fails, and the reader's first look at the port finds it gone. The reader ends by
// itself; the program goes on, so the operator can stop the download and start again.
TEST(SerialChannelLostPortTest, APortThatIsNoSerialDeviceIsReportedAndOnlyTheReaderEnds)
{
    SimClient sim;
    ASSERT_TRUE(ConnectToSimulator(sim));
    ASSERT_TRUE(sim.Reset()) << sim.LastError();
    ASSERT_TRUE(sim.Unplug()) << sim.LastError();
    {
        const MessageBoxWatcher boxes(WithCaption(kChannelCaption), [](const std::string&) {});
        NotificationWindow window;
        CSerialIO channel(kSimPort, kDownloadStartBaud, NOPARITY, kEightDataBits, ONESTOPBIT,
                          window.Handle(), BoxReport());
        EXPECT_EQ((std::vector<std::string>{"COM Port Error:\nError Calling GetCommState",
                                            "COM Port Error:\nError Calling SetCommState XXXX",
                                            "COM Port Error:\nError Getting COM Timeouts",
                                            "COM Port Error:\nError Setting COM Timeouts"}),
                  boxes.Texts());
        ASSERT_NE(nullptr, channel.m_hThread);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(channel.m_hThread, kArrivalTimeoutMs));
        DWORD code = 0;
        GetExitCodeThread(channel.m_hThread, &code);
        EXPECT_EQ(serial::kReaderLostPortExitCode, code);
        channel.Close();
        channel.Close();
    }
    EXPECT_EQ("\r\nClearCommError Error!\r\n", ReadFile(kLogPath));
    EXPECT_TRUE(sim.Plug()) << sim.LastError();
}

TEST(SerialChannelOpenTest, GivesUpOnAMissingPortWithOneMessage)
{
    NotificationWindow window;
    std::atomic<ULONGLONG> reportedAt{0};
    const MessageBoxWatcher boxes(WithCaption(kChannelCaption), [&reportedAt](const std::string&)
                                  { reportedAt = GetTickCount64(); });
    const ULONGLONG start = GetTickCount64();
    CSerialIO channel(kMissingPort, kDownloadStartBaud, NOPARITY, kEightDataBits, ONESTOPBIT,
                      window.Handle(), BoxReport());

    EXPECT_EQ(std::vector<std::string>{"COM Port Error:\nCannot open COM8"}, boxes.Texts());
    // Ten tries a tenth of a second apart, then the message: bounded, but not given up at once.
    const ULONGLONG tried = reportedAt - start;
    EXPECT_GE(tried, kShortestGiveUpMs);
    EXPECT_LT(tried, kLongestGiveUpMs);

    EXPECT_FALSE(channel.IsOpen());
    EXPECT_EQ(INVALID_HANDLE_VALUE, channel.m_hPort);
    EXPECT_EQ(nullptr, channel.m_hThread) << "no reader on a port that is not open";
    EXPECT_EQ(channel.m_rxBuffer, channel.m_pRxBuffer);
    EXPECT_EQ(0u, channel.m_writeIndex.load());

    // Writes and purges on the channel go nowhere, without harm.
    const std::uint8_t command[] = {'<', 'i'};
    EXPECT_EQ(0u, channel.Write(command, sizeof command));
    channel.Purge();

    channel.StopReader();
    channel.Close();
    channel.Close();
}

} // namespace
