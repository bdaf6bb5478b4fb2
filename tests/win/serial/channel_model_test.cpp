// The channel over the strict driver model: what a Windows serial driver does and Wine's serial
// layer does not (event history, time-outs in force, a refused DCB, a device that stops taking
// data, cancellation, a close that drops what was not sent).

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "channel_checks.h"
#include "notification_window.h"
#include "scratch_folder.h"
#include "serial/serial_io_win.h"
#include "strict_comm_driver.h"

namespace
{

const char kLogPath[] = "c:\\debugfile.txt";
constexpr DWORD kLineRate = 115200;
// Generous: the waits end as soon as the event is seen.
constexpr DWORD kArrivalTimeoutMs = 10000;
constexpr auto kHangLimit = std::chrono::seconds(30);
// Ample for a reader that does not wait for the window to read everything that arrived.
constexpr DWORD kRunAheadMs = 3000;

struct Failure
{
    std::string text;
    std::string caption;
    DWORD thread;
    bool operator==(const Failure& other) const
    {
        return text == other.text && caption == other.caption && thread == other.thread;
    }
    friend void PrintTo(const Failure& failure, std::ostream* out)
    {
        *out << '"' << failure.caption << ": " << failure.text << "\" on thread " << failure.thread;
    }
};

// The channel's failures as told, with the thread that told them.
class RecordedReport : public serial::FailureReport
{
public:
    void ReportFailure(const char* text, const char* caption) override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_failures.push_back({text, caption, GetCurrentThreadId()});
    }
    void EndProgram(int exitCode) override { programEnds.push_back(exitCode); }
    std::vector<Failure> Failures()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_failures;
    }
    std::vector<int> programEnds; // asked for on the opening thread only

private:
    std::mutex m_lock;
    std::vector<Failure> m_failures;
};

// The console program's side of a channel; what it is handed is not looked at here.
class IgnoringSink : public serial::ChunkSink
{
public:
    void OnChunk(std::size_t, const std::uint8_t*) override {}
};

class ChannelOverDriverModelTest : public ::testing::Test
{
protected:
    void TearDown() override { Close(); }

    void Open(DWORD baud = kLineRate)
    {
        m_channel = std::make_unique<CSerialIO>("COM1", baud, NOPARITY, 8, ONESTOPBIT,
                                                m_window.Handle(), m_report, m_driver);
        m_window.Watch(m_channel.get());
        m_window.ReportTo(&m_report);
    }

    void Close()
    {
        if (m_channel != nullptr)
            m_channel->Close();
        m_channel.reset();
        m_window.Forget();
    }

    // Until the reader waits for the next event with nothing queued.
    bool ReaderWaits() { return m_driver.AwaitPendingRead(kArrivalTimeoutMs); }

    // Runs `call` on a thread of its own; false when it has not returned within the limit, and
    // then `release` is run to let it return.
    static bool ReturnsInTime(const std::function<void()>& call,
                              const std::function<void()>& release)
    {
        std::future<void> done = std::async(std::launch::async, call);
        if (done.wait_for(kHangLimit) == std::future_status::ready)
            return true;
        release();
        done.wait();
        return false;
    }

    StrictCommDriver m_driver; // outlives the channel
    RecordedReport m_report;
    NotificationWindow m_window;
    std::unique_ptr<CSerialIO> m_channel;
};

// Characters that come with a line error: the error is logged before them, and they are read in
// the same round.
TEST_F(ChannelOverDriverModelTest, CharactersThatCameWithALineErrorAreLoggedThenDelivered)
{
    Open();
    ASSERT_TRUE(ReaderWaits());
    const std::string bytes = Pattern(40, 1);
    m_driver.Arrive(AsBytes(bytes), CE_FRAME);
    ASSERT_TRUE(m_window.WaitForBytes(bytes.size(), kArrivalTimeoutMs))
        << m_window.BytesNotified() << " bytes notified";
    Close();
    EXPECT_TRUE(SameBytes("\r\nCE_FRAME!\r\n" + bytes, ReadFile(kLogPath)));
}

// A driver refuses a DCB whose XON and XOFF characters are equal. They differ, and software flow
// control stays off, so nothing on the wire changes.
TEST_F(ChannelOverDriverModelTest, TheLineIsSetWithXonAndXoffApartAndNoFlowControl)
{
    Open();
    EXPECT_EQ(std::vector<Failure>{}, m_report.Failures());
    const DCB dcb = m_driver.LineSettings();
    EXPECT_EQ(kLineRate, dcb.BaudRate);
    EXPECT_EQ(0x11, dcb.XonChar);
    EXPECT_EQ(0x13, dcb.XoffChar);
    EXPECT_EQ(0u, dcb.fOutX | dcb.fInX | dcb.fOutxCtsFlow | dcb.fOutxDsrFlow);
    EXPECT_EQ(static_cast<DWORD>(DTR_CONTROL_DISABLE), dcb.fDtrControl);
    EXPECT_EQ(static_cast<DWORD>(RTS_CONTROL_DISABLE), dcb.fRtsControl);
    ASSERT_FALSE(m_driver.TimeoutsSet().empty());
    const COMMTIMEOUTS timeouts = m_driver.TimeoutsSet().front();
    EXPECT_EQ(MAXDWORD, timeouts.ReadIntervalTimeout);
    EXPECT_EQ(0u, timeouts.ReadTotalTimeoutMultiplier | timeouts.ReadTotalTimeoutConstant);
}

// A line set-up step that fails does not keep the rest from running: the read time-outs are set
// all the same, so the reader gets what arrives instead of waiting for a full read.
TEST_F(ChannelOverDriverModelTest, ARefusedLineIsReportedAndTheTimeoutsAreStillSet)
{
    m_driver.FailSetCommState(1);
    Open();
    EXPECT_EQ((std::vector<Failure>{{"COM Port Error:\nError Calling SetCommState XXXX",
                                     "CSerialIO", GetCurrentThreadId()}}),
              m_report.Failures());
    ASSERT_FALSE(m_driver.TimeoutsSet().empty());
    EXPECT_EQ(MAXDWORD, m_driver.TimeoutsSet().front().ReadIntervalTimeout);
    m_driver.Arrive(AsBytes(Pattern(5, 2)));
    EXPECT_TRUE(m_window.WaitForBytes(5, kArrivalTimeoutMs));
}

// A device that stops taking data: the write gives up after its bound and says so by what it
// wrote, and the channel still closes.
TEST_F(ChannelOverDriverModelTest, AWriteToADeviceThatStoppedTakingDataFailsAndTheChannelCloses)
{
    Open();
    m_driver.SetOutputQueueBytes(16);
    m_driver.StallWire(true);
    const std::vector<std::uint8_t> block(1028, 0x5A);
    std::size_t written = block.size();
    const auto unstall = [this] { m_driver.StallWire(false); };
    EXPECT_TRUE(
        ReturnsInTime([&] { written = m_channel->Write(block.data(), block.size()); }, unstall))
        << "the write waited for a device that takes nothing";
    EXPECT_LT(written, block.size());
    EXPECT_TRUE(ReturnsInTime([this] { m_channel->Close(); }, unstall));
}

// A driver that never completes a cancellation: the reader's pending read is ended by a purge's
// read abort, and the reader ends by handshake instead of being killed.
TEST_F(ChannelOverDriverModelTest, CloseEndsAWaitTheDriverWillNotCancel)
{
    m_driver.IgnoreCancellation();
    Open();
    ASSERT_TRUE(ReaderWaits());
    const ThreadWatch reader(m_channel->m_hThread);
    m_channel->Close();
    EXPECT_TRUE(reader.Ended());
    EXPECT_EQ(serial::kReaderEndedExitCode, reader.ExitCode());
}

// A device unplugged while the reader waits fails the wait and every call after it: the reader
// ends by itself, and the channel still closes.
TEST_F(ChannelOverDriverModelTest, AnUnpluggedDeviceEndsTheReaderAndTheChannelCloses)
{
    Open();
    ASSERT_TRUE(ReaderWaits());
    const ThreadWatch reader(m_channel->m_hThread);
    m_driver.Unplug();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_channel->m_hThread, kArrivalTimeoutMs));
    EXPECT_EQ(serial::kReaderLostPortExitCode, reader.ExitCode());
    EXPECT_TRUE(ReturnsInTime([this] { m_channel->Close(); }, [] {}));
    EXPECT_FALSE(m_driver.IsOpen());
}

// The reader's own failure is shown by the window's thread, not by the reader's.
TEST_F(ChannelOverDriverModelTest, AFailedReadIsReportedOnTheWindowsThread)
{
    Open();
    ASSERT_TRUE(ReaderWaits());
    m_driver.FailReads();
    m_driver.Arrive(AsBytes(Pattern(3, 3)));
    EXPECT_TRUE(
        m_window.PumpUntil([this] { return !m_report.Failures().empty(); }, kArrivalTimeoutMs));
    EXPECT_EQ((std::vector<Failure>{{"ReadFile Error!", "TracingThread", GetCurrentThreadId()}}),
              m_report.Failures());
}

// The protocol change writes its frame and closes the port at once: what was written must be on
// the line before the close drops what the driver still holds. A block ahead of the frame keeps
// the line busy for half a second at 19200 baud; a USB adapter's driver no longer counts the frame
// once it is in the adapter's FIFO, where it still needs 33 ms at 1200 baud.
TEST_F(ChannelOverDriverModelTest, WhatWasWrittenReachesTheLineBeforeTheClose)
{
    struct Case
    {
        DWORD baud;
        std::size_t blockBytes; // ahead of the frame
        std::size_t deviceFifoBytes;
    };
    for (const Case& c : {Case{19200, 1028, 0}, Case{1200, 0, 64}})
    {
        SCOPED_TRACE(c.deviceFifoBytes);
        StrictCommDriver driver;
        m_channel = std::make_unique<CSerialIO>("COM1", c.baud, NOPARITY, 8, ONESTOPBIT,
                                                m_window.Handle(), m_report, driver);
        driver.SetDeviceFifoBytes(c.deviceFifoBytes);
        std::vector<std::uint8_t> sent(c.blockBytes, 0x5A);
        const std::vector<std::uint8_t> frame = {'<', 'p', '0', 2};
        if (!sent.empty())
        {
            ASSERT_EQ(sent.size(), m_channel->Write(sent.data(), sent.size()));
        }
        ASSERT_EQ(frame.size(), m_channel->Write(frame.data(), frame.size()));
        Close();
        sent.insert(sent.end(), frame.begin(), frame.end());
        EXPECT_EQ(sent, driver.Transmitted());
        EXPECT_EQ(0u, driver.DroppedAtClose());
    }
}

// A driver that ignores the write's cancellation: a purge's write abort ends it. One that ignores
// that too keeps the write for good: the channel is given up (its port stays open, every later
// write fails at once), and neither the write nor the close holds the window.
TEST_F(ChannelOverDriverModelTest, AWriteWhoseCancellationTheDriverIgnoresDoesNotHoldTheWindow)
{
    static const std::vector<std::uint8_t> block(1028, 0x5A); // a kept write may still read it
    for (const bool purgeIgnored : {false, true})
    {
        SCOPED_TRACE(purgeIgnored);
        auto driver = std::make_unique<StrictCommDriver>();
        driver->IgnoreCancellation();
        if (purgeIgnored)
            driver->IgnoreWriteAborts();
        m_channel = std::make_unique<CSerialIO>("COM1", kLineRate, NOPARITY, 8, ONESTOPBIT,
                                                m_window.Handle(), m_report, *driver);
        driver->SetOutputQueueBytes(16);
        driver->StallWire(true);
        std::size_t written = block.size();
        const auto unstall = [&driver] { driver->StallWire(false); };
        EXPECT_TRUE(
            ReturnsInTime([&] { written = m_channel->Write(block.data(), block.size()); }, unstall))
            << "the write waited for a driver that does not let go of it";
        EXPECT_LT(written, block.size());
        driver->StallWire(false);
        const std::vector<std::uint8_t> frame = {'<', 'e'};
        EXPECT_EQ(purgeIgnored ? 0u : frame.size(), m_channel->Write(frame.data(), frame.size()));
        EXPECT_TRUE(ReturnsInTime([this] { m_channel->Close(); }, [] {}));
        EXPECT_EQ(purgeIgnored, driver->IsOpen());
        m_channel.reset();
        if (purgeIgnored)
            driver.release(); // holds the kept write's record, which the channel left to it
    }
}

// A driver whose waiting read returns at once with nothing (CH340): the reader does not spin on
// it, the window is not flooded with empty notifications, and what arrives is still read.
TEST_F(ChannelOverDriverModelTest, AWaitThatReturnsAtOnceDoesNotSpin)
{
    m_driver.ReturnWaitsAtOnce();
    Open();
    const std::string bytes = Pattern(30, 8);
    m_driver.Arrive(AsBytes(bytes), 0, 500);
    ASSERT_TRUE(m_window.WaitForBytes(bytes.size(), kArrivalTimeoutMs));
    EXPECT_TRUE(SameBytes(bytes, AsString(m_window.BytesReceived())));
    // Backing off, the reader makes about 50 reads in that half second; spinning, thousands.
    EXPECT_LT(m_driver.ReadCalls(), 300u);
    for (const Notification& n : m_window.Notifications())
        EXPECT_NE(0u, n.count);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(m_channel->m_hThread, 0));
}

// An adapter pulled out whose handle still answers: every read aborts while ClearCommError
// succeeds. The reader ends as on a lost port instead of spinning; the owner's purges, which
// abort reads too, do not count.
TEST_F(ChannelOverDriverModelTest, AnAdapterRemovedEndsTheReaderButPurgesDoNot)
{
    Open();
    for (int purge = 0; purge < 60; ++purge)
    {
        ASSERT_TRUE(ReaderWaits());
        m_channel->Purge();
    }
    const std::string bytes = Pattern(10, 9);
    m_driver.Arrive(AsBytes(bytes));
    ASSERT_TRUE(m_window.WaitForBytes(bytes.size(), kArrivalTimeoutMs));
    ASSERT_TRUE(ReaderWaits());
    const ThreadWatch reader(m_channel->m_hThread);
    m_driver.Remove();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_channel->m_hThread, kArrivalTimeoutMs));
    EXPECT_EQ(serial::kReaderLostPortExitCode, reader.ExitCode());
    EXPECT_LT(m_window.Notifications().size(), 100u);
    EXPECT_TRUE(ReturnsInTime([this] { m_channel->Close(); }, [] {}));
}

// The character the waiting read got is handed on even when the driver refuses the time-outs of
// the read that takes the rest; the rest comes in the next round.
TEST_F(ChannelOverDriverModelTest, TheWaitingReadsCharacterOutlivesARefusedReadOfTheRest)
{
    Open();
    ASSERT_TRUE(ReaderWaits());
    m_driver.FailSetCommTimeouts(1);
    const std::string bytes = Pattern(5, 10);
    m_driver.Arrive(AsBytes(bytes));
    ASSERT_TRUE(m_window.WaitForBytes(bytes.size(), kArrivalTimeoutMs))
        << m_window.BytesNotified() << " bytes notified";
    EXPECT_TRUE(SameBytes(bytes, AsString(m_window.BytesReceived())));
}

// Ctrl-C in the console program: a write to a device that takes nothing ends now, not at its
// bound (over a minute for a block at 300 baud), and no later write waits.
TEST_F(ChannelOverDriverModelTest, InterruptEndsAStalledWriteAndLaterWritesFailAtOnce)
{
    Open(300);
    m_driver.SetOutputQueueBytes(16);
    m_driver.StallWire(true);
    const std::vector<std::uint8_t> block(1028, 0x5A);
    std::size_t written = block.size();
    std::future<void> write = std::async(
        std::launch::async, [&] { written = m_channel->Write(block.data(), block.size()); });
    ASSERT_TRUE(m_driver.AwaitPendingWrite(kArrivalTimeoutMs));
    m_channel->Interrupt();
    const bool ended = write.wait_for(kHangLimit) == std::future_status::ready;
    m_driver.StallWire(false);
    write.wait();
    EXPECT_TRUE(ended) << "the interrupted write waited for its bound";
    EXPECT_LT(written, block.size());
    EXPECT_EQ(0u, m_channel->Write(block.data(), 4));
}

// Each port of the console program has its own log, exactly where it is told; one that cannot be
// created fails that port's open and leaves the program running.
TEST_F(ChannelOverDriverModelTest, TheConsoleProgramsLogIsItsPathOrTheOpenFails)
{
    const std::string path = TempFolder() + "tervolo-port-debug.log";
    IgnoringSink sink;
    {
        CSerialIO channel("COM1", kLineRate, NOPARITY, 8, ONESTOPBIT, sink, m_report, path.c_str(),
                          m_driver);
        EXPECT_TRUE(channel.IsOpen());
        EXPECT_EQ(path, channel.LogPath());
    }
    DeleteFileA(path.c_str());

    CSerialIO unlogged("COM1", kLineRate, NOPARITY, 8, ONESTOPBIT, sink, m_report,
                       "c:\\no such folder\\port-debug.log", m_driver);
    EXPECT_FALSE(unlogged.IsOpen());
    EXPECT_EQ(nullptr, unlogged.m_hThread);
    EXPECT_FALSE(m_driver.IsOpen());
    EXPECT_EQ(
        (std::vector<Failure>{{"Error opening log file!", "CSerialIO", GetCurrentThreadId()}}),
        m_report.Failures());
    EXPECT_EQ(std::vector<int>{}, m_report.programEnds);
}

// The window's log has no path of its own: when neither drive C nor the temporary folder takes
// it, the window is asked to end the program (exit code 0) and the channel stays closed.
TEST_F(ChannelOverDriverModelTest, TheWindowsLogThatCannotBeCreatedAsksTheWindowToEndTheProgram)
{
    char savedTmp[MAX_PATH] = {};
    char savedTemp[MAX_PATH] = {};
    GetEnvironmentVariableA("TMP", savedTmp, MAX_PATH);
    GetEnvironmentVariableA("TEMP", savedTemp, MAX_PATH);
    DeleteFileA(kLogPath);
    const ScopedDirectory blocker(kLogPath);
    ASSERT_TRUE(blocker.Created()) << "a folder in the log's place";
    SetEnvironmentVariableA("TMP", "c:\\no such folder\\");
    SetEnvironmentVariableA("TEMP", "c:\\no such folder\\");
    Open();
    SetEnvironmentVariableA("TMP", savedTmp[0] != '\0' ? savedTmp : nullptr);
    SetEnvironmentVariableA("TEMP", savedTemp[0] != '\0' ? savedTemp : nullptr);
    EXPECT_FALSE(m_channel->IsOpen());
    EXPECT_FALSE(m_driver.IsOpen());
    EXPECT_EQ(
        (std::vector<Failure>{{"Error opening log file!", "CSerialIO", GetCurrentThreadId()}}),
        m_report.Failures());
    EXPECT_EQ(std::vector<int>{0}, m_report.programEnds);
}

// A window busy elsewhere (a box, the engine's pause) while 5000 bytes arrive: the reader waits
// for it instead of storing over bytes it has not read, and the driver keeps the rest meanwhile.
// Every chunk still names one stretch by the wrap rule and holds what came on the wire.
TEST_F(ChannelOverDriverModelTest, AWindowThatFallsBehindReadsEveryByteIntact)
{
    Open();
    ASSERT_TRUE(ReaderWaits());
    const std::string bytes = Pattern(5000, 5);
    m_driver.Arrive(AsBytes(bytes));
    // Time for a reader that does not wait for the window to read all of it and come round.
    EXPECT_FALSE(m_driver.AwaitInputTaken(kRunAheadMs)) << "the reader did not wait for the window";
    ASSERT_TRUE(m_window.WaitForBytes(bytes.size(), kArrivalTimeoutMs))
        << m_window.BytesNotified() << " bytes notified";
    EXPECT_TRUE(FollowsWriteIndex(m_window.Notifications(), m_channel->m_rxBuffer, nullptr));
    EXPECT_TRUE(SameBytes(bytes, AsString(m_window.BytesReceived())));
}

// A purge aborts the read the reader waits with, or (Wine) leaves it pending; either way what
// comes afterwards is read.
TEST_F(ChannelOverDriverModelTest, APurgeWhileTheReaderWaitsKeepsWhatComesAfter)
{
    for (const bool readLeftPending : {false, true})
    {
        SCOPED_TRACE(readLeftPending);
        StrictCommDriver driver;
        if (readLeftPending)
            driver.IgnoreReadAborts();
        m_channel = std::make_unique<CSerialIO>("COM1", kLineRate, NOPARITY, 8, ONESTOPBIT,
                                                m_window.Handle(), m_report, driver);
        m_window.Watch(m_channel.get());
        ASSERT_TRUE(driver.AwaitPendingRead(kArrivalTimeoutMs));
        m_channel->Purge();
        const std::string bytes = Pattern(20, 7);
        driver.Arrive(AsBytes(bytes));
        ASSERT_TRUE(m_window.WaitForBytes(bytes.size(), kArrivalTimeoutMs))
            << m_window.BytesNotified() << " bytes notified";
        EXPECT_TRUE(SameBytes(bytes, AsString(m_window.BytesReceived())));
        Close();
    }
}

// A window that takes no more notifications (here: gone) must not keep the reader from its stop.
TEST_F(ChannelOverDriverModelTest, APostTheWindowRefusesDoesNotHoldTheClose)
{
    {
        NotificationWindow gone;
        m_channel = std::make_unique<CSerialIO>("COM1", kLineRate, NOPARITY, 8, ONESTOPBIT,
                                                gone.Handle(), m_report, m_driver);
    }
    m_driver.Arrive(AsBytes(Pattern(10, 6)));
    ASSERT_TRUE(m_driver.AwaitInputTaken(kArrivalTimeoutMs));
    EXPECT_TRUE(ReturnsInTime([this] { m_channel->Close(); }, [] {}));
}

} // namespace
