// The application object: one global instance, constructed before WinMain, that runs the
// program's main window. The program ends when InitInstance returns.
#pragma once

#include <windows.h>

class CDialog;

class CWinApp
{
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's own start; false ends the program without a message loop.
    virtual BOOL InitInstance() = 0;

    // Called by WinMain: runs InitInstance and returns the program's exit code.
    int Run();

    // The application object of this program (null before it is constructed).
    static CWinApp* Current();

    // The framework's own initialisation: registers the common controls that the dialogs
    // contain (progress bars, tooltips).
    static void InitCommonControls();

    CDialog* m_pMainWnd = nullptr; // the window whose end ends the program
};
