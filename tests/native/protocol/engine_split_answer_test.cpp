// Answers that reach the engine in several reads, as a USB-serial adapter hands them over: the
// same download, frame for frame and line for line, however they are cut.
#include "engine_fixture.h"
#include "protocol/partial_answer.h"

#include <cstring>
#include <functional>
#include <vector>

namespace
{

using Strings = std::vector<std::string>;
using Pieces = std::vector<Bytes>;

TEST(PartialAnswer, OnlyTheStartOfAnAnswerTheStateCanReceiveWaits)
{
    struct Case
    {
        DownloadState state;
        bool extended;
        Bytes bytes;
        bool partial;
    };
    const Case cases[] = {
        {DownloadState::Signalling, true, Text(">"), true},
        {DownloadState::Signalling, true, Text(">i"), false},
        {DownloadState::Signalling, true, Text("i"), false},
        {DownloadState::MainErase, true, Text(">"), true},
        {DownloadState::LpErase, false, Text(">"), true},
        {DownloadState::LpOverride, true, Text(">"), true},
        {DownloadState::MainTransfer, true, Text(">"), true},
        {DownloadState::LpTransfer, true, Text(">W"), false},
        {DownloadState::MainTransfer, true, Text("?"), false},
        {DownloadState::ChecksumWait, true, Text(">"), true},
        {DownloadState::ChecksumWait, true, Text(">c"), true},
        {DownloadState::ChecksumWait, true, ChecksumAnswer('C', {1, 2, 3}), true},
        {DownloadState::ChecksumWait, true, ChecksumAnswer('c'), false},
        {DownloadState::ChecksumWait, false, ChecksumAnswer('c', {1}), true},
        {DownloadState::ChecksumWait, false, ChecksumAnswer('c', {1, 2}), false},
        {DownloadState::ChecksumWait, true, Text(">w"), false},
        // The record is gathered in the receive buffer by its total, never here.
        {DownloadState::ParameterExchange, true, Text(">"), false},
        {static_cast<DownloadState>(2), true, Text(">"), false},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(IsPartialAnswer(c.state, c.extended, c.bytes.data(), c.bytes.size()), c.partial)
            << "state " << c.state << ", " << c.bytes.size() << " bytes";
    }
}

// One download from the handset's side: its answers in order, and how the engine is set up.
struct Scenario
{
    const char* name;
    DownloadSetup setup;
    const char* mobileId;
    const char* productId;
    std::vector<Bytes> answers; // after ">i" and the parameter record
};

DownloadSetup Legacy()
{
    DownloadSetup setup = MakeSetup(false, true, false, "RT50");
    std::memcpy(setup.imageModel, "R 50", 4);
    return setup;
}

DownloadSetup Rt47PackIntoRt47X()
{
    DownloadSetup setup = MakeSetup(false, false, true, "RT47X");
    std::memcpy(setup.lpModel, "RT47    ", 8);
    return setup;
}

std::vector<Scenario> Scenarios()
{
    const Bytes w = Text(">w");
    return {
        {"image and language pack",
         MakeSetup(false, true, true, "RT47X"),
         "RT47X",
         "RT47-0001",
         {Text(">e"), w, w, w, w, w, ChecksumAnswer('c', {0x12, 0x34, 0x56, 0x78})}},
        {"an erase retry",
         MakeSetup(false, true, false, "RT47X"),
         "RT47X",
         "RT47-0001",
         {Text(">E"), Text(">e"), w, w, w, ChecksumAnswer('c')}},
        {"a write failure",
         MakeSetup(false, true, false, "RT47X"),
         "RT47X",
         "RT47-0001",
         {Text(">e"), w, Text(">W"), Text(">W"), w, w, ChecksumAnswer('C')}},
        {"the RT47X override",
         Rt47PackIntoRt47X(),
         "RT47X",
         "RT47-0001",
         {Text(">e"), Text(">o"), Text(">e"), w, w, ChecksumAnswer('c')}},
        {"a legacy model",
         Legacy(),
         "RT50 ",
         "RT50-0001",
         {Text(">e"), w, w, w, ChecksumAnswer('c', {1, 2})}},
    };
}

// The pieces an adapter may make of an answer: cut once at `at` (an answer shorter than that
// stays whole), or a byte at a time when `at` is 0.
Pieces Cut(const Bytes& answer, std::size_t at)
{
    if (at == 0)
    {
        Pieces bytes;
        for (std::uint8_t b : answer)
        {
            bytes.push_back(Bytes{b});
        }
        return bytes;
    }
    if (at >= answer.size())
    {
        return {answer};
    }
    const auto middle = answer.begin() + static_cast<std::ptrdiff_t>(at);
    return {Bytes(answer.begin(), middle), Bytes(middle, answer.end())};
}

// What the handset and the operator see of a download.
struct Transcript
{
    std::vector<Bytes> writes;
    Strings reports;
    Strings messages;
    std::vector<std::string> violations;
    bool stoppedCleanly = false;
};

Transcript RunDownload(const Scenario& scenario, const std::function<Pieces(const Bytes&)>& cut)
{
    FakeEngineHost host;
    host.image.blockCount = 3;
    host.languagePack.blockCount = 2;
    DownloadSetup setup = scenario.setup;
    setup.mainBlockCount = host.image.blockCount;
    setup.lpBlockCount = host.languagePack.blockCount;
    host.Start(setup);
    std::vector<Bytes> answers{Text(">i"), ParameterAnswer(scenario.mobileId, scenario.productId)};
    answers.insert(answers.end(), scenario.answers.begin(), scenario.answers.end());
    for (const Bytes& answer : answers)
    {
        for (const Bytes& piece : cut(answer))
        {
            host.Receive(piece);
        }
    }
    const bool stopped = !host.running && host.timers.empty() && host.engine.MainCrc() == 0 &&
                         host.engine.LpCrc() == 0;
    return Transcript{host.Writes(), host.Reports(), host.Messages(), host.violations, stopped};
}

TEST(SplitAnswers, EveryCutGivesTheDownloadOfWholeAnswers)
{
    for (const Scenario& scenario : Scenarios())
    {
        const Transcript whole =
            RunDownload(scenario, [](const Bytes& answer) { return Pieces{answer}; });
        ASSERT_TRUE(whole.stoppedCleanly) << scenario.name;
        ASSERT_GT(whole.writes.size(), 4u) << scenario.name;
        // 0: a byte at a time; 1 to 5: every cut of the two- and six-byte answers (and of the
        // record's start).
        for (std::size_t at = 0; at < kLongestJudgedAnswer; ++at)
        {
            const Transcript split =
                RunDownload(scenario, [at](const Bytes& answer) { return Cut(answer, at); });
            EXPECT_EQ(split.writes, whole.writes) << scenario.name << ", cut " << at;
            EXPECT_EQ(split.reports, whole.reports) << scenario.name << ", cut " << at;
            EXPECT_EQ(split.messages, whole.messages) << scenario.name << ", cut " << at;
            EXPECT_TRUE(split.stoppedCleanly) << scenario.name << ", cut " << at;
            EXPECT_EQ(split.violations, std::vector<std::string>{}) << scenario.name;
        }
    }
}

using SplitAnswer = EngineFixture;

TEST_F(SplitAnswer, ThePartWaitsWithoutThePauseAndTheWholeIsJudgedAtOnce)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    host.Receive(">");
    EXPECT_EQ(engine.RetryCount(), 0u);
    EXPECT_EQ(engine.PartialAnswerBytes(), 1u);
    EXPECT_EQ(host.Count(HostCall::Pause), 0u);
    EXPECT_EQ(host.timers.count(kAnswerTimer), 1u);
    host.Receive("i");
    EXPECT_EQ(engine.State(), DownloadState::ParameterExchange);
    EXPECT_EQ(host.timers.count(kAnswerTimer), 0u);
    EXPECT_EQ(engine.PartialAnswerBytes(), 0u);
}

TEST_F(SplitAnswer, TheRecordsPiecesCostNoPauseBeforeItIsWhole)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    host.Receive(">i");
    host.ClearEvents();
    for (const Bytes& piece : Cut(Concat(Text(">i"), ParameterAnswer("RT47X", "RT47-0001")), 0))
    {
        host.Receive(piece);
    }
    EXPECT_EQ(host.CountReport("Protocol Response received..."), 1u);
    // Only the piece that completes the record waits before it is judged.
    EXPECT_EQ(host.Count(HostCall::Pause), 1u);
    EXPECT_EQ(engine.State(), DownloadState::MainErase);
}

TEST_F(SplitAnswer, APartLeftAloneIsJudgedAsItStandsWhenTheWaitEnds)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    host.ClearEvents();
    host.Receive(">");
    EXPECT_TRUE(host.Writes().empty());
    engine.OnTimerTick(kAnswerTimer);
    // An unrecognised answer: the block goes again, and the next byte is a read of its own.
    EXPECT_EQ(host.Writes(), (std::vector<Bytes>{Frame(host.image, 0, Section::MainCode)}));
    EXPECT_EQ(engine.RetryCount(), 1u);
    EXPECT_EQ(host.timers.count(kAnswerTimer), 0u);
    host.Receive("w");
    EXPECT_EQ(engine.RetryCount(), 2u);
    EXPECT_EQ(engine.BlockIndex(), 0u);
}

TEST_F(SplitAnswer, AChecksumAnswerWithoutItsFiguresIsTakenWhenTheWaitEnds)
{
    host.image.blockCount = 1;
    DownloadSetup setup = MakeSetup(false, true, false, "RT47X");
    setup.diagnostics = true;
    Start(setup);
    ReachErase();
    host.Receive(">e");
    host.Receive(">w");
    host.Receive(">c");
    EXPECT_TRUE(host.running);
    host.Receive(Bytes{0x12});
    engine.OnTimerTick(kAnswerTimer);
    EXPECT_EQ(host.CountReport("Download completed successfully..."), 1u);
    EXPECT_TRUE(StoppedCleanly());
}

TEST_F(SplitAnswer, BytesAfterAJudgedAnswerInTheSameReadsAreDropped)
{
    host.image.blockCount = 4;
    Start(MakeSetup(false, true, false, "RT47X"));
    ReachErase();
    host.Receive(">e");
    // Two acknowledgements of one block, whole in one read or gathered over two: one block on.
    host.Receive(">w>w");
    EXPECT_EQ(engine.BlockIndex(), 1u);
    host.Receive(">");
    host.Receive("w>w>");
    EXPECT_EQ(engine.BlockIndex(), 2u);
    EXPECT_EQ(engine.PartialAnswerBytes(), 0u);
    EXPECT_EQ(host.SentBlocks(Section::MainCode), (std::vector<std::uint32_t>{0, 1, 2}));
}

TEST_F(SplitAnswer, TheStopEndsTheWait)
{
    Start(MakeSetup(false, true, false, "RT47X"));
    host.Receive(">");
    host.StartStopDownload();
    EXPECT_TRUE(host.timers.empty());
    engine.OnTimerTick(kAnswerTimer); // a tick already queued
    EXPECT_TRUE(host.Writes().empty());
}

} // namespace
