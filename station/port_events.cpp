#include "station/port_events.h"

namespace
{
PortEvent Event(PortEvent::Kind kind)
{
    PortEvent event;
    event.kind = kind;
    event.at = PortEvent::Clock::now();
    return event;
}
} // namespace

std::vector<PortEvent> CPortEventQueue::Drain()
{
    std::vector<PortEvent> events;
    std::lock_guard<std::mutex> hold(m_lock);
    events.swap(m_events);
    return events;
}

void CPortEventQueue::Push(PortEvent event)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (event.kind == PortEvent::Kind::Block && !m_events.empty() &&
        m_events.back().kind == PortEvent::Kind::Block)
    {
        // A window that drains ten times a second needs the latest progress only.
        m_events.back() = std::move(event);
        return;
    }
    m_events.push_back(std::move(event));
}

void CPortEventQueue::DownloadBegun()
{
    Push(Event(PortEvent::Kind::Begun));
}

void CPortEventQueue::PhaseChanged(PortPhase phase)
{
    PortEvent event = Event(PortEvent::Kind::Phase);
    event.phase = phase;
    Push(std::move(event));
}

void CPortEventQueue::BlockProgressed(const BlockEvent& block)
{
    PortEvent event = Event(PortEvent::Kind::Block);
    event.block = block;
    Push(std::move(event));
}

void CPortEventQueue::HandsetIdentified(const std::string& productId, const std::string& mobileId)
{
    PortEvent event = Event(PortEvent::Kind::Handset);
    event.productId = productId;
    event.mobileId = mobileId;
    Push(std::move(event));
}

void CPortEventQueue::StopwatchRestarted()
{
    Push(Event(PortEvent::Kind::Stopwatch));
}

void CPortEventQueue::DownloadEnded(const DownloadResult& result)
{
    PortEvent event = Event(PortEvent::Kind::Ended);
    event.result = result;
    Push(std::move(event));
}

void CPortEventQueue::PortFailed(const DownloadResult& result)
{
    PortEvent event = Event(PortEvent::Kind::Failed);
    event.result = result;
    Push(std::move(event));
}

void CPortEventQueue::JournalWritten(bool written)
{
    PortEvent event = Event(PortEvent::Kind::Journal);
    event.journalWritten = written;
    Push(std::move(event));
}
