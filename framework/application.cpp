#include "framework/application.h"

#include <commctrl.h>

namespace
{
CWinApp* g_application = nullptr;
}

CWinApp::CWinApp()
{
    g_application = this;
}

CWinApp::~CWinApp()
{
    if (g_application == this)
    {
        g_application = nullptr;
    }
}

int CWinApp::Run()
{
    InitInstance();
    return 0;
}

CWinApp* CWinApp::Current()
{
    return g_application;
}

void CWinApp::InitCommonControls()
{
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_PROGRESS_CLASS | ICC_BAR_CLASSES;
    ::InitCommonControlsEx(&controls);
}
