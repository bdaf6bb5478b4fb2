#include "station_app/station_dlg.h"

#include "framework/file_dialog.h"
#include "runner/sha256.h"
#include "settings/preset_registry.h"
#include "station_app/preset_job_dlg.h"
#include "station_app/preset_source.h"
#include "station_app/station_ids.h"

#include <cstdio>

namespace
{
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshPeriodMs = 100;
constexpr std::size_t kShortShaDigits = 12;

// The tiles' grid, in dialog units.
constexpr int kTilesTop = 68;
constexpr int kTileLeft = 7;
constexpr int kTileWidth = 108;
constexpr int kTileHeight = 104;
constexpr int kTileGap = 4;
constexpr int kButtonHeight = 14;
constexpr int kTilesPerRow = 4;

const char kJobFilter[] = "Job files (*.json)|*.json|All files (*.*)|*.*||";
const char kJobExtension[] = "json"; // added to a name the operator typed without one

std::string FileLine(const char* section, const std::string& path)
{
    std::string sha;
    std::string error;
    if (!Sha256OfFile(path, sha, error))
    {
        return std::string(section) + ": " + path + " (cannot be read)";
    }
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    const unsigned long long size =
        GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)
            ? (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow
            : 0;
    char line[64];
    std::snprintf(line, sizeof line, " %llu bytes, SHA-256 ", size);
    return std::string(section) + ": " + path + line + sha.substr(0, kShortShaDigits);
}
} // namespace

CStationDlg::CStationDlg(std::string jobPath, bool locked)
    : CDialog(IDD_STATION), m_jobPath(std::move(jobPath)), m_locked(locked)
{
}

CStationDlg::CStationDlg(std::string preset, std::vector<std::string> ports)
    : CDialog(IDD_STATION), m_jobPath(std::move(preset)), m_locked(true), m_fromPreset(true),
      m_presetPorts(std::move(ports))
{
}

CStationDlg::~CStationDlg() = default;

const MessageMap& CStationDlg::GetMessageMap() const
{
    using D = CStationDlg;
    static const MessageEntry kEntries[] = {
        On::Clicked<&D::OnOpenJob>(IDC_OPEN_JOB),
        On::Clicked<&D::OnSaveJob>(IDC_SAVE_JOB),
        On::Clicked<&D::OnPresetJob>(IDC_PRESET_JOB),
        On::Clicked<&D::OnStartStation>(IDC_START_STATION),
        On::Clicked<&D::OnStopStation>(IDC_STOP_STATION),
        On::Clicked<&D::OnTileStart<0>>(IDC_TILE_START_FIRST + 0),
        On::Clicked<&D::OnTileStart<1>>(IDC_TILE_START_FIRST + 1),
        On::Clicked<&D::OnTileStart<2>>(IDC_TILE_START_FIRST + 2),
        On::Clicked<&D::OnTileStart<3>>(IDC_TILE_START_FIRST + 3),
        On::Clicked<&D::OnTileStart<4>>(IDC_TILE_START_FIRST + 4),
        On::Clicked<&D::OnTileStart<5>>(IDC_TILE_START_FIRST + 5),
        On::Clicked<&D::OnTileStart<6>>(IDC_TILE_START_FIRST + 6),
        On::Clicked<&D::OnTileStart<7>>(IDC_TILE_START_FIRST + 7),
        On::Clicked<&D::OnTileStop<0>>(IDC_TILE_STOP_FIRST + 0),
        On::Clicked<&D::OnTileStop<1>>(IDC_TILE_STOP_FIRST + 1),
        On::Clicked<&D::OnTileStop<2>>(IDC_TILE_STOP_FIRST + 2),
        On::Clicked<&D::OnTileStop<3>>(IDC_TILE_STOP_FIRST + 3),
        On::Clicked<&D::OnTileStop<4>>(IDC_TILE_STOP_FIRST + 4),
        On::Clicked<&D::OnTileStop<5>>(IDC_TILE_STOP_FIRST + 5),
        On::Clicked<&D::OnTileStop<6>>(IDC_TILE_STOP_FIRST + 6),
        On::Clicked<&D::OnTileStop<7>>(IDC_TILE_STOP_FIRST + 7),
        On::Timer<&D::OnTimer>(),
        On::Message<&D::OnDrawItem>(WM_DRAWITEM),
    };
    static_assert(kMaxTiles == 8, "a Start and a Stop row for each tile");
    static const MessageMap kMap{kEntries, std::size(kEntries), &CDialog::GetMessageMap()};
    return kMap;
}

BOOL CStationDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    EnableWindow(GetDlgItem(IDC_OPEN_JOB), m_locked ? FALSE : TRUE);
    EnableWindow(GetDlgItem(IDC_SAVE_JOB), m_locked ? FALSE : TRUE);
    EnableWindow(GetDlgItem(IDC_PRESET_JOB), m_locked ? FALSE : TRUE);
    if (m_fromPreset)
    {
        OpenPreset();
    }
    else if (!m_jobPath.empty())
    {
        OpenJob(m_jobPath);
    }
    ShowHeader();
    SetTimer(m_hWnd, kRefreshTimer, kRefreshPeriodMs, nullptr);
    return TRUE;
}

void CStationDlg::OnCancel()
{
    if (AnyRunning() &&
        ShowMessageBox("Ports are still running.\nStop them all and close the station?",
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
    {
        return;
    }
    KillTimer(m_hWnd, kRefreshTimer);
    for (const std::unique_ptr<CStationPort>& port : m_ports)
    {
        port->RequestStop(); // all at once: each reaches its port within a second
    }
    for (const std::unique_ptr<CStationPort>& port : m_ports)
    {
        port->StopAndJoin();
    }
    EndDialog(IDCANCEL);
}

void CStationDlg::OnOpenJob()
{
    if (m_locked || AnyRunning())
    {
        ShowMessageBox("Stop the station before opening another job.");
        return;
    }
    CFileDialog dialog(true, kJobFilter, m_hWnd);
    if (dialog.DoModal())
    {
        OpenJob(dialog.GetPathName());
    }
}

void CStationDlg::OnPresetJob()
{
    if (m_locked || AnyRunning())
    {
        ShowMessageBox("Stop the station before opening another job.");
        return;
    }
    CPresetJobDlg dialog(m_hWnd);
    if (dialog.DoModal() != IDOK)
    {
        return;
    }
    const std::string previous = m_jobPath;
    const bool previousFromPreset = m_fromPreset;
    m_jobPath = dialog.Preset();
    m_presetPorts = dialog.Ports();
    m_fromPreset = true;
    if (!OpenPreset())
    {
        m_jobPath = previous; // the job shown stays
        m_fromPreset = previousFromPreset;
    }
}

void CStationDlg::OnSaveJob()
{
    if (m_locked || !m_jobOpen)
    {
        ShowMessageBox("Open a job before saving it.");
        return;
    }
    CFileDialog dialog(false, kJobFilter, m_hWnd);
    dialog.m_ofn.lpstrDefExt = kJobExtension;
    dialog.SetPathName(m_jobPath.c_str());
    if (!dialog.DoModal())
    {
        return;
    }
    std::string error;
    if (!WriteJobFile(dialog.GetPathName(), m_job, error))
    {
        ShowMessageBox(error.c_str(), MB_OK | MB_ICONSTOP);
        return;
    }
    m_jobPath = dialog.GetPathName(); // the job shown is now that file's, a preset's too
    m_fromPreset = false;
    ShowHeader();
}

bool CStationDlg::OpenJob(const std::string& path)
{
    JobFile job;
    std::string error;
    if (!ReadJobFile(path, job, error))
    {
        ShowMessageBox(error.c_str(), MB_OK | MB_ICONSTOP);
        return false;
    }
    if (!UseJob(job, path))
    {
        return false;
    }
    m_fromPreset = false;
    ShowHeader();
    return true;
}

bool CStationDlg::OpenPreset()
try
{
    JobFile job;
    std::string error;
    if (!JobFromPreset(m_jobPath, StoredPreset(m_jobPath), m_presetPorts, job, error))
    {
        ShowMessageBox(error.c_str(), MB_OK | MB_ICONSTOP);
        return false;
    }
    return UseJob(job, m_jobPath);
}
catch (const PresetListFailure& failure)
{
    ShowMessageBox(failure.what(), MB_OK | MB_ICONSTOP);
    return false;
}

bool CStationDlg::UseJob(const JobFile& job, const std::string& source)
{
    if (job.ports.empty() || job.ports.size() > kMaxTiles)
    {
        ShowMessageBox("A station's job names one to eight \"ports\".", MB_OK | MB_ICONSTOP);
        return false;
    }
    if (job.gangMode)
    {
        ShowMessageBox("Gang Mode serves several handsets on one port: a station does not take "
                       "it (\"gang\").",
                       MB_OK | MB_ICONSTOP);
        return false;
    }
    if (job.model.empty() || !(job.mainCode || job.languagePack))
    {
        ShowMessageBox("A station's job names its \"model\" and at least one file.",
                       MB_OK | MB_ICONSTOP);
        return false;
    }
    m_job = job;
    m_jobPath = source;
    m_jobOpen = true;
    MakeTiles();
    m_started = Clock::time_point(); // a new job's totals start at its first Start
    m_journalCount = CJournalCount();
    ShowHeader();
    return true;
}

bool CStationDlg::PrepareDownload()
{
    if (AnyRunning())
    {
        return true; // the running ports' job stands
    }
    std::string error;
    DownloadJob download;
    if (!LoadJob(m_job, download, error))
    {
        ShowMessageBox(error.c_str(), MB_OK | MB_ICONSTOP);
        return false;
    }
    download.station = true; // each port goes on to the next handset
    // A line that cannot keep its journal must not flash.
    std::unique_ptr<CJournal> journal;
    if (!m_job.journalPath.empty())
    {
        journal = CJournal::Open(JournalSetup{m_job.journalPath, m_job.model, m_job.bootCode,
                                              m_job.mainCode ? m_job.imagePath : std::string(),
                                              m_job.languagePack ? m_job.lpPath : std::string()},
                                 error);
        if (journal == nullptr)
        {
            ShowMessageBox(error.c_str(), MB_OK | MB_ICONSTOP);
            return false;
        }
    }
    m_download = std::move(download);
    m_journal = std::move(journal);
    m_journalCount = CJournalCount();
    return true;
}

void CStationDlg::OnStartStation()
{
    if (!m_jobOpen || !PrepareDownload())
    {
        return;
    }
    for (unsigned tile = 0; tile < m_ports.size(); ++tile)
    {
        StartTile(tile);
    }
}

void CStationDlg::OnStopStation()
{
    for (const std::unique_ptr<CStationPort>& port : m_ports)
    {
        port->RequestStop();
    }
}

void CStationDlg::StartTile(unsigned tile)
{
    if (tile >= m_ports.size() || m_ports[tile]->Running() || !PrepareDownload())
    {
        return;
    }
    if (m_started == Clock::time_point())
    {
        m_started = Clock::now(); // the totals count from the first Start on
    }
    std::string error;
    if (!m_ports[tile]->Start(m_download, m_journal.get(), tile + 1, error))
    {
        ShowMessageBox(error.c_str(), MB_OK | MB_ICONSTOP);
    }
    Refresh();
}

void CStationDlg::StopTile(unsigned tile)
{
    if (tile < m_ports.size())
    {
        m_ports[tile]->RequestStop();
    }
}

bool CStationDlg::AnyRunning() const
{
    for (const std::unique_ptr<CStationPort>& port : m_ports)
    {
        if (port->Running())
        {
            return true;
        }
    }
    return false;
}

void CStationDlg::DestroyTiles()
{
    for (HWND window : m_tileWindows)
    {
        DestroyWindow(window);
    }
    m_tileWindows.clear();
    m_tileTexts.clear();
    m_ports.clear();
}

void CStationDlg::MakeTiles()
{
    DestroyTiles();
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    const HFONT font = reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    for (unsigned tile = 0; tile < m_job.ports.size(); ++tile)
    {
        m_ports.push_back(std::make_unique<CStationPort>(m_job.ports[tile]));
        const int left =
            kTileLeft + static_cast<int>(tile % kTilesPerRow) * (kTileWidth + kTileGap);
        const int top = kTilesTop + static_cast<int>(tile / kTilesPerRow) *
                                        (kTileHeight + kButtonHeight + 2 * kTileGap);
        RECT box = {left, top, left + kTileWidth, top + kTileHeight};
        RECT start = {left, top + kTileHeight + 2, left + kTileWidth / 2 - 1,
                      top + kTileHeight + 2 + kButtonHeight};
        RECT stop = {left + kTileWidth / 2 + 1, start.top, left + kTileWidth, start.bottom};
        MapDialogRect(m_hWnd, &box);
        MapDialogRect(m_hWnd, &start);
        MapDialogRect(m_hWnd, &stop);
        const auto make =
            [&](const char* cls, const char* text, DWORD style, const RECT& at, int id)
        {
            const HWND window = CreateWindowExA(
                0, cls, text, WS_CHILD | WS_VISIBLE | style, at.left, at.top, at.right - at.left,
                at.bottom - at.top, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                instance, nullptr);
            SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            m_tileWindows.push_back(window);
        };
        const std::string summary = m_ports.back()->Tile().Summary();
        make("STATIC", summary.c_str(), SS_OWNERDRAW, box, IDC_TILE_FIRST + static_cast<int>(tile));
        make("BUTTON", "Start", BS_PUSHBUTTON | WS_TABSTOP, start,
             IDC_TILE_START_FIRST + static_cast<int>(tile));
        make("BUTTON", "Stop", BS_PUSHBUTTON | WS_TABSTOP, stop,
             IDC_TILE_STOP_FIRST + static_cast<int>(tile));
        m_tileTexts.push_back(summary);
    }
}

void CStationDlg::ShowText(int id, const std::string& text)
{
    char shown[512] = {};
    GetWindowTextA(GetDlgItem(id), shown, sizeof shown);
    if (text != shown)
    {
        SetWindowTextA(GetDlgItem(id), text.c_str());
    }
}

void CStationDlg::ShowHeader()
{
    if (!m_jobOpen)
    {
        ShowText(IDC_JOB_TEXT, "No job: open one (a JSON job file, as tervolo-cli --job reads)");
        return;
    }
    char rate[32];
    std::snprintf(rate, sizeof rate, "%u baud", static_cast<unsigned>(m_job.baudRate));
    std::string sections;
    sections += m_job.bootCode ? "boot " : "";
    sections += m_job.mainCode ? "main " : "";
    sections += m_job.languagePack ? "lp " : "";
    ShowText(IDC_JOB_TEXT, (m_fromPreset ? "Preset " : "Job ") + m_jobPath + ": " + m_job.model +
                               ", " + rate + ", " + sections +
                               (m_job.yes ? "(questions: Yes)" : "(questions: No)") +
                               (m_locked ? ", locked" : ""));
    std::string files;
    if (m_job.mainCode)
    {
        files += FileLine("Image", m_job.imagePath);
    }
    if (m_job.languagePack)
    {
        files += (files.empty() ? "" : "\n") + FileLine("Language pack", m_job.lpPath);
    }
    ShowText(IDC_FILES_TEXT, files);
    ShowJournal();
}

void CStationDlg::OnTimer(UINT_PTR timerId)
{
    if (timerId != kRefreshTimer)
    {
        SetMsgHandled(false);
        return;
    }
    Refresh();
}

void CStationDlg::Refresh()
{
    const Clock::time_point now = Clock::now();
    std::vector<const CTileModel*> tiles;
    for (unsigned tile = 0; tile < m_ports.size(); ++tile)
    {
        CStationPort& port = *m_ports[tile];
        for (const PortEvent& event : port.TakeEvents())
        {
            m_journalCount.Apply(event);
        }
        // Three failures in a row: the port leaves the loop until the operator starts it.
        if (port.Tile().OutOfLoop() && port.Running())
        {
            port.RequestStop();
        }
        tiles.push_back(&port.Tile());
        // What the tile shows as its text too: read aloud, and read by tests.
        const std::string text = port.Tile().Summary();
        if (text != m_tileTexts[tile])
        {
            m_tileTexts[tile] = text;
            SetWindowTextA(GetDlgItem(IDC_TILE_FIRST + static_cast<int>(tile)), text.c_str());
        }
        if (port.Tile().TakeRedraw(now))
        {
            InvalidateRect(GetDlgItem(IDC_TILE_FIRST + static_cast<int>(tile)), nullptr, FALSE);
        }
    }
    if (m_started != Clock::time_point())
    {
        ShowText(IDC_TOTALS_TEXT, TotalsText(TotalsOf(tiles, m_started, now)));
    }
    ShowJournal();
}

void CStationDlg::ShowJournal()
{
    if (!m_jobOpen || m_job.journalPath.empty())
    {
        ShowText(IDC_JOURNAL_TEXT, "Journal: none");
        return;
    }
    char counts[96];
    std::snprintf(counts, sizeof counts, ": %u lines written", m_journalCount.Written());
    std::string text = "Journal " + m_job.journalPath + counts;
    if (m_journalCount.Failed() > 0)
    {
        std::snprintf(counts, sizeof counts, ", %u COULD NOT BE WRITTEN", m_journalCount.Failed());
        text += counts;
    }
    ShowText(IDC_JOURNAL_TEXT, text);
}

LRESULT CStationDlg::OnDrawItem(WPARAM wParam, LPARAM lParam)
{
    const DRAWITEMSTRUCT* const item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    const unsigned tile = static_cast<unsigned>(wParam) - IDC_TILE_FIRST;
    if (item == nullptr || wParam < IDC_TILE_FIRST || tile >= m_ports.size())
    {
        SetMsgHandled(false);
        return FALSE;
    }
    m_painter.Paint(item->hDC, item->rcItem, m_ports[tile]->Name(), m_ports[tile]->Tile(),
                    Clock::now());
    return TRUE;
}
