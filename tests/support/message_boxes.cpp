#include "message_boxes.h"

#include <utility>

namespace
{
constexpr char kDialogClass[] = "#32770";
constexpr int kMessageTextId = 0xFFFF; // the static text of a message box
constexpr DWORD kPollMs = 10;
constexpr UINT kTextTimeoutMs = 10000;
constexpr int kTextChars = 2048;

struct BoxSearch
{
    const BoxFilter& filter;
    DWORD process;
    std::vector<HWND> found;
    bool all;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM param)
{
    auto& search = *reinterpret_cast<BoxSearch*>(param);
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == search.process &&
        (search.filter.thread == 0 || search.filter.thread == thread) &&
        window != search.filter.except && lstrcmpA(className, kDialogClass) == 0 &&
        IsWindowVisible(window) &&
        (search.filter.anyDialog || GetDlgItem(window, kMessageTextId) != nullptr) &&
        (search.filter.caption.empty() || WindowTextOf(window) == search.filter.caption))
    {
        search.found.push_back(window);
        return search.all ? TRUE : FALSE;
    }
    return TRUE;
}

std::vector<HWND> FindBoxes(const BoxFilter& filter, bool all)
{
    BoxSearch search{filter, filter.process != 0 ? filter.process : GetCurrentProcessId(), {}, all};
    EnumWindows(&CollectBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

template <typename Condition> bool WaitUntil(DWORD timeoutMs, Condition condition)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;)
    {
        if (condition())
        {
            return true;
        }
        if (GetTickCount64() >= deadline)
        {
            return false;
        }
        Sleep(kPollMs);
    }
}
} // namespace

std::string WindowTextOf(HWND window)
{
    wchar_t text[kTextChars] = {};
    DWORD_PTR copied = 0;
    // Not SMTO_ABORTIFHUNG: a thread that pumped nothing for five seconds (the test's own thread)
    // counts as hung until its box's loop fetches a first message, and the text would be lost.
    SendMessageTimeoutW(window, WM_GETTEXT, kTextChars, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                        kTextTimeoutMs, &copied);
    char narrow[2 * kTextChars] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

SeenMessageBox WaitForMessageBox(const BoxFilter& filter, DWORD timeoutMs)
{
    SeenMessageBox seen;
    std::vector<HWND> boxes;
    if (!WaitUntil(timeoutMs, [&] { return !(boxes = FindBoxes(filter, false)).empty(); }))
    {
        return seen;
    }
    seen.found = true;
    seen.hwnd = boxes.front();
    seen.caption = WindowTextOf(seen.hwnd);
    seen.text = WindowTextOf(GetDlgItem(seen.hwnd, kMessageTextId));
    seen.owner = GetWindow(seen.hwnd, GW_OWNER);
    return seen;
}

bool PressBoxButton(HWND box, int button, DWORD timeoutMs)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    return WaitUntil(timeoutMs, [&] { return !IsWindow(box); });
}

SeenMessageBox AnswerMessageBox(const BoxFilter& filter, int button, DWORD timeoutMs)
{
    const SeenMessageBox seen = WaitForMessageBox(filter, timeoutMs);
    if (seen.found)
    {
        PressBoxButton(seen.hwnd, button, timeoutMs);
    }
    return seen;
}

void DismissEveryBox(DWORD process)
{
    BoxFilter filter;
    filter.process = process;
    for (HWND box : FindBoxes(filter, true))
    {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
}

MessageBoxWatcher::MessageBoxWatcher(BoxFilter filter, std::function<void(const std::string&)> seen)
    : m_filter(std::move(filter)), m_seen(std::move(seen)), m_thread(&MessageBoxWatcher::Run, this)
{
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    m_stop = true;
    m_thread.join();
}

std::vector<std::string> MessageBoxWatcher::Texts() const
{
    std::lock_guard<std::mutex> lock(m_textsLock);
    return m_texts;
}

void MessageBoxWatcher::Run()
{
    while (!m_stop)
    {
        const SeenMessageBox box = WaitForMessageBox(m_filter, 0);
        if (!box.found)
        {
            Sleep(kPollMs);
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(m_textsLock);
            m_texts.push_back(box.text);
        }
        if (m_seen)
        {
            m_seen(box.text);
        }
        // One box is recorded once: wait until it has gone.
        PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        while (!m_stop && IsWindow(box.hwnd))
        {
            Sleep(kPollMs);
        }
    }
}
