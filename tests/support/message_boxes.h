// Message boxes of the program under test, as the Windows tests find, read and answer them: a
// visible dialog (class #32770) holding a message text, of one process and, where asked, one
// thread or one caption. Texts are read with time-outs, so a hung window cannot stop a test, and
// in wide form, which is carried across processes.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Generous limit for a box the test waits for.
constexpr DWORD kBoxWaitMs = 15000;

struct BoxFilter
{
    DWORD process = 0;      // 0: this process
    DWORD thread = 0;       // 0: any thread of the process
    std::string caption;    // empty: any caption
    HWND except = nullptr;  // a window never taken for a box
    bool anyDialog = false; // also dialogs without a message text (the common file dialogs)
};

// Boxes of this process with this caption, of any thread.
inline BoxFilter WithCaption(std::string caption)
{
    BoxFilter filter;
    filter.caption = std::move(caption);
    return filter;
}
// Boxes of this process shown by one thread.
inline BoxFilter OfThread(DWORD thread)
{
    BoxFilter filter;
    filter.thread = thread;
    return filter;
}

struct SeenMessageBox
{
    bool found = false;
    HWND hwnd = nullptr;
    std::string caption;
    std::string text;
    HWND owner = nullptr;
};

// The text of any window, read with a time-out.
std::string WindowTextOf(HWND window);

// A box visible now or within the time-out, read; found is false after it.
SeenMessageBox WaitForMessageBox(const BoxFilter& filter, DWORD timeoutMs = kBoxWaitMs);
// Presses a button of the box (IDOK, IDCANCEL, IDYES, IDNO) and waits until the box is gone.
bool PressBoxButton(HWND box, int button, DWORD timeoutMs = kBoxWaitMs);
// Waits for a box, reads it and presses the button.
SeenMessageBox AnswerMessageBox(const BoxFilter& filter, int button, DWORD timeoutMs = kBoxWaitMs);
// Presses OK and Cancel on every box of the process now shown, so nothing waits for ever.
void DismissEveryBox(DWORD process = 0);

// While it lives, a helper thread presses OK on every box that passes the filter and records
// the boxes' texts in the order they appeared.
class MessageBoxWatcher
{
public:
    // seen, when given, is called on the watcher's thread with each box's text before OK is
    // pressed.
    explicit MessageBoxWatcher(BoxFilter filter,
                               std::function<void(const std::string&)> seen = nullptr);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<std::string> Texts() const;

private:
    void Run();

    BoxFilter m_filter;
    std::function<void(const std::string&)> m_seen;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_textsLock;
    std::vector<std::string> m_texts;
    std::thread m_thread;
};
