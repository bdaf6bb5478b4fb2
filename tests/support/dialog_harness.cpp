#include "dialog_harness.h"

#include "scratch_folder.h"

#include <gtest/gtest.h>

LRESULT RunUiTask(LPARAM task)
{
    (*reinterpret_cast<const UiTask*>(task))();
    return 0;
}

std::string WindowText(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

AsyncSend::AsyncSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    : m_window(window), m_done(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    m_thread = std::thread(
        [this, message, wParam, lParam]
        {
            m_result = SendMessageA(m_window, message, wParam, lParam);
            SetEvent(m_done);
        });
}

AsyncSend::~AsyncSend()
{
    Wait();
    CloseHandle(m_done);
}

LRESULT AsyncSend::Wait()
{
    if (!m_joined)
    {
        while (WaitForSingleObject(m_done, 50) == WAIT_TIMEOUT)
        {
            DismissEveryBox();
        }
        m_thread.join();
        m_joined = true;
    }
    return m_result;
}

DialogThread::DialogThread(std::function<INT_PTR(DialogThread&)> doModal)
    : m_doModal(std::move(doModal)), m_ready(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_ended(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    m_thread = std::thread(
        [this]
        {
            m_threadId = GetCurrentThreadId();
            m_result = m_doModal(*this);
            SetEvent(m_ended);
            SetEvent(m_ready); // a dialog that could not start must not leave the test waiting
        });
    WaitForSingleObject(m_ready, kWaitLimitMs);
}

DialogThread::~DialogThread()
{
    if (WaitForSingleObject(m_ended, 0) == WAIT_TIMEOUT && m_window != nullptr)
    {
        DismissEveryBox();
        PostMessageA(m_window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    while (WaitForSingleObject(m_ended, 50) == WAIT_TIMEOUT)
    {
        DismissEveryBox();
    }
    m_thread.join();
    CloseHandle(m_ready);
    CloseHandle(m_ended);
}

void DialogThread::Initialised(HWND window)
{
    m_window = window;
    m_threadId = GetCurrentThreadId();
    SetEvent(m_ready);
}

void DialogThread::Run(const UiTask& task) const
{
    SendMessageA(m_window, kRunOnUiMessage, 0, reinterpret_cast<LPARAM>(&task));
}

bool DialogThread::WaitForEnd(INT_PTR& result, DWORD timeoutMs)
{
    if (WaitForSingleObject(m_ended, timeoutMs) != WAIT_OBJECT_0)
    {
        return false;
    }
    result = m_result;
    return true;
}

int ListBoxCount(HWND listBox)
{
    return static_cast<int>(SendMessageA(listBox, LB_GETCOUNT, 0, 0));
}

namespace
{
// The text of one entry of a list box or a combo box's list, asked for by its pair of messages
// (LB_ERR and CB_ERR are both negative); `missing` when there is no such entry.
std::string EntryText(HWND box, UINT lengthMessage, UINT textMessage, int index,
                      const char* missing)
{
    const LRESULT length = SendMessageA(box, lengthMessage, index, 0);
    if (length < 0)
    {
        return missing;
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(box, textMessage, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(length));
    return text;
}
} // namespace

std::string ListBoxLine(HWND listBox, int index)
{
    return EntryText(listBox, LB_GETTEXTLEN, LB_GETTEXT, index, "<no line>");
}

std::string ComboBoxEntry(HWND comboBox, int index)
{
    return EntryText(comboBox, CB_GETLBTEXTLEN, CB_GETLBTEXT, index, "<no entry>");
}

TempFile::TempFile(const std::string& name, const std::string& content)
    : m_path(TempFolder() + name)
{
    WriteFile(m_path, content);
}

TempFile::~TempFile()
{
    DeleteFileA(m_path.c_str());
}

std::string TempFile::Read() const
{
    return ReadFile(m_path);
}

void ChooseModel(HWND window, HWND modelList, const char* model)
{
    const LRESULT index = SendMessageA(modelList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(model));
    ASSERT_NE(index, CB_ERR) << model;
    SendMessageA(modelList, CB_SETCURSEL, index, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(modelList), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(modelList));
}
