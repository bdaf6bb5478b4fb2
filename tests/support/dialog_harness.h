// Running dialogs under test: each runs modally on a thread of its own, as the program runs its
// main window, while the test thread drives it with messages and answers its message boxes.
#pragma once

#include "message_boxes.h"
#include "release_content.h"

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

// A test dialog's message-table row for this message runs a function on the dialog's thread.
constexpr UINT kRunOnUiMessage = WM_APP + 0x3A0;
using UiTask = std::function<void()>;

// Generous limit for anything the tests wait for.
constexpr DWORD kWaitLimitMs = 15000;

// Runs UiTask at lParam (the body of the dialogs' kRunOnUiMessage row).
LRESULT RunUiTask(LPARAM task);

// Sends a message from a thread of its own, so that the test thread can answer the message boxes
// its handling shows. Wait() returns once the handling is over; while waiting it answers any
// message box it finds with OK, so a test that expected fewer boxes than came does not hang.
class AsyncSend
{
public:
    AsyncSend(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    ~AsyncSend();
    AsyncSend(const AsyncSend&) = delete;
    AsyncSend& operator=(const AsyncSend&) = delete;

    LRESULT Wait();

private:
    HWND m_window;
    HANDLE m_done;
    LRESULT m_result = 0;
    std::thread m_thread;
    bool m_joined = false;
};

// A dialog object run modally on a worker thread. The dialog class has the kRunOnUiMessage row
// and calls Initialised() at the end of its OnInitDialog.
class DialogThread
{
public:
    // Starts `doModal` (the dialog's DoModal, given this harness to report to) and waits until
    // the dialog's window exists.
    explicit DialogThread(std::function<INT_PTR(DialogThread&)> doModal);
    ~DialogThread();
    DialogThread(const DialogThread&) = delete;
    DialogThread& operator=(const DialogThread&) = delete;

    // Called by the dialog, on its thread, when its window is ready.
    void Initialised(HWND window);

    bool Started() const { return m_window != nullptr; }
    HWND Window() const { return m_window; }
    DWORD Thread() const { return m_threadId; }
    HWND Item(int id) const { return GetDlgItem(m_window, id); }

    // Runs the task on the dialog's thread and returns when it is done.
    void Run(const UiTask& task) const;

    // Waits for the dialog to end; true with its DoModal result when it did in time.
    bool WaitForEnd(INT_PTR& result, DWORD timeoutMs = kWaitLimitMs);

private:
    std::function<INT_PTR(DialogThread&)> m_doModal;
    HANDLE m_ready;
    HANDLE m_ended;
    HWND m_window = nullptr;
    DWORD m_threadId = 0;
    INT_PTR m_result = 0;
    std::thread m_thread;
};

// Text of a list-box line, of a combo-box entry, and of any window.
std::string ListBoxLine(HWND listBox, int index);
int ListBoxCount(HWND listBox);
std::string ComboBoxEntry(HWND comboBox, int index);
std::string WindowText(HWND window);
// Picks a model in the window's model list as the operator does: the list tells its window.
void ChooseModel(HWND window, HWND modelList, const char* model);

// A file in the temporary folder, removed with its owner.
class TempFile
{
public:
    TempFile(const std::string& name, const std::string& content);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return m_path; }
    std::string Read() const;

private:
    std::string m_path;
};
