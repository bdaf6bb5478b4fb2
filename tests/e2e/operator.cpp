#include "tests/e2e/operator.h"

#include "conversion_support.h"
#include "res/resource.h"

#include <algorithm>

namespace
{
constexpr unsigned kPollMs = 20;
constexpr UINT kSendTimeoutMs = 10000;
constexpr const char* kMainCaptionStart = "TervoloPLUS";

template <typename Condition> bool WaitUntil(unsigned timeoutMs, Condition condition)
{
    const DWORD start = GetTickCount();
    for (;;)
    {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(kPollMs);
    }
}

bool IsDialogClass(HWND hwnd)
{
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return std::string(name) == "#32770";
}

struct Search
{
    DWORD processId;
    HWND found;
    int markerId; // a control only the program's main window has
};

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->processId && IsWindowVisible(hwnd) && IsDialogClass(hwnd) &&
        GetDlgItem(hwnd, search->markerId) != nullptr &&
        WindowTextOf(hwnd).rfind(kMainCaptionStart, 0) == 0)
    {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

std::string ToWindowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

Operator::~Operator()
{
    if (m_process.hProcess != nullptr)
    {
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT && !Close(10000))
            TerminateProcess(m_process.hProcess, 99);
        CloseHandle(m_process.hProcess);
        CloseHandle(m_process.hThread);
    }
}

bool Operator::Launch(const std::string& exePath, const std::string& arguments, unsigned timeoutMs,
                      int markerId)
{
    std::string commandLine = "\"" + ToWindowsPath(exePath) + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &m_process))
        return false;
    Search search{m_process.dwProcessId, nullptr, markerId};
    const bool found =
        WaitUntil(timeoutMs,
                  [&]
                  {
                      search.found = nullptr;
                      EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
                      return search.found != nullptr ||
                             WaitForSingleObject(m_process.hProcess, 0) != WAIT_TIMEOUT;
                  });
    m_main = search.found;
    return found && m_main != nullptr;
}

bool Operator::Close(unsigned timeoutMs)
{
    if (m_process.hProcess == nullptr)
        return true;
    if (m_main != nullptr && IsWindow(m_main))
        PostMessageA(m_main, WM_SYSCOMMAND, SC_CLOSE, 0);
    const bool ended =
        WaitUntil(timeoutMs,
                  [&]
                  {
                      FoundMessageBox box;
                      if (WaitForMessageBox(box, 0))
                          Answer(box, IDYES, 2000);
                      return WaitForSingleObject(m_process.hProcess, 0) != WAIT_TIMEOUT;
                  });
    return ended;
}

bool Operator::WaitForExit(DWORD& exitCode, unsigned timeoutMs)
{
    if (WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    GetExitCodeProcess(m_process.hProcess, &exitCode);
    return true;
}

HWND Operator::Control(int id) const
{
    return GetDlgItem(m_main, id);
}

bool Operator::IsEnabled(int id) const
{
    return IsWindowEnabled(Control(id)) != FALSE;
}

bool Operator::Choose(int comboId, const std::string& text)
{
    HWND combo = Control(comboId);
    std::wstring wide(text.begin(), text.end());
    DWORD_PTR index = 0;
    SendMessageTimeoutW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                        &index);
    if (static_cast<LRESULT>(index) == CB_ERR)
        return false;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(combo, CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
    SendMessageTimeoutW(m_main, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(combo), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                        &ignored);
    return ChosenText(comboId) == text;
}

std::string Operator::ChosenText(int comboId) const
{
    HWND combo = Control(comboId);
    DWORD_PTR index = 0;
    SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &index);
    if (static_cast<LRESULT>(index) == CB_ERR)
        return {};
    wchar_t text[512] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
    char narrow[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

void Operator::SetText(int comboId, const std::string& text)
{
    std::wstring wide(text.begin(), text.end());
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(Control(comboId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
}

void Operator::SetCheck(int checkBoxId, bool checked)
{
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(Control(checkBoxId), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0,
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
}

void Operator::ClickAndWait(int buttonId)
{
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(m_main, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                        reinterpret_cast<LPARAM>(Control(buttonId)), SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &ignored);
}

void Operator::Click(int buttonId)
{
    PostMessageW(m_main, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(buttonId)));
}

bool Operator::SetSections(bool boot, bool main, bool languagePack)
{
    // The boot section shows only in its picture; the file boxes follow the other two.
    // Turning main code off fails while boot code is on, which tells the boot state.
    if (IsEnabled(IDC_IMAGE_FILE))
    {
        ClickAndWait(IDC_MAIN_CODE_BUTTON);
        if (IsEnabled(IDC_IMAGE_FILE))
        {
            ClickAndWait(IDC_BOOT_CODE_BUTTON);
            ClickAndWait(IDC_MAIN_CODE_BUTTON);
        }
    }
    if (boot)
        ClickAndWait(IDC_BOOT_CODE_BUTTON);
    else if (main)
        ClickAndWait(IDC_MAIN_CODE_BUTTON);
    if (IsEnabled(IDC_LANGUAGE_PACK_FILE) != languagePack)
        ClickAndWait(IDC_LANGUAGE_PACK_BUTTON);
    return IsEnabled(IDC_IMAGE_FILE) == (boot || main) &&
           IsEnabled(IDC_LANGUAGE_PACK_FILE) == languagePack;
}

std::vector<std::string> Operator::Lines(int listBoxId) const
{
    // Across processes only the wide form of LB_GETTEXT is carried over.
    HWND list = Control(listBoxId);
    std::vector<std::string> lines;
    DWORD_PTR count = 0;
    SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count);
    if (static_cast<LRESULT>(count) == LB_ERR)
        return lines;
    for (DWORD_PTR i = 0; i < count; ++i)
    {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length);
        if (static_cast<LRESULT>(length) == LB_ERR)
            break;
        std::vector<wchar_t> text(length + 1, L'\0');
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()),
                            SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
        std::vector<char> narrow(2 * length + 2, '\0');
        WideCharToMultiByte(CP_ACP, 0, text.data(), -1, narrow.data(),
                            static_cast<int>(narrow.size()), nullptr, nullptr);
        lines.emplace_back(narrow.data());
    }
    return lines;
}

std::string Operator::LastLine(int listBoxId) const
{
    const std::vector<std::string> lines = Lines(listBoxId);
    return lines.empty() ? std::string() : lines.back();
}

bool Operator::WaitForLine(int listBoxId, const std::string& text, unsigned timeoutMs) const
{
    return WaitUntil(timeoutMs,
                     [&]
                     {
                         const std::vector<std::string> lines = Lines(listBoxId);
                         return std::find(lines.begin(), lines.end(), text) != lines.end();
                     });
}

bool Operator::WaitIdle(unsigned timeoutMs) const
{
    return WaitUntil(timeoutMs, [&] { return IsEnabled(IDC_COM_PORT); });
}

bool Operator::WaitForMessageBox(FoundMessageBox& box, unsigned timeoutMs) const
{
    BoxFilter filter;
    filter.process = m_process.dwProcessId;
    filter.except = m_main;
    box = ::WaitForMessageBox(filter, timeoutMs);
    return box.found;
}

bool Operator::NoMessageBoxWithin(unsigned milliseconds) const
{
    FoundMessageBox box;
    return !WaitForMessageBox(box, milliseconds);
}

bool Operator::Answer(const FoundMessageBox& box, int buttonId, unsigned timeoutMs)
{
    return PressBoxButton(box.hwnd, buttonId, timeoutMs);
}

bool Operator::Expect(const std::string& text, int buttonId, unsigned timeoutMs, std::string* seen)
{
    FoundMessageBox box;
    if (!WaitForMessageBox(box, timeoutMs))
    {
        if (seen != nullptr)
            *seen = "(no message box)";
        return false;
    }
    if (seen != nullptr)
        *seen = box.text;
    if (box.text != text)
        return false;
    return Answer(box, buttonId);
}

bool Operator::SaveAs(const std::string& path, unsigned timeoutMs, std::string* proposed)
{
    BoxFilter filter;
    filter.process = m_process.dwProcessId;
    filter.except = m_main;
    filter.anyDialog = true;
    FoundMessageBox box;
    if (!WaitUntil(timeoutMs,
                   [&]
                   {
                       box = ::WaitForMessageBox(filter, 0);
                       return box.found && IsFileDialog(box.hwnd);
                   }))
        return false;
    if (proposed != nullptr)
        *proposed = FileDialogName(box.hwnd);
    AnswerFileDialog(box.hwnd, path);
    return WaitUntil(timeoutMs, [&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); });
}

std::string Operator::Text(int controlId) const
{
    return WindowTextOf(Control(controlId));
}
