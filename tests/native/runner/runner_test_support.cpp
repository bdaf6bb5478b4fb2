#include "runner_test_support.h"

namespace runner::test
{

namespace
{
const char* PhaseName(PortPhase phase)
{
    switch (phase)
    {
    case PortPhase::Signalling:
        return "signalling";
    case PortPhase::Identifying:
        return "identifying";
    case PortPhase::Erasing:
        return "erasing";
    case PortPhase::Sending:
        return "sending";
    case PortPhase::Checking:
        break;
    }
    return "checking";
}

const char* StageName(BlockEvent::Stage stage)
{
    switch (stage)
    {
    case BlockEvent::Stage::Ahead:
        return "ahead";
    case BlockEvent::Stage::Read:
        return "read";
    case BlockEvent::Stage::Skipped:
        return "skipped";
    case BlockEvent::Stage::Sent:
        break;
    }
    return "sent";
}
} // namespace

void EventLog::Add(const std::string& event)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_events.push_back(event);
}

int EventLog::Count(const std::string& word) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    int count = 0;
    for (const std::string& event : m_events)
    {
        count += event.compare(0, word.size(), word) == 0 &&
                         (event.size() == word.size() || event[word.size()] == ' ')
                     ? 1
                     : 0;
    }
    return count;
}

std::vector<std::string> EventLog::Events() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_events;
}

std::string EventLog::Text() const
{
    std::string text;
    for (const std::string& event : Events())
    {
        text += event + "\n";
    }
    return text;
}

void EventLog::PhaseChanged(PortPhase phase)
{
    Add(std::string("phase ") + PhaseName(phase));
}

void EventLog::ReportLine(ReportKind kind, const std::string& text)
{
    const char* const word =
        kind == ReportKind::Line ? "line " : (kind == ReportKind::Error ? "error " : "note ");
    Add(word + text);
}

void EventLog::BlockProgressed(const BlockEvent& event)
{
    Add(std::string("block ") + StageName(event.stage) + " " +
        (event.section == Section::LanguagePack ? "lp " : "main ") + std::to_string(event.block) +
        "/" + std::to_string(event.blockCount) + " " + std::to_string(event.blocksDone) + "/" +
        std::to_string(event.blocksTotal));
}

void EventLog::DownloadEnded(const DownloadResult& result)
{
    Add("ended " + std::to_string(result.exitCode) + " " + result.reason);
}

} // namespace runner::test
