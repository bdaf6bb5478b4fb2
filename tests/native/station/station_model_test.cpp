// The station's tile model: each run of events to its state, text and counters; the streak that
// takes a port out of the loop; the hints; the header's totals; at most ten draws a second.
#include "runner/exit_codes.h"
#include "station/station_totals.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{

using Clock = std::chrono::steady_clock;
using Kind = PortEvent::Kind;

const Clock::time_point kT0 = Clock::time_point() + std::chrono::hours(1);

PortEvent At(Kind kind, int ms = 0)
{
    PortEvent event;
    event.kind = kind;
    event.at = kT0 + std::chrono::milliseconds(ms);
    return event;
}

PortEvent Phase(PortPhase phase)
{
    PortEvent event = At(Kind::Phase);
    event.phase = phase;
    return event;
}

PortEvent Handset(const char* productId)
{
    PortEvent event = At(Kind::Handset);
    event.productId = productId;
    event.mobileId = "RT47";
    return event;
}

PortEvent Block(std::uint64_t done, std::uint64_t total)
{
    PortEvent event = At(Kind::Block);
    event.block.blocksDone = done;
    event.block.blocksTotal = total;
    return event;
}

PortEvent Ended(int exitCode, FailureClass failure, const char* reason = "")
{
    PortEvent event = At(Kind::Ended, 4000);
    event.result.exitCode = exitCode;
    event.result.failure = failure;
    event.result.reason = reason;
    return event;
}

// A handset answers and its download runs to the end given.
std::vector<PortEvent> Unit(const char* productId, PortEvent end)
{
    return {At(Kind::Begun),     Phase(PortPhase::Identifying), Handset(productId),
            At(Kind::Stopwatch), Phase(PortPhase::Erasing),     Phase(PortPhase::Sending),
            Block(35, 70),       Phase(PortPhase::Checking),    end};
}

void Feed(CTileModel& tile, const std::vector<PortEvent>& events)
{
    for (const PortEvent& event : events)
    {
        tile.Apply(event);
    }
}

TEST(TileModel, EachEventShowsItsStateAsTextWithItsTone)
{
    struct Step
    {
        PortEvent event;
        const char* text;
        TileTone tone;
    };
    CTileModel tile;
    EXPECT_EQ("Idle", tile.StateText());
    for (const Step& step : {
             Step{At(Kind::Begun), "Waiting for handset", TileTone::Busy},
             Step{Phase(PortPhase::Signalling), "Waiting for handset", TileTone::Busy},
             Step{Phase(PortPhase::Identifying), "Signalling", TileTone::Busy},
             Step{Handset("RT47-SIM-0001"), "Signalling", TileTone::Busy},
             Step{Phase(PortPhase::Erasing), "Erasing", TileTone::Busy},
             Step{Phase(PortPhase::Sending), "Sending block 0 of 0", TileTone::Busy},
             Step{Block(12, 70), "Sending block 12 of 70", TileTone::Busy},
             Step{Phase(PortPhase::Checking), "Checking", TileTone::Busy},
             Step{Ended(kExitSuccess, FailureClass::None), "PASSED", TileTone::Pass},
         })
    {
        tile.Apply(step.event);
        EXPECT_EQ(step.text, tile.StateText());
        EXPECT_EQ(step.tone, ToneOf(tile.State())) << step.text;
    }
    EXPECT_EQ("RT47-SIM-0001", tile.ProductId());
    EXPECT_EQ("RT47", tile.MobileId());
    // Every tone has a colour of its own, so the text is never alone nor the colour either.
    EXPECT_NE(ToneColour(TileTone::Pass), ToneColour(TileTone::Fail));
    EXPECT_NE(ToneColour(TileTone::Busy), ToneColour(TileTone::Alert));
}

TEST(TileModel, EachWayADownloadEndsGivesItsVerdictCountAndHint)
{
    struct End
    {
        PortEvent end;
        const char* text;
        unsigned passed;
        unsigned failed;
        const char* hint;
    };
    for (const End& end : {
             End{Ended(kExitSuccess, FailureClass::None), "PASSED", 1, 0, ""},
             End{Ended(kExitVerdictFailed, FailureClass::ChecksumMismatch, "Download FAILED..."),
                 "FAILED", 0, 1, "Checksums disagree: reject the unit."},
             End{Ended(kExitAborted, FailureClass::NoAnswer, "No answer"), "ABORTED", 0, 1,
                 "No answer: seat the handset and check the cable."},
             End{Ended(kExitAborted, FailureClass::ModelMismatch, "Model"), "ABORTED", 0, 1,
                 "Model mismatch: wrong firmware for this handset."},
             End{Ended(kExitPortError, FailureClass::PortError, "gone"), "Port error", 0, 1,
                 "Port error: check the adapter."},
             End{Ended(kExitAborted, FailureClass::Other, "Erase Failed!"), "ABORTED", 0, 1, ""},
             End{Ended(kExitInterrupted, FailureClass::Stopped, "by User"), "ABORTED", 0, 1, ""},
         })
    {
        CTileModel tile;
        Feed(tile, Unit("A", end.end));
        EXPECT_EQ(end.text, tile.StateText()) << end.end.result.reason;
        EXPECT_EQ(end.passed, tile.Passed());
        EXPECT_EQ(end.failed, tile.Failures());
        EXPECT_STREQ(end.hint, tile.LastHint());
        EXPECT_EQ(end.end.result.reason, tile.LastReason());
    }
    // The tile's text, as a screen reader and the Wine tests read it: a pass clears the reason.
    CTileModel tile;
    Feed(tile, Unit("A", Ended(kExitAborted, FailureClass::ModelMismatch, "Model")));
    EXPECT_EQ("ABORTED\nPassed 0   Failed 1\nModel", tile.Summary());
    Feed(tile, Unit("B", Ended(kExitSuccess, FailureClass::None)));
    EXPECT_EQ("PASSED\nPassed 1   Failed 1", tile.Summary());
}

TEST(TileModel, AStationKeepsTheVerdictUntilTheNextHandsetAnswersAndAStopWhileWaitingIsIdle)
{
    CTileModel tile;
    Feed(tile, Unit("A", Ended(kExitVerdictFailed, FailureClass::ChecksumMismatch)));
    tile.Apply(At(Kind::Begun));
    EXPECT_EQ("FAILED", tile.StateText());
    EXPECT_TRUE(tile.AwaitingNext());
    tile.Apply(Phase(PortPhase::Identifying));
    EXPECT_EQ("Signalling", tile.StateText());
    EXPECT_FALSE(tile.AwaitingNext());
    EXPECT_EQ("", tile.ProductId()); // the new unit's is not known yet

    tile.Apply(Ended(kExitSuccess, FailureClass::None));
    tile.Apply(At(Kind::Begun));
    tile.Apply(Ended(kExitInterrupted, FailureClass::Stopped, "by User"));
    EXPECT_EQ("Idle", tile.StateText());
    EXPECT_EQ(1u, tile.Passed());
    EXPECT_EQ(1u, tile.Failures());
}

TEST(TileModel, ThreeFailuresInARowTakeThePortOutUntilItIsStartedAgain)
{
    CTileModel tile;
    const PortEvent fail = Ended(kExitAborted, FailureClass::NoAnswer, "No answer");
    Feed(tile, Unit("A", fail));
    Feed(tile, Unit("B", Ended(kExitSuccess, FailureClass::None))); // a pass breaks the streak
    Feed(tile, Unit("C", fail));
    // The operator's own stop is no failure of the fixture.
    Feed(tile, Unit("D", Ended(kExitInterrupted, FailureClass::Stopped)));
    Feed(tile, Unit("E", fail));
    EXPECT_FALSE(tile.OutOfLoop());
    EXPECT_EQ(2u, tile.FailureStreak());
    Feed(tile, Unit("F", fail));
    EXPECT_TRUE(tile.OutOfLoop());
    EXPECT_EQ("Check fixture", tile.StateText());
    EXPECT_EQ(TileTone::Alert, ToneOf(tile.State()));
    EXPECT_STREQ("No answer: seat the handset and check the cable.", tile.LastHint());

    tile.Started();
    EXPECT_FALSE(tile.OutOfLoop());
    EXPECT_EQ("Idle", tile.StateText());
    EXPECT_EQ(5u, tile.Failures()); // the counters stay

    CTileModel strict(1);
    Feed(strict, Unit("A", fail));
    EXPECT_TRUE(strict.OutOfLoop());
}

TEST(TileModel, ProgressRateAndElapsedTimeFreezeAtTheEnd)
{
    CTileModel tile;
    Feed(tile, {At(Kind::Begun), Phase(PortPhase::Identifying), At(Kind::Stopwatch, 1000)});
    PortEvent block = Block(35, 70);
    block.block.transfer.blocksSent = 20;
    block.block.transfer.firstBlock = kT0 + std::chrono::seconds(2);
    tile.Apply(block);
    EXPECT_EQ(50u, tile.Percent());
    EXPECT_DOUBLE_EQ(10.0, tile.BlocksPerSecond(kT0 + std::chrono::seconds(4)));
    EXPECT_DOUBLE_EQ(64.0, tile.ElapsedSeconds(kT0 + std::chrono::seconds(65)));
    EXPECT_EQ("1:04", tile.ElapsedText(kT0 + std::chrono::seconds(65)));

    tile.Apply(Ended(kExitSuccess, FailureClass::None)); // at 4 s
    EXPECT_DOUBLE_EQ(3.0, tile.ElapsedSeconds(kT0 + std::chrono::hours(1)));
    EXPECT_DOUBLE_EQ(10.0, tile.BlocksPerSecond(kT0 + std::chrono::hours(1)));
}

TEST(TileModel, ABusyPortIsDrawnAtMostTenTimesASecond)
{
    CTileModel tile;
    Feed(tile, {At(Kind::Begun), Phase(PortPhase::Identifying), At(Kind::Stopwatch)});
    unsigned draws = 0;
    // A block event every millisecond for two seconds.
    for (int ms = 0; ms < 2000; ++ms)
    {
        tile.Apply(Block(ms, 2000));
        draws += tile.TakeRedraw(kT0 + std::chrono::milliseconds(ms)) ? 1 : 0;
    }
    EXPECT_EQ(20u, draws);
    // An idle tile with nothing new is not drawn again.
    CTileModel idle;
    EXPECT_TRUE(idle.TakeRedraw(kT0));
    EXPECT_FALSE(idle.TakeRedraw(kT0 + std::chrono::seconds(5)));
}

TEST(StationTotals, SumTheTilesWithTheFirstPassYieldOfUnitsAndUnitsPerHour)
{
    CTileModel one;
    CTileModel two;
    const PortEvent pass = Ended(kExitSuccess, FailureClass::None);
    const PortEvent fail = Ended(kExitVerdictFailed, FailureClass::ChecksumMismatch);
    Feed(one, Unit("A", fail));
    Feed(one, Unit("A", pass)); // the same unit again: a retry
    Feed(one, Unit("B", pass));
    Feed(two, Unit("C", pass));
    const StationTotals totals = TotalsOf({&one, &two}, kT0, kT0 + std::chrono::minutes(30));
    EXPECT_EQ(3u, totals.passed);
    EXPECT_EQ(1u, totals.failed);
    EXPECT_DOUBLE_EQ(2.0 / 3.0, totals.firstPassYield); // A failed first, B and C passed
    EXPECT_DOUBLE_EQ(6.0, totals.unitsPerHour);
    EXPECT_EQ("passed 3  failed 1  first-pass yield 66.7 %  units/h 6", TotalsText(totals));
    EXPECT_EQ(0.0, TotalsOf({}, kT0, kT0).firstPassYield);
}

TEST(PortEventQueue, CopiesEventsInOrderAndKeepsTheLastOfBlocksInARow)
{
    CPortEventQueue queue;
    DownloadResult result;
    result.reason = "why";
    std::thread port(
        [&]()
        {
            queue.DownloadBegun();
            for (std::uint32_t block = 0; block < 50; ++block)
            {
                BlockEvent event;
                event.block = block;
                queue.BlockProgressed(event);
            }
            queue.HandsetIdentified("P", "M");
            queue.ReportLine(ReportKind::Line, "not the tile's");
            queue.DownloadEnded(result);
            queue.JournalWritten(false);
        });
    port.join();
    const std::vector<PortEvent> events = queue.Drain();
    ASSERT_EQ(5u, events.size());
    EXPECT_EQ(Kind::Begun, events[0].kind);
    EXPECT_EQ(Kind::Block, events[1].kind);
    EXPECT_EQ(49u, events[1].block.block);
    EXPECT_EQ("P", events[2].productId);
    EXPECT_EQ("why", events[3].result.reason);
    EXPECT_FALSE(events[4].journalWritten);
    EXPECT_TRUE(queue.Drain().empty());

    CJournalCount journal;
    for (const PortEvent& event : events)
    {
        journal.Apply(event);
    }
    EXPECT_EQ(0u, journal.Written());
    EXPECT_EQ(1u, journal.Failed());
}

} // namespace
