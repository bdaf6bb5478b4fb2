#include "ui_harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace
{
constexpr char kDialogClass[] = "#32770";
constexpr int kMessageBoxTextId = 0xFFFF; // the static text of a message box
constexpr DWORD kPollMs = 10;

struct BoxSearch
{
    HWND except;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<BoxSearch*>(param);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (window != search->except && std::string(className) == kDialogClass &&
        IsWindowVisible(window) && GetDlgItem(window, kMessageBoxTextId) != nullptr)
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindMessageBox(DWORD thread, HWND except)
{
    BoxSearch search{except, nullptr};
    EnumThreadWindows(thread, &FindBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ProcessBoxes
{
    DWORD process;
    std::vector<HWND> boxes;
};

BOOL CALLBACK CollectProcessBox(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<ProcessBoxes*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == search->process && std::string(className) == kDialogClass &&
        IsWindowVisible(window) && GetDlgItem(window, kMessageBoxTextId) != nullptr)
    {
        search->boxes.push_back(window);
    }
    return TRUE;
}

void AnswerAnyBoxOfProcess()
{
    ProcessBoxes search{GetCurrentProcessId(), {}};
    EnumWindows(&CollectProcessBox, reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.boxes)
    {
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
}
} // namespace

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

SeenMessageBox AnswerMessageBox(DWORD thread, int button, HWND except, DWORD timeoutMs)
{
    SeenMessageBox seen;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    HWND box = nullptr;
    while ((box = FindMessageBox(thread, except)) == nullptr)
    {
        if (GetTickCount64() > deadline)
        {
            return seen;
        }
        Sleep(kPollMs);
    }
    seen.found = true;
    seen.caption = WindowText(box);
    seen.text = WindowText(GetDlgItem(box, kMessageBoxTextId));
    seen.owner = GetWindow(box, GW_OWNER);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    while (IsWindow(box) && GetTickCount64() <= deadline)
    {
        Sleep(kPollMs);
    }
    return seen;
}

SeenMessageBox AnswerProcessMessageBox(int button, DWORD timeoutMs)
{
    SeenMessageBox seen;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    ProcessBoxes search{GetCurrentProcessId(), {}};
    while (EnumWindows(&CollectProcessBox, reinterpret_cast<LPARAM>(&search)), search.boxes.empty())
    {
        if (GetTickCount64() > deadline)
        {
            return seen;
        }
        Sleep(kPollMs);
    }
    HWND box = search.boxes.front();
    seen.found = true;
    seen.caption = WindowText(box);
    seen.text = WindowText(GetDlgItem(box, kMessageBoxTextId));
    seen.owner = GetWindow(box, GW_OWNER);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    while (IsWindow(box) && GetTickCount64() <= deadline)
    {
        Sleep(kPollMs);
    }
    return seen;
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
            AnswerAnyBoxOfProcess();
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
        AnswerAnyBoxOfProcess();
        PostMessageA(m_window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    while (WaitForSingleObject(m_ended, 50) == WAIT_TIMEOUT)
    {
        AnswerAnyBoxOfProcess();
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

std::string ListBoxLine(HWND listBox, int index)
{
    const LRESULT length = SendMessageA(listBox, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR)
    {
        return "<no line>";
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(listBox, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::string ComboBoxEntry(HWND comboBox, int index)
{
    const LRESULT length = SendMessageA(comboBox, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR)
    {
        return "<no entry>";
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(comboBox, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

TempFile::TempFile(const std::string& name, const std::string& content)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    m_path = std::string(folder) + name;
    std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

TempFile::~TempFile()
{
    DeleteFileA(m_path.c_str());
}

std::string TempFile::Read() const
{
    std::ifstream in(m_path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string BlockData(std::size_t n)
{
    std::string data(1024, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
    {
        data[i] = static_cast<char>((n * 3 + i) & 0xFF);
    }
    return data;
}

std::string ReleaseFileContent(std::size_t blocks, const std::vector<std::size_t>& blank)
{
    std::string content = "REL1";
    for (std::size_t n = 0; n < blocks; ++n)
    {
        bool isBlank = false;
        for (std::size_t b : blank)
        {
            isBlank = isBlank || b == n;
        }
        content += isBlank ? std::string(1024, '\xFF') : BlockData(n);
    }
    content.push_back('\x00');
    return content;
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
