// The real engine driven by random and hostile input: answers fitting the state, answers
// split between reads, noise, floods across the reader's wrap, empty reads, gang ticks,
// notifications inside message boxes and senders that abort. The receive buffers sit against
// inaccessible pages and are inaccessible once their channel is closed, so any read outside the
// buffer of the open channel ends the test.
#include "fake_engine_host.h"
#include "protocol/model_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

namespace
{

constexpr unsigned kSeed = 0x7E2F01;
constexpr int kRuns = 3000;
constexpr int kEventsPerRun = 160;
constexpr int kNestedBudget = 120; // events posted from inside boxes, per run

const char* const kModels[] = {"RT50", "RT80", "RT30", "RT37", "RT37X", "RT47", "RT47X"};
const char* const kMobileIds[] = {"RT47X", "RT47 ", "RT37 ", "RT37X", "RT50 ", "RT80 "};
const char* const kImageModels[] = {"R 47", "R 37", "R 50"};
const char* const kProducts[] = {"RT47-0001", "RT37-0002", "RT50-0003", "RX47"};
const char* const kLpModels[] = {"RT47X   ", "RT47    ", "RT37    ", "RT37X   "};

bool ValidState(DownloadState state)
{
    switch (state)
    {
    case DownloadState::Signalling:
    case DownloadState::MainTransfer:
    case DownloadState::ParameterExchange:
    case DownloadState::LpOverride:
    case DownloadState::MainErase:
    case DownloadState::LpErase:
    case DownloadState::LpTransfer:
    case DownloadState::ChecksumWait:
        return true;
    default:
        return false;
    }
}

// The block a transfer state waits for. Block 0 of an empty section is the gang wait's.
bool BlockInSection(std::uint32_t block, std::uint32_t blockCount)
{
    return block < blockCount || block == 0;
}

class RandomRun
{
public:
    RandomRun(std::mt19937& rng, GuardedRxBuffer::Guard guard) : m_rng(rng), m_host(guard) {}

    // Returns an empty text when every check held, else what failed.
    std::string Run()
    {
        Prepare();
        for (int i = 0; i < kEventsPerRun && m_host.running; ++i)
        {
            OneEvent();
            const std::string broken = CheckInvariants();
            if (!broken.empty())
            {
                return broken + Trace();
            }
        }
        if (!m_host.running)
        {
            // Notifications still queued from before the stop point into the closed buffer.
            for (int i = 0; i < 3; ++i)
            {
                m_host.Receive(Noise(1 + Pick(40)));
                m_host.Tick();
            }
        }
        std::string broken = CheckInvariants();
        m_reachedVerdict = m_host.CountReport("Download completed successfully...") +
                               m_host.CountReport("Download FAILED...") >
                           0;
        if (broken.empty() && PurgeFollowsWrite(m_host.events, false))
        {
            broken = "purge right after a write";
        }
        if (broken.empty() && !m_host.running &&
            (m_host.engine.MainCrc() != 0 || m_host.engine.LpCrc() != 0))
        {
            broken = "checksums survive the end";
        }
        return broken.empty() ? broken : broken + Trace();
    }

    // The setup and the last events, to tell what led to a failure.
    std::string Trace() const
    {
        static const char* const kCallNames[] = {
            "Write",     "Purge",     "Reopen",          "SendBlock", "SectionCrc",
            "Report",    "Message",   "AskOkCancel",     "AskYesNo",  "StartTimer",
            "StopTimer", "Stopwatch", "ShowElapsedTime", "Pause",     "ClearStartRequest",
            "StartStop"};
        std::ostringstream out;
        out << "\nboot " << m_setup.bootCode << " main " << m_setup.mainCode << "/"
            << m_setup.mainBlockCount << " lp " << m_setup.languagePack << "/"
            << m_setup.lpBlockCount << " gang " << m_setup.gangMode << " model "
            << m_setup.modelName << "\n";
        const std::size_t shown = 60;
        const std::size_t from = m_host.events.size() > shown ? m_host.events.size() - shown : 0;
        for (std::size_t i = from; i < m_host.events.size(); ++i)
        {
            const HostEvent& e = m_host.events[i];
            out << e.step << ' ' << kCallNames[static_cast<int>(e.call)] << ' ' << e.text
                << " value " << e.value << " written " << e.written << '\n';
        }
        return out.str();
    }

    bool ReachedVerdict() const { return m_reachedVerdict; }
    int FinalState() const { return static_cast<int>(m_host.engine.State()); }
    bool Stopped() const { return !m_host.running; }

private:
    unsigned Pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(m_rng); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(m_rng); }

    void Prepare()
    {
        DownloadSetup setup;
        switch (Pick(5))
        {
        case 0:
            setup.mainCode = true;
            break;
        case 1:
            setup.languagePack = true;
            break;
        case 2:
            setup.mainCode = setup.languagePack = true;
            break;
        case 3:
            setup.bootCode = setup.mainCode = true;
            break;
        default:
            setup.bootCode = setup.mainCode = setup.languagePack = true;
            break;
        }
        // The window offers the language pack to extended models only; now and then not.
        const unsigned firstExtended = 3;
        const bool anyModel = !setup.languagePack || Chance(0.1);
        std::strcpy(setup.modelName,
                    kModels[anyModel ? Pick(7) : firstExtended + Pick(7 - firstExtended)]);
        std::memcpy(setup.imageModel, kImageModels[Pick(3)], 4);
        std::memcpy(setup.lpModel, kLpModels[Pick(4)], 8);
        setup.baudIndex = static_cast<int>(Pick(4));
        setup.gangMode = Chance(0.3);
        setup.diagnostics = Chance(0.5);
        for (FakeSectionFile* file : {&m_host.image, &m_host.languagePack})
        {
            file->blockCount = Pick(7);
            for (std::uint32_t n = 0; n < file->blockCount; ++n)
            {
                if (Chance(0.3))
                {
                    file->blank.insert(n);
                }
            }
        }
        setup.mainBlockCount = m_host.image.blockCount;
        setup.lpBlockCount = m_host.languagePack.blockCount;
        m_setup = setup;

        m_host.insideBox = [this](const std::string&) { Nested(); };
        m_host.insideSendBlock = [this](Section section, std::uint32_t)
        {
            if (Chance(0.03))
            {
                m_host.ShowMessage("Error writing block to COM Port!");
            }
            if (section == Section::LanguagePack && Chance(0.02))
            {
                m_host.ShowMessage("Error reading LP");
                m_host.engine.Abort();
            }
        };
        m_host.Start(setup);
    }

    // Inside a box the window's message loop goes on: some notifications and ticks arrive.
    void Nested()
    {
        m_host.okCancelAnswer = Chance(0.9);
        m_host.yesNoAnswer = Chance(0.85);
        const unsigned events = Pick(3);
        for (unsigned i = 0; i < events && m_nestedBudget > 0; ++i)
        {
            --m_nestedBudget;
            switch (Pick(4))
            {
            case 0:
                m_host.Tick();
                break;
            case 1:
                m_host.PostEmpty();
                break;
            default:
                Deliver(FittingAnswer());
                break;
            }
        }
    }

    Bytes Noise(std::size_t size)
    {
        static const char kAlphabet[] = "><iIpPeEoOwWcCxz\x00\xFF";
        Bytes bytes(size);
        for (std::uint8_t& b : bytes)
        {
            b = Chance(0.5) ? static_cast<std::uint8_t>(kAlphabet[Pick(sizeof kAlphabet - 1)])
                            : static_cast<std::uint8_t>(Pick(256));
        }
        return bytes;
    }

    // Mostly a handset that fits the selected model and language pack.
    std::string MobileId()
    {
        if (Chance(0.15))
        {
            return kMobileIds[Pick(6)];
        }
        if (m_setup.languagePack)
        {
            return std::string(m_setup.lpModel, 5);
        }
        return IsExtendedModel(m_setup.modelName) ? "RT47X" : "RT50 ";
    }

    Bytes WithTail(const char* code, std::size_t tail) { return Concat(Text(code), Noise(tail)); }

    Bytes FittingAnswer()
    {
        switch (m_host.engine.State())
        {
        case DownloadState::Signalling:
            return Chance(0.9) ? Text(">i") : Noise(1 + Pick(4));
        case DownloadState::ParameterExchange:
        {
            Bytes record = ParameterAnswer(MobileId().c_str(), kProducts[Pick(4)]);
            return Chance(0.2) ? Concat(Text(">i"), record) : record;
        }
        case DownloadState::LpOverride:
            return Chance(0.9) ? Text(Chance(0.5) ? ">e" : ">o") : Noise(2);
        case DownloadState::MainErase:
        case DownloadState::LpErase:
            return Text(Chance(0.75) ? ">e" : ">E");
        case DownloadState::MainTransfer:
        case DownloadState::LpTransfer:
            return Text(Chance(0.85) ? ">w" : ">W");
        default:
            return WithTail(Chance(0.7) ? ">c" : ">C", 4);
        }
    }

    // Delivers bytes as one or more reads, sometimes split at random points.
    void Deliver(const Bytes& bytes)
    {
        if (bytes.size() < 2 || Chance(0.8))
        {
            m_host.Receive(bytes);
            return;
        }
        const std::size_t cut = 1 + Pick(static_cast<unsigned>(bytes.size() - 1));
        m_host.Receive(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
        m_host.Receive(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(cut), bytes.end()));
    }

    void OneEvent()
    {
        const unsigned roll = Pick(1000) / 10;
        if (roll < 50)
        {
            Deliver(FittingAnswer());
        }
        else if (roll < 60)
        {
            m_host.Receive(Noise(1 + Pick(serial::kMaxReadBytes)));
        }
        else if (roll < 68)
        {
            const unsigned empties = 1 + Pick(20);
            for (unsigned i = 0; i < empties; ++i)
            {
                m_host.PostEmpty();
            }
        }
        else if (roll < 72)
        {
            // A flood that takes the reader round its wrap more than once.
            const unsigned reads = 5 + Pick(30);
            for (unsigned i = 0; i < reads && m_host.running; ++i)
            {
                m_host.Receive(Noise(serial::kMaxReadBytes));
            }
        }
        else if (roll < 84)
        {
            const unsigned ticks = 1 + Pick(70);
            for (unsigned i = 0; i < ticks; ++i)
            {
                m_host.Tick();
            }
        }
        else if (roll < 92)
        {
            // The reader stores more before the first notification is handled.
            const FakeEngineHost::Notification first = m_host.Store(FittingAnswer());
            const FakeEngineHost::Notification second = m_host.Store(Noise(1 + Pick(8)));
            m_host.Post(first);
            m_host.Post(second);
        }
        else if (roll < 97)
        {
            // The reader's index close to its wrap, so the next answer straddles it.
            m_host.writeIndex = serial::kWrapIndexBytes - 1 - Pick(6);
            Deliver(FittingAnswer());
        }
        else if (roll < 99 || Chance(0.8))
        {
            // A state value no download has: the box, and no change.
            const int state = static_cast<int>(m_host.engine.State());
            EngineTestAccess::SetState(m_host.engine, 2);
            Deliver(FittingAnswer());
            if (static_cast<int>(m_host.engine.State()) != 2)
            {
                m_unrecognisedChanged = true;
            }
            EngineTestAccess::SetState(m_host.engine, state);
        }
        else
        {
            m_host.StartStopDownload(); // the operator stops
        }
    }

    std::string CheckInvariants() const
    {
        std::ostringstream out;
        const CDownloadEngine& engine = m_host.engine;
        if (!m_host.violations.empty())
        {
            out << m_host.violations.front();
        }
        else if (m_unrecognisedChanged)
        {
            out << "an unrecognised state changed";
        }
        else if (engine.Handling() || engine.PendingNotifications() != 0)
        {
            out << "handling left open";
        }
        else if (!ValidState(engine.State()))
        {
            out << "state " << engine.State();
        }
        else if (engine.RxTotal() >= serial::kWrapIndexBytes)
        {
            out << "running total " << engine.RxTotal();
        }
        else if (m_host.running && engine.State() == DownloadState::MainTransfer &&
                 !BlockInSection(engine.BlockIndex(), m_setup.mainBlockCount))
        {
            out << "main block " << engine.BlockIndex();
        }
        else if (m_host.running && engine.State() == DownloadState::LpTransfer &&
                 !BlockInSection(engine.BlockIndex(), m_setup.lpBlockCount))
        {
            out << "language-pack block " << engine.BlockIndex();
        }
        else if (m_host.running && engine.State() == DownloadState::Signalling &&
                 engine.RetryCount() >= 53)
        {
            out << "signalling retries " << engine.RetryCount();
        }
        else if (m_host.running &&
                 (engine.State() == DownloadState::MainErase ||
                  engine.State() == DownloadState::LpErase) &&
                 engine.RetryCount() > 3)
        {
            out << "erase retries " << engine.RetryCount();
        }
        else if (m_host.running &&
                 (engine.State() == DownloadState::MainTransfer ||
                  engine.State() == DownloadState::LpTransfer) &&
                 engine.RetryCount() >= 3)
        {
            out << "transfer failures " << engine.RetryCount();
        }
        return out.str();
    }

    std::mt19937& m_rng;
    FakeEngineHost m_host;
    DownloadSetup m_setup;
    bool m_unrecognisedChanged = false;
    bool m_reachedVerdict = false;
    int m_nestedBudget = kNestedBudget;
};

TEST(EngineRobustness, RandomAndHostileInputNeverBreaksTheEngine)
{
    std::mt19937 rng(kSeed);
    int stopped = 0;
    int verdicts = 0;
    int completedStates[10] = {};
    for (int run = 0; run < kRuns; ++run)
    {
        const GuardedRxBuffer::Guard guard =
            (run % 2 == 0) ? GuardedRxBuffer::Guard::AfterEnd : GuardedRxBuffer::Guard::BeforeStart;
        RandomRun one(rng, guard);
        const std::string broken = one.Run();
        ASSERT_EQ(broken, "") << "run " << run;
        stopped += one.Stopped() ? 1 : 0;
        verdicts += one.ReachedVerdict() ? 1 : 0;
        ++completedStates[one.FinalState()];
    }
    // The runs reach the end of downloads and every stage on the way.
    EXPECT_GT(stopped, kRuns / 2);
    EXPECT_GT(verdicts, kRuns / 10);
    for (DownloadState state :
         {DownloadState::Signalling, DownloadState::ParameterExchange, DownloadState::MainErase,
          DownloadState::LpErase, DownloadState::MainTransfer, DownloadState::LpTransfer,
          DownloadState::ChecksumWait})
    {
        EXPECT_GT(completedStates[static_cast<int>(state)], 0) << static_cast<int>(state);
    }
}

} // namespace
