// Empty notifications, purges, the abort box, notifications and ticks that arrive inside
// message boxes, blank section starts and the reader's wrap.
#include "engine_fixture.h"

#include <algorithm>
#include <cstring>

namespace
{

using Strings = std::vector<std::string>;

struct EngineFields
{
    DownloadState state;
    unsigned retryCount;
    unsigned rxTotal;
    std::uint32_t blockIndex;
    int gangCountdown;

    bool operator==(const EngineFields& other) const
    {
        return state == other.state && retryCount == other.retryCount && rxTotal == other.rxTotal &&
               blockIndex == other.blockIndex && gangCountdown == other.gangCountdown;
    }
};

EngineFields Fields(const CDownloadEngine& engine)
{
    return EngineFields{engine.State(), engine.RetryCount(), engine.RxTotal(), engine.BlockIndex(),
                        engine.GangCountdown()};
}

class EmptyNotifications : public EngineFixture
{
protected:
    // A burst of empty reads, as Wine posts them: nothing may happen.
    void ExpectNoEffect(const char* where)
    {
        const EngineFields before = Fields(engine);
        const std::size_t eventsBefore = host.events.size();
        for (int i = 0; i < 500; ++i)
        {
            host.PostEmpty();
        }
        EXPECT_EQ(host.events.size(), eventsBefore) << where;
        EXPECT_TRUE(Fields(engine) == before) << where;
    }
};

TEST_F(EmptyNotifications, CostNothingInAnyState)
{
    host.languagePack.blockCount = 2;
    DownloadSetup setup = MakeSetup(false, true, true, "RT47X");
    std::memcpy(setup.lpModel, "RT47    ", 8);
    Start(setup);
    host.Receive("x"); // one byte counted, so a lost count would show
    ExpectNoEffect("Signalling");
    host.Receive(">i");
    ExpectNoEffect("ParameterExchange");
    host.Receive(ParameterAnswer("RT47X", "RT47-0001"));
    ASSERT_EQ(engine.State(), DownloadState::LpOverride);
    ExpectNoEffect("LpOverride");
    host.Receive(">e");
    host.Receive(">o");
    ASSERT_EQ(engine.State(), DownloadState::MainErase);
    host.Receive("??");
    ExpectNoEffect("MainErase");
    host.Receive(">e");
    ASSERT_EQ(engine.State(), DownloadState::MainTransfer);
    ExpectNoEffect("MainTransfer");
    host.Receive(">W");
    ExpectNoEffect("MainTransfer after a failure");
    for (int i = 0; i < 3; ++i)
    {
        host.Receive(">w");
    }
    ASSERT_EQ(engine.State(), DownloadState::LpTransfer);
    ExpectNoEffect("LpTransfer");
    host.Receive(">w");
    host.Receive(">w");
    ASSERT_EQ(engine.State(), DownloadState::ChecksumWait);
    ExpectNoEffect("ChecksumWait");
}

TEST_F(EmptyNotifications, CostNothingDuringTheGangWait)
{
    StartInGangMode(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    host.Tick();
    ExpectNoEffect("gang wait");
}

using Purges = EngineFixture;

TEST_F(Purges, NeverFollowAWriteInOneStep)
{
    host.image.blockCount = 4;
    host.image.blank = {0};
    DownloadSetup setup = MakeSetup(false, true, true, "RT47X");
    Start(setup);
    ReachErase();
    host.Receive(">E");
    host.Receive("??");
    host.Receive(">E");
    host.Receive(">e");
    host.Receive(">W");
    host.Receive("?");
    for (int i = 0; i < 5; ++i)
    {
        host.Receive(">w");
    }
    host.Receive(ChecksumAnswer('c'));
    EXPECT_EQ(host.Reports().back(), "Download completed successfully...");
    EXPECT_FALSE(PurgeFollowsWrite(host.events, true));
}

TEST_F(Purges, EraseAnswerPurgesBeforeTheFirstBlock)
{
    Start(MakeSetup(false, false, true, "RT47X"));
    ReachErase();
    host.ClearEvents();
    host.Receive(">e");
    std::vector<HostCall> calls;
    for (const HostEvent& event : host.events)
    {
        calls.push_back(event.call);
    }
    EXPECT_EQ(calls,
              (std::vector<HostCall>{HostCall::Pause, HostCall::Purge, HostCall::SendBlock}));
}

TEST_F(Purges, EraseRetryPurgesOnlyBeforeTheCommand)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.ClearEvents();
    host.Receive(">E");
    std::vector<HostCall> calls;
    for (const HostEvent& event : host.events)
    {
        calls.push_back(event.call);
    }
    EXPECT_EQ(calls, (std::vector<HostCall>{HostCall::Pause, HostCall::Report, HostCall::Report,
                                            HostCall::Purge, HostCall::Write}));
}

using AbortBox = EngineFixture;

TEST_F(AbortBox, DownloadStopsBeforeTheBoxAndNothingActsWhileItIsOpen)
{
    host.image.blockCount = 5;
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    std::size_t eventsWhenOpened = 0;
    std::size_t eventsWhenClosed = 0;
    host.insideBox = [&](const std::string& text)
    {
        if (text != "Download Aborted!")
        {
            return;
        }
        eventsWhenOpened = host.events.size();
        host.Receive(">w");
        host.Receive(">W");
        host.PostEmpty();
        host.Tick();
        engine.Abort();
        eventsWhenClosed = host.events.size();
    };
    host.Receive("??");
    host.Receive("??");
    host.ClearEvents();
    host.Receive("??");

    ASSERT_EQ(host.Messages(), (Strings{"Download Aborted!"}));
    EXPECT_EQ(eventsWhenOpened, eventsWhenClosed);
    std::vector<HostCall> calls;
    for (const HostEvent& event : host.events)
    {
        calls.push_back(event.call);
    }
    EXPECT_EQ(calls,
              (std::vector<HostCall>{HostCall::Purge, HostCall::Report, HostCall::ClearStartRequest,
                                     HostCall::StartStop, HostCall::Message}));
    EXPECT_EQ(host.events[1].text, "Download Aborted!");
    EXPECT_TRUE(StoppedCleanly());
    EXPECT_FALSE(host.startRequested);
}

TEST_F(AbortBox, SenderAbortEndsTheHandlingThatCalledIt)
{
    // The language-pack sender cannot read its file: it shows its box and aborts.
    Start(MakeSetup(false, true, true, "RT47X"));
    ReachErase();
    host.Receive(">e");
    host.insideSendBlock = [&](Section section, std::uint32_t block)
    {
        if (section == Section::LanguagePack && block == 0)
        {
            host.ShowMessage("Error reading LP");
            engine.Abort();
        }
    };
    host.insideBox = [&](const std::string& text)
    {
        if (text == "Error reading LP")
        {
            host.Receive(">w"); // arrives during the sender's box
        }
    };
    for (int i = 0; i < 3; ++i)
    {
        host.Receive(">w");
    }
    EXPECT_EQ(host.Messages(), (Strings{"Error reading LP", "Download Aborted!"}));
    EXPECT_EQ(host.Count(HostCall::SendBlock), 4u); // three main blocks, the failed LP block 0
    EXPECT_EQ(host.CountReport("Waiting for checksum response..."), 0u);
    EXPECT_EQ(engine.PendingNotifications(), 0u);
    EXPECT_TRUE(StoppedCleanly());
}

using NestedNotifications = EngineFixture;

TEST_F(NestedNotifications, AnswersDuringTheSendersBoxWaitAndActInOrder)
{
    host.image.blockCount = 4;
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    bool boxShown = false;
    std::size_t sendsDuringBox = 0;
    host.insideSendBlock = [&](Section, std::uint32_t block)
    {
        if (block == 1 && !boxShown)
        {
            boxShown = true;
            host.ShowMessage("Error writing block to COM Port!");
        }
    };
    host.insideBox = [&](const std::string&)
    {
        const std::size_t before = host.Count(HostCall::SendBlock);
        host.Receive(">W");
        host.Receive(">w");
        EXPECT_TRUE(engine.Handling());
        EXPECT_EQ(engine.PendingNotifications(), 2u);
        sendsDuringBox = host.Count(HostCall::SendBlock) - before;
    };
    host.ClearEvents();
    host.Receive(">w");

    EXPECT_EQ(sendsDuringBox, 0u);
    EXPECT_EQ(host.SentBlocks(Section::MainCode), (std::vector<std::uint32_t>{1, 1, 2}));
    EXPECT_EQ(host.Reports(), (Strings{"Write Failed!"}));
    EXPECT_EQ(engine.BlockIndex(), 2u);
    EXPECT_EQ(engine.PendingNotifications(), 0u);
    EXPECT_FALSE(engine.Handling());
}

TEST_F(NestedNotifications, GangPromptIgnoresEverythingAndTheNewChannelDropsIt)
{
    StartInGangMode(MakeSetup(false, true, false, "RT47X"));
    host.insideBox = [&](const std::string& text)
    {
        if (text != "Press OK when all units read Signalling...")
        {
            return;
        }
        for (int i = 0; i < 60; ++i)
        {
            host.Receive(i % 2 ? ">i" : "xy"); // more than the signalling limit
            host.Tick();
        }
    };
    host.Receive(">i");
    EXPECT_EQ(engine.State(), DownloadState::ParameterExchange);
    EXPECT_EQ(host.Messages(), (Strings{"Press OK when all units read Signalling..."}));
    EXPECT_EQ(host.Writes(), (std::vector<Bytes>{{'<', 'p', '0', 2}}));
    EXPECT_EQ(host.Count(HostCall::Purge), 1u);
    EXPECT_EQ(engine.RetryCount(), 0u);
    EXPECT_EQ(engine.RxTotal(), 0u);
    EXPECT_EQ(engine.PendingNotifications(), 0u);
    // The download goes on at the new rate.
    host.insideBox = nullptr;
    host.Receive(ParameterAnswer("RT47X", "RT47-0001"));
    EXPECT_EQ(engine.State(), DownloadState::MainErase);
}

// A chunk that arrives while a question is open belongs to the state that asked. Replayed into
// the state the answer leads to, it would count as that state's answer.
TEST_F(NestedNotifications, StrayChunkDuringImageQuestionIsNotTakenForTheEraseAnswer)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    host.insideBox = [&](const std::string& text)
    {
        if (text == "Model number mismatch - Continue?")
        {
            host.Receive("zz");
        }
    };
    ReachErase("RT47X", "RT57-0001");
    EXPECT_EQ(engine.State(), DownloadState::MainErase);
    EXPECT_EQ(engine.RetryCount(), 0u);
    EXPECT_EQ(host.Writes().back(), (Bytes{'<', 'e'}));
    EXPECT_FALSE(PurgeFollowsWrite(host.events, true));
    EXPECT_EQ(host.CountReport("Protocol Response received..."), 1u);
    EXPECT_FALSE(engine.ParamResponseBusy());

    // The real erase answer then starts the transfer as usual.
    host.Receive(">e");
    EXPECT_EQ(host.Writes().back(), Frame(host.image, 0, Section::MainCode));
}

TEST_F(NestedNotifications, StrayChunkDuringOverrideQuestionDoesNotAbortTheOverride)
{
    DownloadSetup setup = MakeSetup(false, false, true, "RT47X");
    std::memcpy(setup.lpModel, "RT47    ", 8);
    Start(setup);
    host.insideBox = [&](const std::string& text)
    {
        if (text == "Downloading RT47 LP into a RT47X - Are you sure?")
        {
            host.Receive("zz");
        }
    };
    ReachErase("RT47X");
    EXPECT_EQ(engine.State(), DownloadState::LpOverride);
    EXPECT_EQ(host.CountReport("Error occurred while overriding cfg..."), 0u);
    EXPECT_TRUE(host.running);
    host.Receive(">e");
    host.Receive(">o");
    EXPECT_EQ(engine.State(), DownloadState::LpErase);
}

TEST_F(NestedNotifications, DroppedWhenTheDownloadEndsInsideTheHandling)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    host.yesNoAnswer = false;
    host.insideBox = [&](const std::string& text)
    {
        if (text == "Model number mismatch - Continue?")
        {
            host.Receive(">e");
            host.Receive(">w");
        }
    };
    ReachErase("RT47X", "RT57-0001");
    EXPECT_EQ(host.Count(HostCall::SendBlock), 0u);
    EXPECT_EQ(host.Messages(), (Strings{"Model number mismatch - Continue?", "Download Aborted!"}));
    EXPECT_EQ(engine.PendingNotifications(), 0u);
}

TEST_F(NestedNotifications, TicksDuringTheFirstGangBlockAreIgnored)
{
    StartInGangMode(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    for (int i = 0; i < 60; ++i)
    {
        host.Tick();
    }
    host.insideSendBlock = [&](Section, std::uint32_t block)
    {
        if (block == 0)
        {
            host.ShowMessage("Error writing block to COM Port!");
        }
    };
    host.insideBox = [&](const std::string&)
    {
        host.Tick();
        host.Tick();
        host.Receive(">w");
    };
    host.Tick();
    EXPECT_EQ(host.SentBlocks(Section::MainCode), (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(engine.GangCountdown(), -1);
}

TEST_F(NestedNotifications, AFloodKeepsTheNewestInOrder)
{
    host.image.blockCount = 60;
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    bool flooded = false;
    host.insideSendBlock = [&](Section, std::uint32_t block)
    {
        if (block == 1 && !flooded)
        {
            flooded = true;
            host.ShowMessage("Error writing block to COM Port!");
        }
    };
    std::size_t kept = 0;
    host.insideBox = [&](const std::string&)
    {
        for (int i = 0; i < 40; ++i)
        {
            host.Receive(">w");
        }
        kept = engine.PendingNotifications();
    };
    host.Receive(">w");
    // The queue holds a fixed number; block 1 went out with the box, then one block for each
    // kept acknowledgement.
    EXPECT_EQ(kept, 32u);
    EXPECT_EQ(engine.BlockIndex(), 1u + kept);
    EXPECT_EQ(host.SentBlocks(Section::MainCode).size(), 2u + kept);
}

using BlankSectionStart = EngineFixture;

TEST_F(BlankSectionStart, BlankFirstBlocksAreSteppedOver)
{
    host.image.blockCount = 4;
    host.image.blank = {0, 1};
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    EXPECT_EQ(host.SentBlocks(Section::MainCode), (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(engine.BlockIndex(), 2u);
    host.Receive(">w");
    host.Receive(">w");
    EXPECT_EQ(engine.State(), DownloadState::ChecksumWait);
}

TEST_F(BlankSectionStart, WhollyBlankSectionsCompleteAtOnce)
{
    host.image.blockCount = 2;
    host.image.blank = {0, 1};
    host.languagePack.blockCount = 3;
    host.languagePack.blank = {0};
    Start(MakeSetup(false, true, true, "RT47X"));
    ReachErase();
    host.Receive(">e");
    EXPECT_EQ(engine.MainCrc(), FileCrc(host.image));
    EXPECT_EQ(engine.State(), DownloadState::LpTransfer);
    EXPECT_EQ(host.SentBlocks(Section::LanguagePack), (std::vector<std::uint32_t>{1}));

    host.languagePack.blank = {0, 1, 2};
    FakeEngineHost allBlank;
    allBlank.image = host.image;
    allBlank.languagePack = host.languagePack;
    DownloadSetup setup = MakeSetup(false, true, true, "RT47X");
    setup.mainBlockCount = 2;
    setup.lpBlockCount = 3;
    allBlank.Start(setup);
    allBlank.Receive(">i");
    allBlank.Receive(ParameterAnswer("RT47X", "RT47-0001"));
    allBlank.Receive(">e");
    EXPECT_EQ(allBlank.engine.State(), DownloadState::ChecksumWait);
    EXPECT_TRUE(allBlank.SentBlocks(Section::MainCode).empty());
    EXPECT_TRUE(allBlank.SentBlocks(Section::LanguagePack).empty());
    const Bytes request(allBlank.engine.Request().bytes, allBlank.engine.Request().bytes + 6);
    EXPECT_EQ(allBlank.Writes().back(), request);
    EXPECT_EQ(allBlank.engine.LpCrc(), FileCrc(allBlank.languagePack));
    EXPECT_TRUE(allBlank.violations.empty());
}

TEST_F(BlankSectionStart, GangTickStepsOverBlankFirstBlock)
{
    host.languagePack.blank = {0};
    StartInGangMode(MakeSetup(false, false, true, "RT47X"));
    ReachErase();
    host.Receive(">e");
    for (int i = 0; i < 61; ++i)
    {
        host.Tick();
    }
    EXPECT_EQ(host.SentBlocks(Section::LanguagePack), (std::vector<std::uint32_t>{1}));
}

// The reader's index has returned to 0 since the answer was stored: the bytes before the
// end are not the answer, and there are fewer of them than the chunk holds.
class ReaderWrap : public EngineFixture
{
protected:
    FakeEngineHost::Notification StoreAtTheWrap(const Bytes& answer)
    {
        host.writeIndex = static_cast<std::uint32_t>(serial::kWrapIndexBytes - answer.size());
        const FakeEngineHost::Notification stored = host.Store(answer);
        EXPECT_EQ(host.writeIndex, 0u);
        return stored;
    }
};

TEST_F(ReaderWrap, EraseFailureIsStillRecognised)
{
    FakeEngineHost guardedHost(GuardedRxBuffer::Guard::BeforeStart);
    DownloadSetup setup = MakeSetup(false, true, false, "RT47X");
    setup.mainBlockCount = 3;
    guardedHost.image.blockCount = 3;
    guardedHost.Start(setup);
    guardedHost.Receive(">i");
    guardedHost.Receive(ParameterAnswer("RT47X", "RT47-0001"));
    guardedHost.writeIndex = serial::kWrapIndexBytes - 2;
    const FakeEngineHost::Notification failed = guardedHost.Store(Text(">E"));
    ASSERT_EQ(guardedHost.writeIndex, 0u);
    guardedHost.Post(failed);
    EXPECT_EQ(guardedHost.Reports().back(), "Retrying...");
    EXPECT_TRUE(guardedHost.violations.empty());
}

TEST_F(ReaderWrap, ChecksumVerdictIsStillRecognised)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    for (int i = 0; i < 3; ++i)
    {
        host.Receive(">w");
    }
    host.Post(StoreAtTheWrap(ChecksumAnswer('c', {0x00, 0x01, 0x00, 0x00})));
    EXPECT_EQ(host.Reports().back(), "Download completed successfully...");
}

TEST_F(ReaderWrap, MoreBytesAfterTheWrapUseTheNewestStretch)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    const FakeEngineHost::Notification failed = StoreAtTheWrap(Text(">E"));
    host.Store(Text("zz")); // stored at the buffer's start before the notification is handled
    host.Post(failed);
    EXPECT_EQ(host.CountReport("Erase Failed!"), 0u);
    EXPECT_EQ(engine.RetryCount(), 1u); // the newest bytes are no answer
}

} // namespace
