// The progress report window (list box 1002): every step of a download is one line.
#include "app/downloader_dlg.h"

void CDownloaderDlg::AddReportLine(const char* text)
{
    m_reportList.AddString(text);
    // Selecting the newest line also scrolls it into view.
    m_reportList.SetCurSel(m_reportList.GetCount() - 1);
}

void CDownloaderDlg::ClearReport()
{
    m_reportList.ResetContent();
}
