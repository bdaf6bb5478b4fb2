// One port of the station: its runner on a thread of its own, the queue its events go through,
// and its tile. The window's thread owns it; the port's thread touches only the runner and the
// queue.
#pragma once

#include "runner/journal.h"
#include "runner/port_session.h"
#include "station/port_events.h"
#include "station/tile_model.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

class CStationPort
{
public:
    explicit CStationPort(std::string port);
    ~CStationPort();
    CStationPort(const CStationPort&) = delete;
    CStationPort& operator=(const CStationPort&) = delete;

    const std::string& Name() const { return m_port; }
    CTileModel& Tile() { return m_tile; }
    const CTileModel& Tile() const { return m_tile; }
    // Whether its thread runs (or has ended and waits to be reaped).
    bool Running() const { return m_thread.joinable(); }

    // Starts serving `job`; its lines go to `journal` (none when null) as tile `tile`, which
    // outlives the run. False with `error` when the thread could not start.
    bool Start(const DownloadJob& job, CJournal* journal, unsigned tile, std::string& error);
    // The running download stops as the Stop button does, within a second, and no more come.
    void RequestStop();
    // Moves the port's events into its tile, and joins the thread once it has ended.
    std::vector<PortEvent> TakeEvents();
    // Stops and waits for the thread.
    void StopAndJoin();

private:
    // The station's journal with this tile's number on each line.
    class CTileJournal : public DownloadJournal
    {
    public:
        bool Record(const std::string& port, const DownloadResult& result) override
        {
            return journal->RecordTile(port, tile, result);
        }
        CJournal* journal = nullptr;
        unsigned tile = 0;
    };

    const std::string m_port;
    DownloadJob m_job; // this port's copy, with its own journal
    CTileJournal m_journal;
    CPortEventQueue m_queue; // shared with the port's thread
    CTileModel m_tile;       // the window's thread only
    std::unique_ptr<CPortSession> m_session;
    std::thread m_thread;
    std::atomic<bool> m_ended{false}; // set by the port's thread as it leaves
};
