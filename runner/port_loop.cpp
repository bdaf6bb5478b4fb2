#include "runner/port_loop.h"

#include <algorithm>
#include <cstring>

namespace
{

// How often a reader that may end without a word is looked at.
constexpr std::chrono::milliseconds kReaderCheckPeriod(20);

const char kEventLostReason[] = "Internal error: out of memory, bytes from the port were lost";

} // namespace

void CPortLoop::ChannelLink::OnChunk(std::size_t count, const std::uint8_t* chunk)
{
    // The Win32 reader reports its empty wake-ups too: they bring nothing.
    if (count == 0)
    {
        return;
    }
    Event event;
    event.kind = Event::Kind::Chunk;
    event.epoch = m_epoch;
    event.count = std::min<std::size_t>(count, sizeof event.bytes);
    std::memcpy(event.bytes, chunk, event.count);
    m_loop.Push(event);
}

void CPortLoop::ChannelLink::ReportFailure(const char* text, const char* caption)
try
{
    std::string line = std::string(caption) + ": " + text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    if (std::strcmp(caption, "TracingThread") == 0)
    {
        // The reader has ended: without it the download would wait for ever.
        Event event;
        event.kind = Event::Kind::PortLost;
        event.epoch = m_epoch;
        const std::size_t size = std::min(line.size(), sizeof event.bytes);
        std::memcpy(event.bytes, line.data(), size);
        event.count = size;
        m_loop.Push(event);
        return;
    }
    // The channel's open runs on the port's own thread.
    m_loop.m_handler.OnOpenFailure(line);
}
catch (const std::exception&)
{
    m_loop.EventLost();
}

CPortLoop::CPortLoop(std::string port, std::string debugLogPath, ChannelOpener opener,
                     ReaderCheck readerCheck, double timeoutSeconds, PortLoopHandler& handler)
    : m_port(std::move(port)), m_debugLogPath(std::move(debugLogPath)), m_opener(std::move(opener)),
      m_readerCheck(std::move(readerCheck)), m_timeoutSeconds(timeoutSeconds), m_handler(handler)
{
}

CPortLoop::~CPortLoop()
{
    CloseChannel();
}

void CPortLoop::Push(const Event& event)
{
    try
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_events.push_back(event);
    }
    catch (const std::exception&)
    {
        // On the reader's thread nothing may be thrown: the port's thread ends the download.
        m_eventLost = true;
    }
    m_wake.notify_all();
}

void CPortLoop::EventLost()
{
    m_eventLost = true;
    m_wake.notify_all();
}

void CPortLoop::RequestStop()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    // A write waiting for a device that takes nothing gives up now, not at its bound.
    std::lock_guard<std::mutex> hold(m_channelLock);
    if (m_channel != nullptr)
    {
        m_channel->Interrupt();
    }
}

void CPortLoop::WaitForStop(Clock::duration span)
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_wake.wait_for(hold, span, [this]() { return m_stopRequested.load(); });
}

void CPortLoop::Begin()
{
    m_running = true;
    m_eventLost = false;
    m_lastActivity = Clock::now();
}

bool CPortLoop::Run()
{
    while (m_running)
    {
        Event event;
        const bool got = Wait(event, NextDeadline());
        if (StopRequested())
        {
            return true;
        }
        if (got)
        {
            Dispatch(event);
        }
        if (m_eventLost && m_running)
        {
            m_handler.OnChannelLost(kEventLostReason);
        }
        CheckReader();
        FireDueTimers();
        CheckWatchdog();
    }
    return false;
}

void CPortLoop::End()
{
    m_running = false;
    CloseChannel();
    for (Timer& timer : m_timers)
    {
        timer.active = false;
    }
}

bool CPortLoop::Wait(Event& event, Clock::time_point deadline)
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_wake.wait_until(hold, deadline,
                      [this]()
                      { return m_stopRequested.load() || m_eventLost || !m_events.empty(); });
    if (m_stopRequested || m_events.empty())
    {
        return false;
    }
    event = m_events.front();
    m_events.pop_front();
    return true;
}

void CPortLoop::Dispatch(const Event& event)
{
    if (event.epoch != m_epoch || !m_running)
    {
        return; // a closed channel's
    }
    if (event.kind == Event::Kind::PortLost)
    {
        m_handler.OnChannelLost(
            std::string(reinterpret_cast<const char*>(event.bytes), event.count));
        return;
    }
    // The reader stores each chunk right after the previous one and wraps by the buffer's rule;
    // every chunk of this channel comes here in order, so the mirror keeps the reader's layout.
    const std::uint32_t index = m_mirrorIndex;
    const std::size_t count = std::min<std::size_t>(event.count, serial::ReadSizeAt(index));
    std::memcpy(m_mirror + index, event.bytes, count);
    m_mirrorIndex = serial::NextWriteIndex(index, static_cast<std::uint32_t>(count));
    m_lastActivity = Clock::now();

    m_current.bufferStart = m_mirror;
    m_current.chunk = m_mirror + index;
    m_current.count = count;
    m_current.endIndex = m_mirrorIndex;
    m_handler.OnBytes(m_current);
}

CPortLoop::Clock::time_point CPortLoop::NextDeadline() const
{
    Clock::time_point next = Clock::now() + std::chrono::hours(1);
    for (const Timer& timer : m_timers)
    {
        if (timer.active)
        {
            next = std::min(next, timer.due);
        }
    }
    if (m_readerCheck)
    {
        next = std::min(next, Clock::now() + kReaderCheckPeriod);
    }
    if (WatchdogArmed())
    {
        next =
            std::min(next, m_lastActivity + std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(m_timeoutSeconds)));
    }
    return next;
}

void CPortLoop::FireDueTimers()
{
    for (unsigned id = kSignalTimer; id <= kLastDownloadTimer && m_running; ++id)
    {
        Timer& timer = m_timers[id];
        const Clock::time_point now = Clock::now();
        if (!timer.active || now < timer.due)
        {
            continue;
        }
        // Like WM_TIMER: a late tick is one tick, never a burst.
        timer.due = now + std::chrono::milliseconds(timer.periodMs);
        m_handler.OnTimerTick(id);
    }
}

bool CPortLoop::WatchdogArmed() const
{
    if (!m_running || m_timeoutSeconds <= 0.0 || m_timers[kGangTimer].active)
    {
        return false;
    }
    return !m_handler.AwaitingHandset();
}

void CPortLoop::CheckWatchdog()
{
    if (WatchdogArmed() &&
        std::chrono::duration<double>(Clock::now() - m_lastActivity).count() >= m_timeoutSeconds)
    {
        m_handler.OnSilence();
    }
}

void CPortLoop::StartTimer(unsigned id, unsigned periodMs)
{
    if (id < sizeof m_timers / sizeof m_timers[0])
    {
        m_timers[id] = Timer{true, periodMs, Clock::now() + std::chrono::milliseconds(periodMs)};
    }
}

void CPortLoop::StopTimer(unsigned id)
{
    if (id < sizeof m_timers / sizeof m_timers[0])
    {
        m_timers[id].active = false;
    }
}

bool CPortLoop::OpenChannel(std::uint32_t baudRate, bool freshBuffer)
{
    CloseChannel();
    ++m_epoch;
    m_baudRate = baudRate;
    if (freshBuffer)
    {
        m_mirrorIndex = 0;
        std::memset(m_mirror, 0, sizeof m_mirror);
    }
    m_link = std::make_unique<ChannelLink>(*this, m_epoch);
    std::unique_ptr<SerialChannel> channel =
        m_opener(m_port, baudRate, m_debugLogPath, *m_link, *m_link);
    std::lock_guard<std::mutex> hold(m_channelLock);
    m_channel = std::move(channel);
    if (m_channel != nullptr && StopRequested())
    {
        m_channel->Interrupt(); // the stop request came while the channel was opening
    }
    return m_channel != nullptr && m_channel->IsOpen();
}

void CPortLoop::CheckReader()
{
    if (!m_readerCheck || !m_running || m_channel == nullptr || !m_channel->IsOpen())
    {
        return;
    }
    // The look costs a system call (under Wine a round trip to its server): once a period, not
    // after every chunk, where it would hold the next block back.
    const Clock::time_point now = Clock::now();
    if (now - m_readerChecked < kReaderCheckPeriod)
    {
        return;
    }
    m_readerChecked = now;
    if (m_readerCheck(*m_channel))
    {
        m_handler.OnReaderEnded();
    }
}

void CPortLoop::CloseChannel()
{
    std::unique_ptr<SerialChannel> channel;
    {
        std::lock_guard<std::mutex> hold(m_channelLock);
        channel = std::move(m_channel);
    }
    // Outside the lock: the close lets the line drain, and a stop request must not wait for it.
    if (channel != nullptr)
    {
        channel->Close();
    }
    m_link.reset();
    // Chunks the closed channel's reader left in the queue are dropped by their epoch.
    ++m_epoch;
}

std::size_t CPortLoop::Write(const std::uint8_t* bytes, std::size_t count)
{
    if (!Writable())
    {
        return 0;
    }
    const std::size_t written = m_channel->Write(bytes, count);
    m_lastActivity = Clock::now();
    return written;
}

void CPortLoop::WriteSignal(const std::uint8_t* bytes, std::size_t count)
{
    if (Writable())
    {
        m_channel->Write(bytes, count);
    }
}

void CPortLoop::Purge()
{
    if (m_channel != nullptr)
    {
        m_channel->Purge();
    }
}
