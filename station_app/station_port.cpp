#include "station_app/station_port.h"

#include "runner/channel_win.h"

#include <windows.h>

namespace
{
// The channel's debug log of each port, in the temporary folder: several ports must not share
// the window's one file.
std::string DebugLogPath(const std::string& port)
{
    char folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof folder, folder);
    std::string name = port;
    for (char& c : name)
    {
        if (c == '\\' || c == '/' || c == ':' || c == '.')
        {
            c = '_';
        }
    }
    return (length > 0 && length < sizeof folder ? std::string(folder) : std::string()) +
           "TervoloStation-" + name + "-debug.log";
}
} // namespace

CStationPort::CStationPort(std::string port) : m_port(std::move(port)) {}

CStationPort::~CStationPort()
{
    StopAndJoin();
}

bool CStationPort::Start(const DownloadJob& job, CJournal* journal, unsigned tile,
                         std::string& error)
{
    if (Running())
    {
        return true;
    }
    m_tile.Started();
    m_ended = false;
    m_job = job;
    m_journal.journal = journal;
    m_journal.tile = tile;
    m_job.journal = journal != nullptr ? &m_journal : nullptr;
    m_session = std::make_unique<CPortSession>(
        m_port, m_job, Win32ChannelOpener(), Win32ReaderEndCheck(), m_queue, DebugLogPath(m_port));
    CPortSession* const session = m_session.get();
    try
    {
        m_thread = std::thread(
            [this, session]()
            {
                session->Run();
                m_ended = true;
            });
    }
    catch (const std::exception& failed)
    {
        error = std::string("Cannot start the port's thread: ") + failed.what();
        m_session.reset();
        return false;
    }
    return true;
}

void CStationPort::RequestStop()
{
    if (m_session != nullptr)
    {
        m_session->RequestStop();
    }
}

std::vector<PortEvent> CStationPort::TakeEvents()
{
    std::vector<PortEvent> events = m_queue.Drain();
    for (const PortEvent& event : events)
    {
        m_tile.Apply(event);
    }
    if (m_ended && m_thread.joinable())
    {
        m_thread.join();
        m_session.reset();
    }
    return events;
}

void CStationPort::StopAndJoin()
{
    RequestStop();
    if (m_thread.joinable())
    {
        m_thread.join();
    }
    m_session.reset();
    m_queue.Drain(); // nobody shows them any more
}
