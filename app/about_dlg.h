// The About box: logo, program name and version, OK.
#pragma once

#include "framework/dialog.h"

class CAboutDlg : public CDialog
{
public:
    explicit CAboutDlg(HWND parent = nullptr);
};
