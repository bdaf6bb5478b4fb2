// The station window: one job, a tile per port (one to eight), Start and Stop for the station
// and for each port. It is a router: each port lives in its CStationPort, each tile's content in
// its model; the window drains the ports' events and redraws on a timer, ten times a second.
#pragma once

#include "framework/dialog.h"
#include "runner/download_job.h"
#include "runner/job_file.h"
#include "station/station_totals.h"
#include "station_app/station_port.h"
#include "station_app/tile_painter.h"

#include <memory>
#include <string>
#include <vector>

constexpr unsigned kMaxTiles = 8;

class CStationDlg : public CDialog
{
public:
    // jobPath: the job to load at once (empty: none); locked: only Start and Stop work.
    CStationDlg(std::string jobPath, bool locked);
    // The job of a stored preset on these ports, locked.
    CStationDlg(std::string preset, std::vector<std::string> ports);
    ~CStationDlg() override;

protected:
    const MessageMap& GetMessageMap() const override;
    BOOL OnInitDialog() override;
    // The close box: with ports running, asks first, then stops them all.
    void OnCancel() override;
    void OnOK() override {} // Enter starts and ends nothing

private:
    using Clock = CTileModel::Clock;

    void OnOpenJob();
    // A stored preset on ports the operator picks.
    void OnPresetJob();
    // Writes the open job to a job file of the operator's choice.
    void OnSaveJob();
    void OnStartStation();
    void OnStopStation();
    template <unsigned Tile> void OnTileStart() { StartTile(Tile); }
    template <unsigned Tile> void OnTileStop() { StopTile(Tile); }
    void OnTimer(UINT_PTR timerId);
    LRESULT OnDrawItem(WPARAM wParam, LPARAM lParam);

    // Reads the job and makes its tiles; a message names what is wrong.
    bool OpenJob(const std::string& path);
    // The same from the stored preset and ports given on the command line.
    bool OpenPreset();
    // Takes a job read from `source` (a file's path, or the preset's name) if a station runs it.
    bool UseJob(const JobFile& job, const std::string& source);
    // The job's files read and approved, once for every port that starts while none runs.
    bool PrepareDownload();
    void StartTile(unsigned tile);
    void StopTile(unsigned tile);
    void MakeTiles();
    void DestroyTiles();
    void ShowHeader();
    void ShowJournal();
    void Refresh();
    bool AnyRunning() const;
    void ShowText(int id, const std::string& text);

    std::string m_jobPath; // or the preset's name, with m_fromPreset
    const bool m_locked;
    bool m_fromPreset = false;
    std::vector<std::string> m_presetPorts;
    JobFile m_job;
    bool m_jobOpen = false;
    DownloadJob m_download; // read by every running port: replaced only while none runs
    std::unique_ptr<CJournal> m_journal; // the job's, while its ports may write to it
    std::vector<std::unique_ptr<CStationPort>> m_ports;
    std::vector<HWND> m_tileWindows;      // tile, Start, Stop of each port in turn
    std::vector<std::string> m_tileTexts; // what each tile's window text says now
    CTilePainter m_painter;
    CJournalCount m_journalCount;
    Clock::time_point m_started;
};
