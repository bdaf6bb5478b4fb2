// What a download shows in the main window: the report, the bars and their boxes, the time, the
// locked settings, the Start picture, boxes and timers.
#include "app/downloader_dlg.h"

#include "app/settings_controls.h"
#include "framework/message_box.h"

#include <cstdio>
#include <cstring>

namespace
{
// The operator cannot follow more changes a second than this allows; drawing every block's would
// cost more than the block itself where the controls repaint at once (as Wine's do), and would
// hold the next block back.
constexpr UINT kProgressDrawPeriodMs = 50;
} // namespace

void CDownloaderDlg::AddReportLine(const char* text)
{
    // A new step shows the transfer's last state first.
    DrawProgress();
    m_reportList.AddString(text);
    // Selecting the newest line also scrolls it into view.
    m_reportList.SetCurSel(m_reportList.GetCount() - 1);
}

void CDownloaderDlg::ReplaceLastReportLine(const char* text)
{
    // The text changes at once; only its drawing waits.
    if (!m_reportRedrawHeld)
    {
        ::SendMessageA(m_reportList.GetSafeHwnd(), WM_SETREDRAW, FALSE, 0);
        m_reportRedrawHeld = true;
    }
    m_reportList.DeleteString(m_reportList.GetCount() - 1);
    m_reportList.AddString(text);
    m_reportList.SetCurSel(m_reportList.GetCount() - 1);
    ProgressChanged();
}

void CDownloaderDlg::ClearReport()
{
    DrawProgress();
    m_reportList.ResetContent();
}

void CDownloaderDlg::ProgressChanged()
{
    if (m_progressTimerSet)
    {
        return;
    }
    const ULONGLONG since = GetTickCount64() - m_progressDrawnMs;
    const UINT wait = since >= kProgressDrawPeriodMs
                          ? USER_TIMER_MINIMUM
                          : static_cast<UINT>(kProgressDrawPeriodMs - since);
    m_progressTimerSet = SetTimer(m_hWnd, kProgressDrawTimer, wait, nullptr) != 0;
    if (!m_progressTimerSet)
    {
        DrawProgress();
    }
}

void CDownloaderDlg::DrawProgress()
{
    if (m_progressTimerSet)
    {
        KillTimer(m_hWnd, kProgressDrawTimer);
        m_progressTimerSet = false;
    }
    m_progressDrawnMs = GetTickCount64();
    for (ProgressBar bar :
         {ProgressBar::BootCode, ProgressBar::MainCode, ProgressBar::LanguagePack})
    {
        ShownBar& shown = m_shownBars[static_cast<int>(bar)];
        if (shown.pending)
        {
            shown.pending = false;
            shown.filled = FilledPixels(shown.position, shown.lower, shown.upper, shown.width);
            Bar(bar).SetPos(shown.position);
        }
        ShownPercent& percent = m_shownPercent[static_cast<int>(bar)];
        if (percent.pending)
        {
            percent.pending = false;
            CListBoxCtl& box = PercentBox(bar);
            box.DeleteString(0);
            box.AddString(percent.text.c_str());
        }
    }
    if (m_reportRedrawHeld)
    {
        m_reportRedrawHeld = false;
        ::SendMessageA(m_reportList.GetSafeHwnd(), WM_SETREDRAW, TRUE, 0);
        InvalidateRect(m_reportList.GetSafeHwnd(), nullptr, TRUE);
    }
}

CProgressCtl& CDownloaderDlg::Bar(ProgressBar bar)
{
    switch (bar)
    {
    case ProgressBar::LanguagePack:
        return m_languagePackProgress;
    case ProgressBar::MainCode:
        return m_mainCodeProgress;
    case ProgressBar::BootCode:
        break;
    }
    return m_bootCodeProgress;
}

CListBoxCtl& CDownloaderDlg::PercentBox(ProgressBar bar)
{
    switch (bar)
    {
    case ProgressBar::LanguagePack:
        return m_languagePackPercent;
    case ProgressBar::MainCode:
        return m_mainCodePercent;
    case ProgressBar::BootCode:
        break;
    }
    return m_bootCodePercent;
}

void CDownloaderDlg::SetProgressRange(ProgressBar bar, std::uint16_t lower, std::uint16_t upper)
{
    DrawProgress();
    CProgressCtl& control = Bar(bar);
    control.SetRange(lower, upper);
    RECT client = {};
    GetClientRect(control.GetSafeHwnd(), &client);
    ShownBar& shown = m_shownBars[static_cast<int>(bar)];
    shown.lower = lower;
    shown.upper = upper;
    shown.width = client.right - client.left;
    shown.filled = -1; // the next position is drawn whatever it fills
}

void CDownloaderDlg::SetProgress(ProgressBar bar, int position)
{
    // The bar redraws itself at once on every new position, which costs more than the rest of a
    // block's handling together; a position that fills no new pixel is not worth it.
    ShownBar& shown = m_shownBars[static_cast<int>(bar)];
    const int filled = FilledPixels(position, shown.lower, shown.upper, shown.width);
    if (filled == shown.filled && !shown.pending)
    {
        return;
    }
    shown.position = position;
    shown.pending = filled != shown.filled;
    if (shown.pending)
    {
        ProgressChanged();
    }
}

void CDownloaderDlg::ShowPercent(ProgressBar bar, const char* text)
{
    // The percentage changes once in many blocks; the box is rewritten only then.
    ShownPercent& shown = m_shownPercent[static_cast<int>(bar)];
    if (std::strcmp(shown.text.c_str(), text) == 0)
    {
        return;
    }
    std::snprintf(shown.text.text, sizeof shown.text.text, "%s", text);
    shown.pending = true;
    ProgressChanged();
}

void CDownloaderDlg::ResetProgress()
{
    DrawProgress();
    for (ProgressBar bar :
         {ProgressBar::BootCode, ProgressBar::MainCode, ProgressBar::LanguagePack})
    {
        CListBoxCtl& box = PercentBox(bar);
        box.ResetContent();
        box.AddString("0%");
        box.SetCurSel(0);
    }
    for (ProgressBar bar :
         {ProgressBar::LanguagePack, ProgressBar::MainCode, ProgressBar::BootCode})
    {
        Bar(bar).SetPos(0);
    }
}

void CDownloaderDlg::ShowDownloadTime(const char* text)
{
    DrawProgress();
    m_downloadTimeBox.DeleteString(0);
    m_downloadTimeBox.AddString(text);
}

void CDownloaderDlg::ResetDownloadTime(const char* text)
{
    m_downloadTimeBox.ResetContent();
    m_downloadTimeBox.AddString(text);
}

void CDownloaderDlg::LockSettings()
{
    if (m_startMode == StartModeDevelopment)
    {
        EnableMenuItem(GetMenu(m_hWnd), ID_PRESETS_BROWSE, MF_BYCOMMAND | MF_GRAYED);
    }
    for (int id : kSettingsControls)
    {
        ::EnableWindow(GetDlgItem(id), FALSE);
    }
}

void CDownloaderDlg::UnlockSettings()
{
    // A locked preset keeps its settings locked; the file boxes follow their sections.
    if (m_startMode != StartModeDevelopment)
    {
        return;
    }
    if (m_languagePackSelected != 0)
    {
        m_browseLanguagePackButton.Enable(true);
        m_languagePackFileBox.Enable(true);
    }
    if (m_mainCodeSelected != 0)
    {
        m_browseImageButton.Enable(true);
        m_imageFileBox.Enable(true);
    }
    m_gangModeCheck.Enable(true);
    m_comPortList.Enable(true);
    m_baudRateList.Enable(true);
    m_modelList.Enable(true);
    EnableMenuItem(GetMenu(m_hWnd), ID_PRESETS_BROWSE, MF_BYCOMMAND | MF_ENABLED);
}

void CDownloaderDlg::ShowRunning(bool running)
{
    m_startButton.SetBitmap(running ? m_stopDownloadBitmap.Get() : m_startDownloadBitmap.Get());
}

BoxAnswer CDownloaderDlg::ShowBox(const BoxRequest& box)
{
    // The operator reads a box against what the window shows.
    DrawProgress();
    UINT type = MB_OK;
    if (box.buttons == BoxButtons::OkCancel)
    {
        type = MB_OKCANCEL;
    }
    else if (box.buttons == BoxButtons::YesNo)
    {
        type = MB_YESNO;
    }
    if (box.owner == BoxOwner::NoneTaskModal)
    {
        type |= MB_TASKMODAL;
    }
    const HWND owner = box.owner == BoxOwner::Window ? m_hWnd : nullptr;
    switch (AppMessageBox(owner, box.text, type, box.caption))
    {
    case IDCANCEL:
        return BoxAnswer::Cancel;
    case IDYES:
        return BoxAnswer::Yes;
    case IDNO:
        return BoxAnswer::No;
    default:
        return BoxAnswer::Ok;
    }
}

void CDownloaderDlg::StartTimer(unsigned id, unsigned periodMs)
{
    SetTimer(m_hWnd, id, periodMs, nullptr);
}

void CDownloaderDlg::StopTimer(unsigned id)
{
    KillTimer(m_hWnd, id);
}
