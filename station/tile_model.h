// One port's tile in the station: what it shows, made from the port's events on the window's
// thread. The state is always a text with its colour, never a colour alone; the last failure
// comes with a one-line hint for the operator; three failures in a row (a setting) take the port
// out of the loop as "Check fixture" until the operator starts it again.
#pragma once

#include "station/port_events.h"

#include <chrono>
#include <cstdint>
#include <string>

enum class TileState
{
    Idle,
    WaitingForHandset,
    Signalling, // a handset answered: rate change, its record, the model checks
    Erasing,
    Sending,
    Checking,
    Passed,
    Failed,
    Aborted,
    PortError,
    CheckFixture,
};

// How a state is marked beside its text.
enum class TileTone
{
    Neutral, // idle
    Busy,    // a download runs or a handset is awaited
    Pass,
    Fail,
    Alert, // the operator must look at the fixture
};

TileTone ToneOf(TileState state);
// 0xRRGGBB of a tone: pale fills that keep black text readable.
std::uint32_t ToneColour(TileTone tone);
// The operator's one-line advice for a failure of this class; empty when there is none.
const char* FailureHint(FailureClass failure);

// Failures in a row that take a port out of the loop, unless the station's setting says other.
constexpr unsigned kDefaultFailureStreak = 3;
// A tile is redrawn at most this often, however busy its port.
constexpr std::chrono::milliseconds kTileRedrawPeriod(100);

class CTileModel
{
public:
    using Clock = std::chrono::steady_clock;

    explicit CTileModel(unsigned failureStreak = kDefaultFailureStreak);

    // The operator's Start of this port (or the station's): the counters stay, the streak
    // starts anew.
    void Started();
    void Apply(const PortEvent& event);

    TileState State() const { return m_state; }
    // "Sending block 12 of 70", "PASSED", ...
    std::string StateText() const;
    // "Passed 3   Failed 1"
    std::string CountsText() const;
    // What the tile says as text, a line each: its state, its counts and the last failure's
    // reason if any (the tile's window text: read aloud, and read by tests).
    std::string Summary() const;
    // While a station waits for its next handset the last verdict stays shown with this below.
    bool AwaitingNext() const { return m_awaitingNext; }
    // Whether the port is out of the station's loop until it is started again.
    bool OutOfLoop() const { return m_state == TileState::CheckFixture; }

    const std::string& ProductId() const { return m_productId; }
    const std::string& MobileId() const { return m_mobileId; }
    unsigned Passed() const { return m_passed; }
    unsigned Failures() const { return m_failures; }
    unsigned FirstAttempts() const { return m_firstAttempts; }
    unsigned FirstAttemptPasses() const { return m_firstAttemptPasses; }
    unsigned FailureStreak() const { return m_streak; }
    // The last failure's reason and its hint; empty after a pass.
    const std::string& LastReason() const { return m_lastReason; }
    const char* LastHint() const { return FailureHint(m_lastFailure); }

    // 0 to 100, of every section's blocks.
    unsigned Percent() const;
    double BlocksPerSecond(Clock::time_point now) const;
    // Seconds since the download's stopwatch started, frozen at its end.
    double ElapsedSeconds(Clock::time_point now) const;
    // "1:05"
    std::string ElapsedText(Clock::time_point now) const;

    // Whether the tile should be drawn now: something changed (or its stopwatch runs) and the
    // last draw is at least the redraw period ago. A true answer counts as the draw.
    bool TakeRedraw(Clock::time_point now);

private:
    void Begun();
    void PhaseChanged(PortPhase phase);
    void Ended(const DownloadResult& result);
    // A failure of the unit: counted, and the streak goes on.
    void Failure(const DownloadResult& result, TileState state);

    const unsigned m_failureStreakLimit;
    TileState m_state = TileState::Idle;
    bool m_awaitingNext = false;
    bool m_answered = false; // a handset answered in this download
    std::string m_productId;
    std::string m_mobileId;
    std::string m_lastReason;
    FailureClass m_lastFailure = FailureClass::None;
    // The unit whose download failed last, to tell a retry of it from a new unit.
    std::string m_failedUnit;
    unsigned m_passed = 0;
    unsigned m_failures = 0;
    unsigned m_firstAttempts = 0;
    unsigned m_firstAttemptPasses = 0;
    unsigned m_streak = 0;
    BlockEvent m_block;
    bool m_stopwatchRunning = false;
    Clock::time_point m_stopwatch;
    Clock::time_point m_ended;
    bool m_endedSet = false;
    bool m_dirty = true;
    bool m_drawn = false;
    Clock::time_point m_lastDraw;
};
