// One port's session in-process: what is thrown on the port's thread ends that port with a
// reason instead of ending the program, and its event loop against a handset on a fake channel.
#include "download/stop_texts.h"
#include "runner/exit_codes.h"
#include "runner/port_session.h"
#include "runner_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <mutex>
#include <new>
#include <system_error>

namespace
{

using Bytes = std::vector<std::uint8_t>;

constexpr std::chrono::seconds kPatience(60); // generous: each case ends in about a second

DownloadResult RunWithOpener(ChannelOpener opener)
{
    DownloadJob job;
    runner::test::EventLog events;
    CPortSession session("/dev/ttyTEST", job, std::move(opener), nullptr, events, "");
    session.Run();
    EXPECT_EQ(1u, session.Results().size());
    EXPECT_EQ(1, events.Count("failed")) << events.Text();
    return session.Results().empty() ? DownloadResult() : session.Results().front();
}

TEST(PortSession, ThrownFailuresEndThePortWithTheirReason)
{
    const DownloadResult noMemory = RunWithOpener(
        [](const std::string&, std::uint32_t, const std::string&, serial::ChunkSink&,
           serial::FailureReport&) -> std::unique_ptr<SerialChannel> { throw std::bad_alloc(); });
    EXPECT_EQ(kExitAborted, noMemory.exitCode);
    EXPECT_EQ("Internal error: std::bad_alloc", noMemory.reason);

    const DownloadResult noThread = RunWithOpener(
        [](const std::string&, std::uint32_t, const std::string&, serial::ChunkSink&,
           serial::FailureReport&) -> std::unique_ptr<SerialChannel> {
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        });
    EXPECT_EQ(kExitAborted, noThread.exitCode);
    EXPECT_EQ(0u, noThread.reason.rfind("Internal error: ", 0)) << noThread.reason;
}

// A handset behind fake channels: it sees every write on the port's thread and answers through
// the channel's sink at once, or ends the channel's reader.
struct FakeHandset
{
    struct Channel : SerialChannel
    {
        Channel(FakeHandset& handset, serial::ChunkSink& sink, serial::FailureReport& report)
            : handset(handset), sink(sink), report(report)
        {
        }
        bool IsOpen() const override { return true; }
        std::size_t Write(const std::uint8_t* bytes, std::size_t count) override
        {
            const Bytes written(bytes, bytes + count);
            handset.Note([&]() { handset.writes.push_back(written); });
            if (handset.readerEnds)
            {
                report.ReportFailure("the port has gone", "TracingThread");
            }
            const Bytes reply = handset.answer ? handset.answer(written) : Bytes();
            if (!reply.empty())
            {
                sink.OnChunk(reply.size(), reply.data());
            }
            return count;
        }
        void Purge() override {}
        const std::uint8_t* RxBufferStart() const override { return nullptr; }
        std::uint32_t RxWriteIndex() const override { return 0; }
        void Close() override {}

        FakeHandset& handset;
        serial::ChunkSink& sink;
        serial::FailureReport& report;
    };

    ChannelOpener Opener()
    {
        return [this](const std::string&, std::uint32_t baudRate, const std::string&,
                      serial::ChunkSink& sink, serial::FailureReport& report)
        {
            Note([&]() { rates.push_back(baudRate); });
            return std::make_unique<Channel>(*this, sink, report);
        };
    }
    template <typename Change> void Note(Change change)
    {
        std::lock_guard<std::mutex> hold(lock);
        change();
        noted.notify_all();
    }
    // The first write of `count` bytes, once it has come; empty when none came in time.
    Bytes WaitForWrite(std::size_t count)
    {
        std::unique_lock<std::mutex> hold(lock);
        const auto found = [&]()
        {
            return std::find_if(writes.begin(), writes.end(),
                                [&](const Bytes& write) { return write.size() == count; });
        };
        noted.wait_for(hold, kPatience, [&]() { return found() != writes.end(); });
        return found() != writes.end() ? *found() : Bytes();
    }

    std::function<Bytes(const Bytes& written)> answer; // empty: it says nothing
    bool readerEnds = false;
    std::mutex lock;
    std::condition_variable noted;
    std::vector<Bytes> writes;        // guarded by lock
    std::vector<std::uint32_t> rates; // of the channels opened, guarded by lock
};

DownloadJob MainCodeJob(double timeoutSeconds)
{
    DownloadJob job;
    job.setup.mainCode = true;
    job.timeoutSeconds = timeoutSeconds;
    return job;
}

// A port's session on its own thread, as the console program runs it, against a fake handset
// told what to do before it starts.
struct LoopRun
{
    explicit LoopRun(double timeoutSeconds, ReaderCheck readerCheck = nullptr)
        : job(MainCodeJob(timeoutSeconds)), readerCheck(std::move(readerCheck))
    {
    }
    ~LoopRun()
    {
        if (done.valid())
        {
            session.RequestStop(); // a case that failed half-way must not hang here
            done.wait();
        }
    }

    void Start()
    {
        done = std::async(std::launch::async, [this]() { session.Run(); });
    }
    // The download's result; a session still running after kPatience is stopped and fails.
    DownloadResult Result()
    {
        if (done.wait_for(kPatience) != std::future_status::ready)
        {
            ADD_FAILURE() << "the session did not end by itself";
            session.RequestStop();
        }
        done.wait();
        EXPECT_EQ(1u, session.Results().size());
        return session.Results().empty() ? DownloadResult() : session.Results().front();
    }

    const DownloadJob job;
    const ReaderCheck readerCheck;
    FakeHandset handset;
    runner::test::EventLog events;
    CPortSession session{"/dev/ttyFAKE", job, handset.Opener(), readerCheck, events, ""};
    std::future<void> done;
};

TEST(PortLoop, HandsetAnswerDrivesTheEngineToItsNextFrameAndAStopEndsTheLoop)
{
    LoopRun run(0.0);
    run.handset.answer = [](const Bytes& written) {
        return written == Bytes{'<', 'i'} ? Bytes{'>', 'i'} : Bytes();
    };
    run.Start();

    std::uint8_t change[kProtocolChangeSize];
    BuildProtocolChange(change, 0, false, true, false);
    EXPECT_EQ(Bytes(change, change + sizeof change), run.handset.WaitForWrite(sizeof change));
    run.session.RequestStop();

    const DownloadResult result = run.Result();
    EXPECT_EQ(BaudRateAt(0), run.handset.rates.back());
    EXPECT_EQ(kExitInterrupted, result.exitCode);
    EXPECT_EQ(kTerminatedByUserText, result.reason);
    EXPECT_EQ(FailureClass::Stopped, result.failure);
}

// The signal written every tick is no answer of the handset's: the watchdog ends the download
// all the same, and so does a reader that has ended.
TEST(PortLoop, SilentHandsetOrLostReaderEndsTheDownloadWithItsReason)
{
    LoopRun silent(0.3);
    silent.Start();
    EXPECT_EQ((Bytes{'<', 'i'}), silent.handset.WaitForWrite(kCommandSize));
    const DownloadResult unanswered = silent.Result();
    EXPECT_EQ(kExitAborted, unanswered.exitCode);
    EXPECT_EQ("No answer from the handset for 0.3 s.", unanswered.reason);
    EXPECT_EQ(FailureClass::NoAnswer, unanswered.failure);

    LoopRun lost(0.0);
    lost.handset.readerEnds = true;
    lost.Start();
    const DownloadResult gone = lost.Result();
    EXPECT_EQ(kExitAborted, gone.exitCode);
    EXPECT_EQ("TracingThread: the port has gone", gone.reason);
    EXPECT_EQ(FailureClass::PortError, gone.failure);
}

// A reader that ended by itself is replaced: the port is opened again at the same rate, and the
// handset's answer on the new channel drives the download on.
TEST(PortLoop, AReaderThatEndedIsReplacedAndTheDownloadGoesOn)
{
    std::atomic<bool> readerEnded{true};
    LoopRun run(0.0, [&](const SerialChannel&) { return readerEnded.exchange(false); });
    run.handset.answer = [&](const Bytes& written)
    {
        std::lock_guard<std::mutex> hold(run.handset.lock);
        return written == Bytes{'<', 'i'} && run.handset.rates.size() == 2 ? Bytes{'>', 'i'}
                                                                           : Bytes();
    };
    run.Start();

    std::uint8_t change[kProtocolChangeSize];
    BuildProtocolChange(change, 0, false, true, false);
    EXPECT_EQ(Bytes(change, change + sizeof change), run.handset.WaitForWrite(sizeof change));
    run.session.RequestStop();
    EXPECT_EQ(kExitInterrupted, run.Result().exitCode);
    ASSERT_LE(2u, run.handset.rates.size());
    EXPECT_EQ(run.handset.rates[0], run.handset.rates[1]);
}

} // namespace
