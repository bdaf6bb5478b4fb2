// An observer of a port's runner that writes down every event as a short line, for tests to
// count and read after the port's thread has ended (or while it runs: it locks).
#pragma once

#include "runner/port_observer.h"

#include <mutex>
#include <string>
#include <vector>

namespace runner::test
{

class EventLog : public PortObserver
{
public:
    // How many events start with `word` ("begun", "phase", "line", "error", "note", "block",
    // "handset", "stopwatch", "tick", "transfer", "ended", "failed", "journal").
    int Count(const std::string& word) const;
    // Every event, a line each.
    std::string Text() const;
    std::vector<std::string> Events() const;

    void DownloadBegun() override { Add("begun"); }
    void PhaseChanged(PortPhase phase) override;
    void ReportLine(ReportKind kind, const std::string& text) override;
    void BlockProgressed(const BlockEvent& event) override;
    void HandsetIdentified(const std::string& productId, const std::string& mobileId) override
    {
        Add("handset " + productId + " " + mobileId);
    }
    void StopwatchRestarted() override { Add("stopwatch"); }
    void ElapsedTick(const TransferFigures&) override { Add("tick"); }
    void TransferEnded(const TransferFigures& transfer) override
    {
        Add("transfer " + std::to_string(transfer.blocksSent));
    }
    void DownloadEnded(const DownloadResult& result) override;
    void PortFailed(const DownloadResult& result) override { Add("failed " + result.reason); }
    void JournalWritten(bool written) override { Add(written ? "journal ok" : "journal failed"); }

private:
    void Add(const std::string& event);

    mutable std::mutex m_lock;
    std::vector<std::string> m_events; // guarded by m_lock
};

} // namespace runner::test
