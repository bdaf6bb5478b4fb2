// The main window's part in a download: it hands the operator's choices, its timer ticks and the
// channel's notifications to the session, which does the rest.
#include "app/downloader_dlg.h"

#include "serial/serial_io_win.h"

#include <cstdio>

void CDownloaderDlg::OnStartStop()
{
    m_session.OnStartStop(CurrentChoices());
}

DownloadChoices CDownloaderDlg::CurrentChoices()
{
    // A path typed into a file box counts as chosen, as one picked from its list does.
    UpdateData(true);
    DownloadChoices choices;
    choices.bootCode = m_bootCodeSelected != 0;
    choices.mainCode = m_mainCodeSelected != 0;
    choices.languagePack = m_languagePackSelected != 0;
    choices.portIndex = m_comPortList.GetCurSel();
    choices.baudIndex = m_baudRateList.GetCurSel();
    choices.gangMode = m_gangModeCheck.GetCheck() == BST_CHECKED; // read once, here
    choices.diagnostics = m_diagnostics;
    std::snprintf(choices.modelName, sizeof choices.modelName, "%s", m_modelName);
    std::snprintf(choices.imagePath, sizeof choices.imagePath, "%s", m_imagePath);
    std::snprintf(choices.lpPath, sizeof choices.lpPath, "%s", m_lpPath);
    return choices;
}

void CDownloaderDlg::OnTimer(UINT_PTR timerId)
{
    if (timerId == kProgressDrawTimer)
    {
        DrawProgress();
    }
    else
    {
        m_session.OnTimer(static_cast<unsigned>(timerId));
    }
    SetMsgHandled(false);
}

LRESULT CDownloaderDlg::OnSerialData(WPARAM wParam, LPARAM lParam)
{
    m_session.OnSerialData(static_cast<std::size_t>(wParam),
                           reinterpret_cast<const std::uint8_t*>(lParam));
    return 0;
}

// The reader's failure, shown by this thread: wParam = caption, lParam = text.
LRESULT CDownloaderDlg::OnSerialFailure(WPARAM wParam, LPARAM lParam)
{
    m_session.OnChannelFailure(reinterpret_cast<const char*>(lParam),
                               reinterpret_cast<const char*>(wParam));
    return 0;
}

LRESULT CDownloaderDlg::OnDownloadEnd(WPARAM, LPARAM)
{
    m_session.StartStopDownload();
    AddReportLine("Failed to open Com Port!");
    AddReportLine("Download terminated.");
    return 0;
}
