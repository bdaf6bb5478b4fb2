// Entry point of TervoloStation: the station window, with the job file named on the command
// line (then locked: only Start and Stop work) or none (the operator opens one).
#include "framework/application.h"
#include "station_app/station_dlg.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace
{
// The first argument, as the shell split it; empty without one.
std::string JobArgument()
{
    int count = 0;
    LPWSTR* const args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::string path;
    if (args != nullptr && count > 1)
    {
        const int size = WideCharToMultiByte(CP_ACP, 0, args[1], -1, nullptr, 0, nullptr, nullptr);
        if (size > 1)
        {
            path.resize(static_cast<std::size_t>(size));
            WideCharToMultiByte(CP_ACP, 0, args[1], -1, &path[0], size, nullptr, nullptr);
            path.resize(static_cast<std::size_t>(size - 1));
        }
    }
    if (args != nullptr)
    {
        LocalFree(args);
    }
    return path;
}

class CStationApp : public CWinApp
{
public:
    BOOL InitInstance() override
    {
        InitCommonControls();
        const std::string job = JobArgument();
        CStationDlg dialog(job, !job.empty());
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
        return FALSE;
    }
};

CStationApp theApp;
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return CWinApp::Current()->Run();
}
