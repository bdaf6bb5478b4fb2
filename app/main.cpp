// Entry point and application object of TervoloPLUS: one modal main window, and the program
// ends when it closes.
#include "app/downloader_dlg.h"
#include "framework/application.h"

#include <windows.h>

namespace
{
class CDownloaderApp : public CWinApp
{
public:
    BOOL InitInstance() override
    {
        InitCommonControls();
        CDownloaderDlg dialog(nullptr);
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
        // No message loop of our own: the program ends here.
        return FALSE;
    }
};

CDownloaderApp theApp;
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return CWinApp::Current()->Run();
}
