// Handlers of the application shell: system menu, About box, painting while minimised, the
// question on closing during a download, and the orderly end of the window.
#include "app/about_dlg.h"
#include "app/downloader_dlg.h"

#include "base/app_title.h"
#include "framework/message_box.h"
#include "res/resource.h"

namespace
{
constexpr UINT kSystemCommandMask = 0xFFF0; // the system uses the low four bits itself
constexpr char kCloseDuringDownload[] =
    "Download in progress, do you really want to close TervoloPLUS?";
} // namespace

void CDownloaderDlg::OnSysCommand(UINT id, LPARAM)
{
    if ((id & kSystemCommandMask) == IDM_ABOUTBOX)
    {
        CAboutDlg about(m_hWnd);
        about.DoModal();
        return;
    }
    if (m_session.Running() && (id & kSystemCommandMask) == SC_CLOSE)
    {
        const int answer = AppMessageBox(nullptr, kCloseDuringDownload,
                                         MB_YESNOCANCEL | MB_ICONWARNING | MB_TASKMODAL, kAppTitle);
        if (answer != IDYES)
        {
            return;
        }
    }
    SetMsgHandled(false);
}

void CDownloaderDlg::OnAbout()
{
    CAboutDlg about(m_hWnd);
    about.DoModal();
}

void CDownloaderDlg::OnPaint()
{
    if (!IsIconic(m_hWnd))
    {
        SetMsgHandled(false);
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    DrawIcon(dc.Get(), x, y, m_hIcon);
}

HCURSOR CDownloaderDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CDownloaderDlg::OnDestroy()
{
    SavePreset();
    m_session.Shutdown();
    SetMsgHandled(false);
}

void CDownloaderDlg::OnDropDownBaudRate()
{
    // The list opens as any list does; nothing to prepare.
}
