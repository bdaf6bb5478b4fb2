// A port's events as copies that the station's window thread takes over: each port's runner
// tells its queue on the port's thread, and the window drains every queue on its timer. A port
// never waits for the window, and the window owns nothing of a port's.
#pragma once

#include "runner/port_observer.h"

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

struct PortEvent
{
    using Clock = std::chrono::steady_clock;
    enum class Kind
    {
        Begun,
        Phase,
        Block,
        Handset,
        Stopwatch,
        Ended,
        Failed, // the port's thread ended by a failure of its own
        Journal,
    };
    Kind kind = Kind::Begun;
    Clock::time_point at; // when it happened, on the port's thread
    PortPhase phase = PortPhase::Signalling;
    BlockEvent block;
    std::string productId;
    std::string mobileId;
    DownloadResult result;
    bool journalWritten = false;
};

class CPortEventQueue : public PortObserver
{
public:
    // The window's thread: every event since the last call, in order.
    std::vector<PortEvent> Drain();

    // PortObserver, on the port's thread. Report lines are the port log's business, not the
    // tile's; block events in a row are kept as the last one alone.
    void DownloadBegun() override;
    void PhaseChanged(PortPhase phase) override;
    void ReportLine(ReportKind, const std::string&) override {}
    void BlockProgressed(const BlockEvent& event) override;
    void HandsetIdentified(const std::string& productId, const std::string& mobileId) override;
    void StopwatchRestarted() override;
    void ElapsedTick(const TransferFigures&) override {}
    void TransferEnded(const TransferFigures&) override {}
    void DownloadEnded(const DownloadResult& result) override;
    void PortFailed(const DownloadResult& result) override;
    void JournalWritten(bool written) override;

private:
    void Push(PortEvent event);

    std::mutex m_lock;
    std::vector<PortEvent> m_events; // guarded by m_lock
};
