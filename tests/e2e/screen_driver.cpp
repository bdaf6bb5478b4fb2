// Drives TervoloPLUS for scripts/screenshots.sh: starts it, then takes one command a line from
// standard input and answers "ok" or "failed" once the window shows what was asked for, so the
// script can take its picture.
//   start          press Start Download and wait until blocks are being sent
//   wait-done      wait for the verdict "Download completed successfully..."
//   about          open the About box          presets   open the preset browser
//   dismiss        close the open dialog       close     close the program
#include "station_app/station_ids.h"
#include "tests/e2e/operator.h"

#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace
{
constexpr int kStartButton = 1000;
constexpr int kReportList = 1002;
constexpr UINT kPresetsCommand = 32772;
constexpr UINT kAboutCommand = 32773;
constexpr unsigned kWaitMs = 60000;
constexpr DWORD kPollMs = 50;

struct Search
{
    DWORD process;
    HWND except;
    const char* title; // nullptr: any dialog
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    if (process == search->process && window != search->except && IsWindowVisible(window) &&
        std::string(className) == "#32770" &&
        (search->title == nullptr || std::string(title) == search->title))
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForDialog(DWORD process, HWND main, const char* title)
{
    for (DWORD waited = 0; waited < kWaitMs; waited += kPollMs)
    {
        Search search{process, main, title, nullptr};
        EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
        {
            return search.found;
        }
        Sleep(kPollMs);
    }
    return nullptr;
}

// Until the control's text starts with `start`.
bool WaitUntilText(const Operator& op, int id, const std::string& start)
{
    for (DWORD waited = 0; waited < kWaitMs; waited += kPollMs)
    {
        if (op.Text(id).rfind(start, 0) == 0)
        {
            return true;
        }
        Sleep(kPollMs);
    }
    return false;
}

bool WaitForSending(const Operator& op)
{
    for (DWORD waited = 0; waited < kWaitMs; waited += kPollMs)
    {
        if (op.LastLine(kReportList).rfind("Sending Block", 0) == 0)
        {
            return true;
        }
        Sleep(kPollMs);
    }
    return false;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: screen_driver PROGRAM [ARGUMENTS]\n");
        return 2;
    }
    // The station window is known by its first tile, the main window by its port list.
    const std::string program = argv[1];
    const bool station = program.find("TervoloStation") != std::string::npos;
    Operator op;
    if (!op.Launch(program, argc > 2 ? argv[2] : "", kWaitMs * 4,
                   station ? IDC_TILE_FIRST : IDC_COM_PORT))
    {
        std::printf("failed\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    DWORD process = 0;
    GetWindowThreadProcessId(op.MainWindow(), &process);

    std::string command;
    while (std::getline(std::cin, command))
    {
        bool done = false;
        if (command == "start")
        {
            op.Click(kStartButton);
            done = WaitForSending(op);
        }
        else if (command == "start-station")
        {
            op.Click(IDC_START_STATION);
            done = WaitUntilText(op, IDC_TILE_FIRST, "Sending block");
        }
        else if (command == "wait-done")
        {
            done = op.WaitForLine(kReportList, "Download completed successfully...", kWaitMs * 5);
        }
        else if (command == "about" || command == "presets")
        {
            const bool about = command == "about";
            PostMessageA(op.MainWindow(), WM_COMMAND, about ? kAboutCommand : kPresetsCommand, 0);
            done =
                WaitForDialog(process, op.MainWindow(),
                              about ? "About TervoloPLUS" : "Browsing Preset Entries") != nullptr;
        }
        else if (command == "dismiss")
        {
            HWND dialog = WaitForDialog(process, op.MainWindow(), nullptr);
            done = dialog != nullptr &&
                   PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        else if (command == "close")
        {
            done = op.Close();
        }
        std::printf(done ? "ok\n" : "failed\n");
        std::fflush(stdout);
        if (command == "close")
        {
            break;
        }
    }
    return 0;
}
