#include "station/tile_model.h"

#include "runner/exit_codes.h"

#include <cstdio>

namespace
{
constexpr unsigned kPercentAll = 100;
constexpr long kSecondsPerMinute = 60;
} // namespace

TileTone ToneOf(TileState state)
{
    switch (state)
    {
    case TileState::Idle:
        return TileTone::Neutral;
    case TileState::WaitingForHandset:
    case TileState::Signalling:
    case TileState::Erasing:
    case TileState::Sending:
    case TileState::Checking:
        return TileTone::Busy;
    case TileState::Passed:
        return TileTone::Pass;
    case TileState::Failed:
    case TileState::Aborted:
    case TileState::PortError:
        return TileTone::Fail;
    case TileState::CheckFixture:
        break;
    }
    return TileTone::Alert;
}

std::uint32_t ToneColour(TileTone tone)
{
    switch (tone)
    {
    case TileTone::Neutral:
        return 0xE8E8E8;
    case TileTone::Busy:
        return 0xCFE2F7;
    case TileTone::Pass:
        return 0xB9EBB9;
    case TileTone::Fail:
        return 0xF5B5B5;
    case TileTone::Alert:
        break;
    }
    return 0xFFD27F;
}

const char* FailureHint(FailureClass failure)
{
    switch (failure)
    {
    case FailureClass::NoAnswer:
        return "No answer: seat the handset and check the cable.";
    case FailureClass::ModelMismatch:
        return "Model mismatch: wrong firmware for this handset.";
    case FailureClass::ChecksumMismatch:
        return "Checksums disagree: reject the unit.";
    case FailureClass::PortError:
        return "Port error: check the adapter.";
    case FailureClass::None:
    case FailureClass::Stopped:
    case FailureClass::Other:
        break;
    }
    return "";
}

CTileModel::CTileModel(unsigned failureStreak) : m_failureStreakLimit(failureStreak) {}

void CTileModel::Started()
{
    m_streak = 0;
    m_state = TileState::Idle;
    m_awaitingNext = false;
    m_dirty = true;
}

void CTileModel::Apply(const PortEvent& event)
{
    m_dirty = true;
    switch (event.kind)
    {
    case PortEvent::Kind::Begun:
        Begun();
        break;
    case PortEvent::Kind::Phase:
        PhaseChanged(event.phase);
        break;
    case PortEvent::Kind::Block:
        m_block = event.block;
        break;
    case PortEvent::Kind::Handset:
        m_productId = event.productId;
        m_mobileId = event.mobileId;
        break;
    case PortEvent::Kind::Stopwatch:
        m_stopwatchRunning = true;
        m_endedSet = false;
        m_stopwatch = event.at;
        break;
    case PortEvent::Kind::Ended:
        m_ended = event.at;
        m_endedSet = true;
        Ended(event.result);
        break;
    case PortEvent::Kind::Failed:
        m_answered = false;
        Failure(event.result, TileState::Aborted);
        m_awaitingNext = false;
        break;
    case PortEvent::Kind::Journal:
        m_dirty = false; // the header's business
        break;
    }
}

void CTileModel::Begun()
{
    m_answered = false;
    m_block = BlockEvent();
    m_stopwatchRunning = false;
    m_endedSet = false;
    switch (m_state)
    {
    case TileState::Passed:
    case TileState::Failed:
    case TileState::Aborted:
    case TileState::PortError:
        m_awaitingNext = true; // the verdict stays until the next handset answers
        break;
    default:
        m_state = TileState::WaitingForHandset;
        break;
    }
}

void CTileModel::PhaseChanged(PortPhase phase)
{
    switch (phase)
    {
    case PortPhase::Signalling:
        return;
    case PortPhase::Identifying:
        m_state = TileState::Signalling;
        m_awaitingNext = false;
        m_answered = true;
        m_productId.clear();
        m_mobileId.clear();
        return;
    case PortPhase::Erasing:
        m_state = TileState::Erasing;
        return;
    case PortPhase::Sending:
        m_state = TileState::Sending;
        return;
    case PortPhase::Checking:
        break;
    }
    m_state = TileState::Checking;
}

void CTileModel::Ended(const DownloadResult& result)
{
    if (result.failure == FailureClass::Stopped && !m_answered)
    {
        // Stopped while waiting for a handset: no unit was touched.
        m_state = TileState::Idle;
        m_awaitingNext = false;
        return;
    }
    m_awaitingNext = false;
    if (m_answered)
    {
        // A unit that failed here last and is seated again is a retry, not a first attempt.
        const std::string unit = m_productId + "/" + m_mobileId;
        const bool retry = !m_productId.empty() && unit == m_failedUnit;
        if (!retry)
        {
            ++m_firstAttempts;
            m_firstAttemptPasses += result.exitCode == kExitSuccess ? 1 : 0;
        }
        m_failedUnit = result.exitCode == kExitSuccess ? std::string() : unit;
    }
    switch (result.exitCode)
    {
    case kExitSuccess:
        m_state = TileState::Passed;
        ++m_passed;
        m_streak = 0;
        m_lastReason.clear();
        m_lastFailure = FailureClass::None;
        return;
    case kExitVerdictFailed:
        Failure(result, TileState::Failed);
        return;
    case kExitPortError:
        Failure(result, TileState::PortError);
        return;
    default:
        Failure(result, TileState::Aborted);
        return;
    }
}

void CTileModel::Failure(const DownloadResult& result, TileState state)
{
    m_state = state;
    ++m_failures;
    m_lastReason = result.reason;
    m_lastFailure = result.failure;
    // The operator's own stop says nothing of the fixture.
    if (result.failure == FailureClass::Stopped)
    {
        return;
    }
    if (++m_streak >= m_failureStreakLimit)
    {
        m_state = TileState::CheckFixture;
    }
}

std::string CTileModel::StateText() const
{
    switch (m_state)
    {
    case TileState::Idle:
        return "Idle";
    case TileState::WaitingForHandset:
        return "Waiting for handset";
    case TileState::Signalling:
        return "Signalling";
    case TileState::Erasing:
        return "Erasing";
    case TileState::Sending:
        return "Sending block " + std::to_string(m_block.blocksDone) + " of " +
               std::to_string(m_block.blocksTotal);
    case TileState::Checking:
        return "Checking";
    case TileState::Passed:
        return "PASSED";
    case TileState::Failed:
        return "FAILED";
    case TileState::Aborted:
        return "ABORTED";
    case TileState::PortError:
        return "Port error";
    case TileState::CheckFixture:
        break;
    }
    return "Check fixture";
}

std::string CTileModel::CountsText() const
{
    return "Passed " + std::to_string(m_passed) + "   Failed " + std::to_string(m_failures);
}

std::string CTileModel::Summary() const
{
    std::string text = StateText() + "\n" + CountsText();
    return m_lastReason.empty() ? text : text + "\n" + m_lastReason;
}

unsigned CTileModel::Percent() const
{
    if (m_block.blocksTotal == 0)
    {
        return 0;
    }
    return static_cast<unsigned>(m_block.blocksDone * kPercentAll / m_block.blocksTotal);
}

double CTileModel::BlocksPerSecond(Clock::time_point now) const
{
    return ::BlocksPerSecond(m_block.transfer, m_endedSet ? m_ended : now);
}

double CTileModel::ElapsedSeconds(Clock::time_point now) const
{
    if (!m_stopwatchRunning)
    {
        return 0.0;
    }
    return std::chrono::duration<double>((m_endedSet ? m_ended : now) - m_stopwatch).count();
}

std::string CTileModel::ElapsedText(Clock::time_point now) const
{
    const long seconds = static_cast<long>(ElapsedSeconds(now));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", seconds / kSecondsPerMinute,
                  seconds % kSecondsPerMinute);
    return text;
}

bool CTileModel::TakeRedraw(Clock::time_point now)
{
    // A running stopwatch changes the tile without an event.
    const bool ticking = m_stopwatchRunning && !m_endedSet;
    if (!(m_dirty || ticking) || (m_drawn && now - m_lastDraw < kTileRedrawPeriod))
    {
        return false;
    }
    m_dirty = false;
    m_drawn = true;
    m_lastDraw = now;
    return true;
}
