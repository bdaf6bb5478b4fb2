#include "conversion_support.h"

#include <cstdio>

namespace
{
constexpr int kFileNameCombo = 0x47C; // cmb13 of the Explorer-style dialog
constexpr int kFileNameEdit = 0x480;  // edt1 of the older one
constexpr UINT kAnswerTimeoutMs = 10000;

HWND FileNameBox(HWND dialog)
{
    HWND box = GetDlgItem(dialog, kFileNameCombo);
    return box != nullptr ? box : GetDlgItem(dialog, kFileNameEdit);
}

} // namespace

bool IsFileDialog(HWND window)
{
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    return std::string(name) == "#32770" && IsWindowVisible(window) &&
           FileNameBox(window) != nullptr;
}

std::string FileDialogName(HWND dialog)
{
    // WM_GETTEXT itself: GetWindowText does not ask a window of another process.
    char text[MAX_PATH] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(FileNameBox(dialog), WM_GETTEXT, sizeof text,
                        reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                        &copied);
    return text;
}

void AnswerFileDialog(HWND dialog, const std::string& path)
{
    if (path.empty())
    {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(FileNameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                        SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &ignored);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}
