// Whole downloads and the limits of each state.
#include "engine_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{

using Strings = std::vector<std::string>;

Bytes ChecksumRequestBytes(std::uint16_t mainCrc, std::uint16_t lpCrc)
{
    return Bytes{'<',
                 'c',
                 static_cast<std::uint8_t>(mainCrc >> 8),
                 static_cast<std::uint8_t>(mainCrc & 0xFF),
                 static_cast<std::uint8_t>(lpCrc >> 8),
                 static_cast<std::uint8_t>(lpCrc & 0xFF)};
}

using SuccessfulDownload = EngineFixture;

TEST_F(SuccessfulDownload, MainCodeOnly)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    host.Receive(">w");
    host.Receive(">w");
    host.Receive(">w");
    host.Receive(ChecksumAnswer('c', {0x01, 0x02, 0x00, 0x00}));

    const std::uint16_t crc = FileCrc(host.image);
    EXPECT_EQ(host.Writes(), (std::vector<Bytes>{
                                 {'<', 'p', '0', 2},
                                 {'<', 'e'},
                                 Frame(host.image, 0, Section::MainCode),
                                 Frame(host.image, 1, Section::MainCode),
                                 Frame(host.image, 2, Section::MainCode),
                                 ChecksumRequestBytes(crc, 0),
                             }));
    EXPECT_EQ(host.Reports(), (Strings{
                                  "Changing protocol...",
                                  "Protocol Response received...",
                                  "Image File Model Number Matches...",
                                  "Waiting for erase response...",
                                  "Waiting for checksum response...",
                                  "Download completed successfully...",
                              }));
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(host.MilestonesAndTheirLines(),
              (Strings{"protocol changed / Changing protocol...",
                       "identified RT47X / Protocol Response received...",
                       "last block / Waiting for checksum response...",
                       "verdict 0 / Download completed successfully..."}));
    EXPECT_EQ(host.Count(HostCall::Reopen), 1u);
    EXPECT_EQ(host.events[std::size_t(std::find_if(host.events.begin(), host.events.end(),
                                                   [](const HostEvent& e)
                                                   { return e.call == HostCall::Reopen; }) -
                                      host.events.begin())]
                  .value,
              115200u);
    EXPECT_EQ(host.Count(HostCall::StartStop), 1u);
    EXPECT_EQ(host.Count(HostCall::ClearStartRequest), 0u); // the stop routine clears it
    EXPECT_TRUE(StoppedCleanly());
    EXPECT_FALSE(PurgeFollowsWrite(host.events, true));
}

TEST_F(SuccessfulDownload, LanguagePackOnly)
{
    DownloadSetup setup = MakeSetup(false, false, true, "RT47X");
    setup.baudIndex = 2;
    Start(setup);
    ReachErase();
    EXPECT_EQ(engine.State(), DownloadState::LpErase);
    host.Receive(">e");
    host.Receive(">w");
    host.Receive(">w");
    ASSERT_EQ(engine.State(), DownloadState::ChecksumWait);
    const std::uint16_t crc = FileCrc(host.languagePack);
    EXPECT_EQ(engine.LpCrc(), crc);
    EXPECT_EQ(engine.MainCrc(), 0u);
    host.Receive(ChecksumAnswer('c', {0x00, 0x00, 0x01, 0x02}));

    EXPECT_EQ(host.Writes(), (std::vector<Bytes>{
                                 {'<', 'p', '2', 3},
                                 {'<', 'e'},
                                 Frame(host.languagePack, 0, Section::LanguagePack),
                                 Frame(host.languagePack, 1, Section::LanguagePack),
                                 ChecksumRequestBytes(0, crc),
                             }));
    EXPECT_EQ(host.Reports()[2], "Language Pack Model Number Matches...");
    EXPECT_EQ(host.Reports().back(), "Download completed successfully...");
    EXPECT_TRUE(StoppedCleanly());
    EXPECT_FALSE(PurgeFollowsWrite(host.events, true));
}

TEST_F(SuccessfulDownload, BothSectionsShareOneEraseAndOneChecksumRequest)
{
    Start(MakeSetup(false, true, true, "RT47X"));
    ReachErase();
    host.Receive(">e");
    for (int i = 0; i < 3; ++i)
    {
        host.Receive(">w");
    }
    // The last main-code acknowledgement brought language-pack block 0 at once.
    EXPECT_EQ(engine.State(), DownloadState::LpTransfer);
    EXPECT_EQ(host.Writes().back(), Frame(host.languagePack, 0, Section::LanguagePack));
    host.Receive(">w");
    host.Receive(">w");
    host.Receive(ChecksumAnswer('c'));

    const std::vector<Bytes> writes = host.Writes();
    EXPECT_EQ(writes.front(), (Bytes{'<', 'p', '0', 4}));
    EXPECT_EQ(std::count(writes.begin(), writes.end(), Bytes{'<', 'e'}), 1);
    EXPECT_EQ(writes.back(), ChecksumRequestBytes(FileCrc(host.image), FileCrc(host.languagePack)));
    EXPECT_EQ(host.SentBlocks(Section::MainCode), (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(host.SentBlocks(Section::LanguagePack), (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(host.CountReport("Waiting for checksum response..."), 1u);
    EXPECT_EQ(host.Count(HostCall::RestartStopwatch), 1u);
    EXPECT_TRUE(StoppedCleanly());
}

struct EraseForm
{
    const char* model;
    const char* mobileId;
    bool bootCode;
    std::uint8_t letter;
    std::uint8_t typeCode;
};

class EraseCommandForm : public EngineFixture, public ::testing::WithParamInterface<EraseForm>
{
};

TEST_P(EraseCommandForm, ChosenByModelFamilyAndBootCode)
{
    const EraseForm form = GetParam();
    DownloadSetup setup = MakeSetup(form.bootCode, true, false, form.model);
    std::memcpy(setup.imageModel, "R 50", 4);
    Start(setup);
    ReachErase(form.mobileId, "RT50-LEGACY");
    host.Receive(">e");
    const std::vector<Bytes> writes = host.Writes();
    ASSERT_GE(writes.size(), 2u);
    EXPECT_EQ(writes[0], (Bytes{'<', 'p', '0', form.typeCode}));
    EXPECT_EQ(writes[1], (Bytes{'<', form.letter}));
    EXPECT_EQ(engine.State(), DownloadState::MainTransfer);
}

INSTANTIATE_TEST_SUITE_P(Models, EraseCommandForm,
                         ::testing::Values(EraseForm{"RT50", "RT50 ", true, 'e', 1},
                                           EraseForm{"RT50", "RT50 ", false, 'E', 2},
                                           EraseForm{"RT30", "RT30 ", false, 'E', 2},
                                           EraseForm{"RT47", "RT47 ", false, 'e', 2}));

TEST_F(SuccessfulDownload, Rt47PackIntoRt47XRunsTheOverrideFirst)
{
    DownloadSetup setup = MakeSetup(false, false, true, "RT47X");
    std::memcpy(setup.lpModel, "RT47    ", 8);
    Start(setup);
    ReachErase("RT47X");
    EXPECT_EQ(engine.State(), DownloadState::LpOverride);
    host.Receive(">e");
    host.Receive(">o");
    EXPECT_EQ(engine.State(), DownloadState::LpErase);
    host.Receive(">e");
    host.Receive(">w");
    host.Receive(">w");
    host.Receive(ChecksumAnswer('c'));

    EXPECT_EQ(host.Messages(), (Strings{"Downloading RT47 LP into a RT47X - Are you sure?"}));
    EXPECT_EQ(host.Writes()[1], (Bytes{'<', 'e'}));
    EXPECT_EQ(host.Writes()[2], (Bytes{'<', 'o'}));
    EXPECT_EQ(host.Writes()[3], (Bytes{'<', 'e'}));
    const Strings reports = host.Reports();
    EXPECT_EQ(Strings(reports.begin() + 1, reports.begin() + 6),
              (Strings{"Protocol Response received...", "Erasing existing LP...",
                       "Overriding RT47X cfg...", "Override succesfully completed...",
                       "Waiting for erase response..."}));
    EXPECT_EQ(reports.back(), "Download completed successfully...");
    EXPECT_EQ(host.Count(HostCall::RestartStopwatch), 1u);
    EXPECT_FALSE(PurgeFollowsWrite(host.events, true));
}

using ParameterExchangeState = EngineFixture;

TEST_F(ParameterExchangeState, AnswerInPiecesIsProcessedOnceWhenComplete)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    host.Receive(">i");
    const Bytes answer = ParameterAnswer("RT47X", "RT47-0001");
    host.Receive(Bytes(answer.begin(), answer.begin() + 20));
    EXPECT_EQ(host.CountReport("Protocol Response received..."), 0u);
    EXPECT_EQ(engine.State(), DownloadState::ParameterExchange);
    host.Receive(Bytes(answer.begin() + 20, answer.end()));
    EXPECT_EQ(host.CountReport("Protocol Response received..."), 1u);
    EXPECT_EQ(engine.State(), DownloadState::MainErase);
}

TEST_F(ParameterExchangeState, StrayAnswerAheadNeedsSixtyEightBytes)
{
    DownloadSetup setup = MakeSetup(false, true, false, "RT47X");
    setup.diagnostics = true;
    Start(setup);
    host.Receive(">i");
    const Bytes answer = Concat(Text(">i"), ParameterAnswer("RT47X", "RT47-0001"));
    host.Receive(Bytes(answer.begin(), answer.begin() + 66));
    EXPECT_EQ(host.CountReport("Protocol Response received..."), 0u);
    host.Receive(Bytes(answer.begin() + 66, answer.end()));
    ASSERT_EQ(engine.State(), DownloadState::MainErase);

    // The dump of the 68-byte answer is that of the plain 66-byte one.
    const Strings strayDump = host.Reports();
    FakeEngineHost plainHost;
    plainHost.image.blockCount = host.image.blockCount;
    plainHost.Start(setup);
    plainHost.Receive(">i");
    plainHost.Receive(ParameterAnswer("RT47X", "RT47-0001"));
    EXPECT_EQ(plainHost.Reports(), strayDump);
    EXPECT_EQ(strayDump[3], "Command RX:  >p");
    EXPECT_EQ(strayDump[13], "mobile_id[5]: RT47X");
}

TEST_F(ParameterExchangeState, IncompatibleHandsetAborts)
{
    Start(MakeSetup(false, true, false, "RT50"));
    ReachErase("RT47 ");
    const Strings reports = host.Reports();
    EXPECT_EQ(Strings(reports.end() - 2, reports.end()),
              (Strings{"Mobile Protocol not compatible.", "Download Aborted!"}));
    EXPECT_EQ(host.MilestonesAndTheirLines().back(), "verdict 2 / Download Aborted!");
    EXPECT_EQ(host.Messages(), (Strings{"Download Aborted!"}));
    EXPECT_FALSE(engine.ParamResponseBusy());
    EXPECT_TRUE(StoppedCleanly());
}

TEST_F(ParameterExchangeState, ImageMismatchAsksAndNoAborts)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    host.yesNoAnswer = false;
    ReachErase("RT47X", "RT57-0001");
    EXPECT_EQ(host.Messages(), (Strings{"Model number mismatch - Continue?", "Download Aborted!"}));
    const Strings reports = host.Reports();
    EXPECT_EQ(Strings(reports.begin() + 2, reports.end()),
              (Strings{"Image File Model Number Mismatch...", "PC: R 47", "MS: R 57",
                       "Download Aborted!"}));
    EXPECT_FALSE(engine.ParamResponseBusy());
}

TEST_F(ParameterExchangeState, ImageMismatchConfirmedGoesOn)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase("RT47X", "RT57-0001");
    EXPECT_EQ(engine.State(), DownloadState::MainErase);
    EXPECT_EQ(host.Writes().back(), (Bytes{'<', 'e'}));
}

TEST_F(ParameterExchangeState, LanguagePackMismatchEndsWithoutQuestion)
{
    DownloadSetup setup = MakeSetup(false, false, true, "RT47");
    std::memcpy(setup.lpModel, "RT47X   ", 8);
    Start(setup);
    ReachErase("RT47 ");
    EXPECT_EQ(host.Messages(), (Strings{"Download Aborted!"}));
    const Strings reports = host.Reports();
    EXPECT_EQ(Strings(reports.begin() + 2, reports.end()),
              (Strings{"Language Pack File Model Number Mismatch...", "PC: RT47X", "MS: RT47 ",
                       "Download Aborted!"}));
}

TEST_F(ParameterExchangeState, FlagsOutliveADownloadStart)
{
    EngineTestAccess::SetParamResponseBusy(engine, true);
    Start(MakeSetup(false, true, false, "RT47X"));
    EXPECT_TRUE(engine.ParamResponseBusy());
    ReachErase();
    // A busy flag left over holds the answer back: seen, but not processed.
    EXPECT_EQ(engine.State(), DownloadState::ParameterExchange);
    EXPECT_TRUE(engine.ParamResponseSeen());
    EXPECT_EQ(host.CountReport("Protocol Response received..."), 0u);

    // Once free, the handset's repeated answer (the last 66 bytes) is processed.
    EngineTestAccess::SetParamResponseBusy(engine, false);
    host.Receive(ParameterAnswer("RT47X", "RT47-0001"));
    EXPECT_EQ(engine.State(), DownloadState::MainErase);
}

using SignallingState = EngineFixture;

TEST_F(SignallingState, FiftyTwoChunksWithoutAnswerAreTolerated)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    for (int i = 0; i < 52; ++i)
    {
        host.Receive("xy");
    }
    EXPECT_TRUE(host.running);
    EXPECT_EQ(engine.RetryCount(), 52u);
    EXPECT_EQ(host.Count(HostCall::Purge), 52u);
    host.Receive("xy");
    EXPECT_EQ(host.Messages(), (Strings{"Download Aborted!"}));
    EXPECT_TRUE(StoppedCleanly());
}

TEST_F(SignallingState, SingleBytesCountOnlyOnceTwoArrived)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    host.Receive("x");
    EXPECT_EQ(engine.RetryCount(), 0u);
    EXPECT_EQ(engine.RxTotal(), 1u);
    host.Receive("y");
    EXPECT_EQ(engine.RetryCount(), 1u);
    EXPECT_EQ(engine.RxTotal(), 0u);
    EXPECT_EQ(engine.State(), DownloadState::Signalling);
}

TEST_F(SignallingState, AnswerChangesProtocolAndReopens)
{
    DownloadSetup setup = MakeSetup(false, true, false, "RT47X");
    setup.baudIndex = 3;
    Start(setup);
    host.Receive("xy");
    host.Receive(">i");
    EXPECT_EQ(engine.State(), DownloadState::ParameterExchange);
    EXPECT_EQ(engine.RetryCount(), 0u);
    EXPECT_EQ(engine.RxTotal(), 0u);
    EXPECT_EQ(host.timers.count(kSignalTimer), 0u);
    EXPECT_EQ(host.Writes(), (std::vector<Bytes>{{'<', 'p', '4', 2}}));
    // Stop the signal, wait, purge, report, send, reopen.
    std::vector<HostCall> calls;
    for (const HostEvent& event : host.events)
    {
        if (event.step == host.events.back().step)
        {
            calls.push_back(event.call);
        }
    }
    EXPECT_EQ(calls, (std::vector<HostCall>{HostCall::Pause, HostCall::StopTimer, HostCall::Pause,
                                            HostCall::Purge, HostCall::Report, HostCall::Write,
                                            HostCall::Reopen}));
    EXPECT_EQ(host.events.back().value, 19200u);
}

using GangMode = EngineFixture;

TEST_F(GangMode, PromptOnceAndCancelAborts)
{
    StartInGangMode(MakeSetup(false, true, false, "RT47X"));
    host.okCancelAnswer = false;
    host.Receive(">i");
    EXPECT_EQ(host.Messages(),
              (Strings{"Press OK when all units read Signalling...", "Download Aborted!"}));
    EXPECT_EQ(host.Count(HostCall::Write), 0u);
    EXPECT_TRUE(StoppedCleanly());
}

TEST_F(GangMode, FirstBlockOnTheSixtyFirstTick)
{
    StartInGangMode(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    ASSERT_EQ(host.timers.count(kGangTimer), 1u);
    EXPECT_EQ(engine.State(), DownloadState::MainErase);
    const std::size_t reportsBefore = host.Reports().size();

    for (int tick = 1; tick <= 60; ++tick)
    {
        host.Tick();
        if (tick == 30)
        {
            host.Receive(">e"); // another unit: the timer restarts, the count goes on
            EXPECT_EQ(engine.GangCountdown(), 30);
        }
    }
    EXPECT_EQ(engine.State(), DownloadState::MainTransfer);
    EXPECT_TRUE(host.SentBlocks(Section::MainCode).empty());
    EXPECT_EQ(host.Reports().size(), reportsBefore);
    EXPECT_EQ(host.Count(HostCall::ShowElapsedTime), 60u);

    host.Tick();
    EXPECT_EQ(host.SentBlocks(Section::MainCode), (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(host.timers.count(kGangTimer), 0u);
    EXPECT_EQ(host.Count(HostCall::ShowElapsedTime), 61u);

    // A tick already queued when the timer stopped does not start the section again.
    host.Receive(">w");
    host.Tick();
    host.Receive(">w");
    EXPECT_EQ(host.SentBlocks(Section::MainCode), (std::vector<std::uint32_t>{0, 1, 2}));
}

TEST_F(GangMode, AnswersDuringTheWaitDoNotSendBlocks)
{
    StartInGangMode(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    host.Tick();
    host.Receive(">e"); // a slower unit, after the state already changed
    host.Receive(">w");
    EXPECT_TRUE(host.SentBlocks(Section::MainCode).empty());
    EXPECT_EQ(engine.RetryCount(), 0u);
}

using TransferState = EngineFixture;

TEST_F(TransferState, TwoWriteFailuresThenSuccess)
{
    host.image.blockCount = 4;
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    host.Receive(">w");
    host.ClearEvents();
    host.Receive(">W");
    host.Receive(">W");
    host.Receive(">w");

    const Bytes block1 = Frame(host.image, 1, Section::MainCode);
    EXPECT_EQ(host.Writes(),
              (std::vector<Bytes>{block1, block1, Frame(host.image, 2, Section::MainCode)}));
    EXPECT_EQ(host.Reports(), (Strings{"Write Failed!", "Write Failed!"}));
    EXPECT_EQ(host.Count(HostCall::Pause), 2u);
    EXPECT_EQ(host.events[1].value, 1000u);
    EXPECT_EQ(engine.RetryCount(), 0u);
    EXPECT_EQ(host.Count(HostCall::Purge), 0u);
    EXPECT_TRUE(host.running);
}

TEST_F(TransferState, ThirdWriteFailureAborts)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    host.ClearEvents();
    host.Receive(">W");
    host.Receive(">W");
    host.Receive(">W");
    EXPECT_EQ(host.Reports(),
              (Strings{"Write Failed!", "Write Failed!", "Write Failed!", "Download Aborted!"}));
    EXPECT_EQ(host.Writes().size(), 2u); // two re-sends, none after the third failure
    EXPECT_TRUE(StoppedCleanly());
}

TEST_F(TransferState, ThirdUnrecognisedChunkAbortsWithoutPause)
{
    Start(MakeSetup(false, false, true, "RT47X"));
    ReachErase();
    host.Receive(">e");
    host.ClearEvents();
    host.Receive("??");
    host.Receive("w>");
    EXPECT_EQ(host.Writes().size(), 2u);
    EXPECT_EQ(host.Count(HostCall::Pause), 0u);
    host.Receive("?w");
    EXPECT_EQ(host.Reports(), (Strings{"Download Aborted!"}));
}

TEST_F(TransferState, BlankBlocksAreSteppedOver)
{
    host.image.blockCount = 10;
    host.image.blank = {6, 7};
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    for (int i = 0; i < 6; ++i)
    {
        host.Receive(">w");
    }
    EXPECT_EQ(host.Writes().back(), Frame(host.image, 8, Section::MainCode));
    EXPECT_EQ(engine.BlockIndex(), 8u);
}

TEST_F(TransferState, BlankTailCompletesTheSectionWithCrcOverAllBlocks)
{
    host.image.blockCount = 5;
    host.image.blank = {2, 3, 4};
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    host.Receive(">w");
    host.Receive(">w");
    EXPECT_EQ(engine.State(), DownloadState::ChecksumWait);
    EXPECT_EQ(host.SentBlocks(Section::MainCode), (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(engine.MainCrc(), FileCrc(host.image));
    EXPECT_EQ(host.Writes().back(), ChecksumRequestBytes(FileCrc(host.image), 0));
}

using EraseState = EngineFixture;

TEST_F(EraseState, ThreeRetriesThenTheFourthFailureAborts)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.ClearEvents();
    for (int i = 0; i < 3; ++i)
    {
        host.Receive(">E");
    }
    EXPECT_EQ(host.Reports(), (Strings{"Erase Failed!", "Retrying...", "Erase Failed!",
                                       "Retrying...", "Erase Failed!", "Retrying..."}));
    EXPECT_EQ(host.Writes(), (std::vector<Bytes>(3, Bytes{'<', 'e'})));
    EXPECT_TRUE(host.running);
    host.Receive(">E");
    EXPECT_EQ(host.Reports().back(), "Download Aborted!");
    EXPECT_EQ(host.Writes().size(), 3u);
    EXPECT_TRUE(StoppedCleanly());
}

TEST_F(EraseState, LanguagePackEraseAsksAgainToo)
{
    DownloadSetup setup = MakeSetup(false, false, true, "RT47X");
    Start(setup);
    ReachErase();
    host.ClearEvents();
    host.Receive(">E");
    EXPECT_EQ(host.Writes(), (std::vector<Bytes>{{'<', 'e'}}));
    host.Receive(">e");
    EXPECT_EQ(engine.State(), DownloadState::LpTransfer);
}

TEST_F(EraseState, LegacyRetryKeepsTheLegacyForm)
{
    DownloadSetup setup = MakeSetup(false, true, false, "RT80");
    std::memcpy(setup.imageModel, "R 80", 4);
    Start(setup);
    ReachErase("RT80 ", "RT80");
    host.ClearEvents();
    host.Receive(">E");
    EXPECT_EQ(host.Writes(), (std::vector<Bytes>{{'<', 'E'}}));
}

TEST_F(EraseState, ThirdInvalidResponseAborts)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.ClearEvents();
    host.Receive(">E"); // shares the counter
    host.Receive("??");
    EXPECT_TRUE(host.running);
    host.Receive("!!");
    const Strings reports = host.Reports();
    EXPECT_EQ(Strings(reports.end() - 2, reports.end()),
              (Strings{"Invalid Response!", "Download Aborted!"}));
}

TEST_F(EraseState, OverrideFailureAborts)
{
    DownloadSetup setup = MakeSetup(false, false, true, "RT47X");
    std::memcpy(setup.lpModel, "RT47    ", 8);
    Start(setup);
    ReachErase("RT47X");
    host.Receive(">E");
    const Strings reports = host.Reports();
    EXPECT_EQ(Strings(reports.end() - 2, reports.end()),
              (Strings{"Error occurred while overriding cfg...", "Download Aborted!"}));
}

using ChecksumState = EngineFixture;

TEST_F(ChecksumState, BadVerdictEndsWithoutAbortBox)
{
    DownloadSetup setup = MakeSetup(false, true, true, "RT47X");
    setup.diagnostics = true;
    Start(setup);
    ReachErase();
    host.Receive(">e");
    for (int i = 0; i < 5; ++i)
    {
        host.Receive(">w");
    }
    const std::uint16_t mainCrc = FileCrc(host.image);
    const std::uint16_t lpCrc = FileCrc(host.languagePack);
    ASSERT_EQ(engine.MainCrc(), mainCrc);
    host.ClearEvents();
    host.Receive(Bytes{'>', 'C', 0x00, 0x11, 0x22, 0x33});

    char pcLine[64];
    std::snprintf(pcLine, sizeof pcLine, "PC CRC Checksum: 0x%04x%04x", lpCrc, mainCrc);
    char codeLine[64];
    std::snprintf(codeLine, sizeof codeLine, "Code CRC Checksum: 0x%04x", mainCrc);
    char lpLine[64];
    std::snprintf(lpLine, sizeof lpLine, "Lang. Pack CRC Checksum: 0x%04x", lpCrc);
    EXPECT_EQ(host.Reports(), (Strings{"Download FAILED...", pcLine, "MS CRC Checksum: 0x22330011",
                                       codeLine, lpLine}));
    EXPECT_EQ(host.MilestonesAndTheirLines(), (Strings{"verdict 1 / Download FAILED..."}));
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(host.Count(HostCall::StartStop), 1u);
    EXPECT_TRUE(StoppedCleanly());
}

TEST_F(ChecksumState, WaitsForFourCountedBytes)
{
    host.image.blank = {0, 1, 2};
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e"); // the blank section completes at once; two bytes counted
    ASSERT_EQ(engine.State(), DownloadState::ChecksumWait);
    host.Receive("?");
    EXPECT_TRUE(host.running);
    EXPECT_EQ(host.CountReport("Invalid CheckSum Response..."), 0u);
    host.Receive(ChecksumAnswer('c', {0x01, 0x02, 0x00, 0x00}));
    EXPECT_EQ(host.Reports().back(), "Download completed successfully...");
}

TEST_F(ChecksumState, AnythingElseAborts)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    host.Receive(">w");
    host.Receive(">w");
    host.Receive(">w");
    host.Receive(">w");
    const Strings reports = host.Reports();
    EXPECT_EQ(Strings(reports.end() - 2, reports.end()),
              (Strings{"Invalid CheckSum Response...", "Download Aborted!"}));
    EXPECT_TRUE(StoppedCleanly());
}

TEST_F(ChecksumState, VerdictIsTakenFromTheNewestBytes)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    for (int i = 0; i < 3; ++i)
    {
        host.Receive(">w");
    }
    // The reader stored a second answer before the first notification was handled.
    const FakeEngineHost::Notification first = host.Store(ChecksumAnswer('c'));
    host.Store(ChecksumAnswer('C'));
    host.Post(first);
    EXPECT_EQ(host.Reports().back(), "Download FAILED...");
}

using OtherStates = EngineFixture;

TEST_F(OtherStates, UnrecognisedStateShowsBoxAndChangesNothing)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    EngineTestAccess::SetState(engine, 2);
    host.ClearEvents();
    host.Receive("zz");
    EXPECT_EQ(host.Messages(), (Strings{"Unrecognised state!"}));
    EXPECT_EQ(static_cast<int>(engine.State()), 2);
    EXPECT_EQ(host.Count(HostCall::Write), 0u);
    EXPECT_EQ(host.Count(HostCall::Purge), 0u);
    EXPECT_TRUE(host.running);
    host.Receive("zz");
    EXPECT_EQ(host.Messages().size(), 2u);
}

TEST_F(OtherStates, RunningTotalWrapsWithTheReader)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    host.Receive(">i");
    // Bytes that are no answer: the engine keeps counting in step with the reader's index.
    const Bytes noise(250, 'n');
    for (int i = 0; i < 14; ++i)
    {
        host.Receive(noise);
        EXPECT_EQ(engine.RxTotal(), host.writeIndex) << i;
        EXPECT_LT(engine.RxTotal(), 2800u);
    }
    EXPECT_EQ(engine.State(), DownloadState::ParameterExchange);
}

TEST_F(OtherStates, RunningTotalMeetsTheWrapIndexExactly)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    host.Receive(">i");
    ASSERT_EQ(host.writeIndex, 0u); // the reopened channel's reader starts afresh
    host.Receive(Bytes(serial::kWrapIndexBytes - 1, 'n'));
    ASSERT_EQ(host.writeIndex, serial::kWrapIndexBytes - 1);
    EXPECT_EQ(engine.RxTotal(), serial::kWrapIndexBytes - 1);
    host.Receive(Bytes(1, 'n'));
    ASSERT_EQ(host.writeIndex, 0u);
    EXPECT_EQ(engine.RxTotal(), 0u);
}

TEST_F(OtherStates, NotificationAfterTheEndIsIgnored)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    const FakeEngineHost::Notification late = host.Store(Text(">i"));
    host.StartStopDownload(); // the operator's stop; the channel's buffer is gone
    host.ClearEvents();
    host.Post(late);
    host.Tick();
    EXPECT_TRUE(host.events.empty());
}

} // namespace
