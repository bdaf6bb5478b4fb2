// Entry point of TervoloStation: the station window, with the job file named on the command
// line, or a stored preset and its ports ("/PLine 1" COM3 COM23), both locked: only Start and
// Stop work. Without arguments the operator opens a job.
#include "framework/application.h"
#include "station/preset_job.h"
#include "station_app/station_dlg.h"

#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
// The arguments after the program's name, as the shell split them.
std::vector<std::string> Arguments()
{
    int count = 0;
    LPWSTR* const args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; args != nullptr && i < count; ++i)
    {
        std::string text;
        const int size = WideCharToMultiByte(CP_ACP, 0, args[i], -1, nullptr, 0, nullptr, nullptr);
        if (size > 1)
        {
            text.resize(static_cast<std::size_t>(size));
            WideCharToMultiByte(CP_ACP, 0, args[i], -1, &text[0], size, nullptr, nullptr);
            text.resize(static_cast<std::size_t>(size - 1));
        }
        arguments.push_back(text);
    }
    if (args != nullptr)
    {
        LocalFree(args);
    }
    return arguments;
}

class CStationApp : public CWinApp
{
public:
    BOOL InitInstance() override
    {
        InitCommonControls();
        const std::vector<std::string> arguments = Arguments();
        std::string preset;
        std::vector<std::string> ports;
        std::unique_ptr<CStationDlg> dialog;
        if (ParsePresetArguments(arguments, preset, ports))
        {
            dialog = std::make_unique<CStationDlg>(preset, ports);
        }
        else
        {
            const std::string job = arguments.empty() ? std::string() : arguments[0];
            dialog = std::make_unique<CStationDlg>(job, !job.empty());
        }
        m_pMainWnd = dialog.get();
        dialog->DoModal();
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
