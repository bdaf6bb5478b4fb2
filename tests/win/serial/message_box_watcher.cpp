#include "message_box_watcher.h"

#include <windows.h>

#include <utility>

namespace
{

const char kDialogClass[] = "#32770";
// The text control of a message box.
constexpr int kMessageTextId = 0xFFFF;
constexpr DWORD kPollMs = 10;
constexpr int kTextBytes = 512;

BOOL CALLBACK FindStaticText(HWND child, LPARAM found)
{
    char className[16] = {};
    char text[kTextBytes] = {};
    GetClassNameA(child, className, sizeof(className));
    if (lstrcmpiA(className, "Static") == 0 && GetWindowTextA(child, text, sizeof(text)) > 0)
    {
        *reinterpret_cast<std::string*>(found) = text;
        return FALSE;
    }
    return TRUE;
}

struct BoxSearch
{
    const char* caption;
    HWND found;
};

// Other programs may show boxes with the same caption on the same desktop: only this process's
// boxes count.
BOOL CALLBACK FindOwnBox(HWND window, LPARAM search)
{
    auto& s = *reinterpret_cast<BoxSearch*>(search);
    char className[16] = {};
    char caption[kTextBytes] = {};
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    GetClassNameA(window, className, sizeof(className));
    GetWindowTextA(window, caption, sizeof(caption));
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        lstrcmpA(className, kDialogClass) == 0 && lstrcmpA(caption, s.caption) == 0)
    {
        s.found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindOwnBox(const std::string& caption)
{
    BoxSearch search{caption.c_str(), nullptr};
    EnumWindows(&FindOwnBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string MessageText(HWND box)
{
    char text[kTextBytes] = {};
    if (GetDlgItemTextA(box, kMessageTextId, text, sizeof(text)) > 0)
        return text;
    std::string found;
    EnumChildWindows(box, &FindStaticText, reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

MessageBoxWatcher::MessageBoxWatcher(std::string caption,
                                     std::function<void(const std::string&)> seen)
    : m_caption(std::move(caption)), m_seen(std::move(seen)), m_stop(false),
      m_thread(&MessageBoxWatcher::Run, this)
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
        const HWND box = FindOwnBox(m_caption);
        if (box == nullptr)
        {
            Sleep(kPollMs);
            continue;
        }
        const std::string text = MessageText(box);
        {
            std::lock_guard<std::mutex> lock(m_textsLock);
            m_texts.push_back(text);
        }
        if (m_seen)
            m_seen(text);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        // One box is recorded once: wait until it has gone.
        while (!m_stop && IsWindow(box))
            Sleep(kPollMs);
    }
}
