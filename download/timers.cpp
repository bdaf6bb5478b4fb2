// The main window's timers: 1 sends the signal command every 50 ms, 2 shows the elapsed download
// time every second, 3 is the gang-mode wait (and shows the time too).
#include "app/downloader_dlg.h"

#include "download/progress_text.h"

void CDownloaderDlg::OnTimer(UINT_PTR timerId)
{
    switch (timerId)
    {
    case kSignalTimer:
        if (m_serial != nullptr)
        {
            // Not checked: the next tick writes it again.
            DWORD written = 0;
            WriteFile(m_serial->m_hPort, kSignalCommand, static_cast<DWORD>(kCommandSize), &written,
                      nullptr);
        }
        break;
    case kElapsedTimer:
        ShowElapsedTime();
        break;
    case kGangTimer:
        m_engine.OnGangTick();
        ShowElapsedTime();
        break;
    default:
        break;
    }
    SetMsgHandled(false);
}

void CDownloaderDlg::ShowElapsedTime()
{
    ShowDownloadTime(ElapsedTimeText(m_stopwatch.ElapsedSeconds()).c_str());
}

void CDownloaderDlg::ShowDownloadTime(const char* text)
{
    m_downloadTimeBox.DeleteString(0);
    m_downloadTimeBox.AddString(text);
}

void CDownloaderDlg::StartTimer(unsigned id, unsigned periodMs)
{
    SetTimer(m_hWnd, id, periodMs, nullptr);
}

void CDownloaderDlg::StopTimer(unsigned id)
{
    KillTimer(m_hWnd, id);
}

void CDownloaderDlg::RestartStopwatch()
{
    m_stopwatch.Start();
}
