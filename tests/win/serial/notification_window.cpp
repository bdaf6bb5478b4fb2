#include "notification_window.h"

#include "serial/serial_io_win.h"

namespace
{
const char kWindowClass[] = "TervoloSerialTestWindow";
} // namespace

NotificationWindow::NotificationWindow() : m_window(nullptr), m_channel(nullptr), m_bytesNotified(0)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &NotificationWindow::WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass); // fails harmlessly when a previous window registered it
    m_window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleA(nullptr), this);
}

NotificationWindow::~NotificationWindow()
{
    if (m_window != nullptr)
        DestroyWindow(m_window);
}

void NotificationWindow::Watch(CSerialIO* channel)
{
    m_channel = channel;
    m_notifications.clear();
    m_bytesNotified = 0;
}

void NotificationWindow::Forget()
{
    MSG message;
    while (PeekMessageA(&message, m_window, WM_SERIAL_DATA, WM_SERIAL_DATA, PM_REMOVE))
    {
    }
    m_channel = nullptr;
    m_notifications.clear();
    m_bytesNotified = 0;
}

bool NotificationWindow::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;)
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                  QS_ALLINPUT);
    }
}

bool NotificationWindow::WaitForBytes(std::size_t total, DWORD timeoutMs)
{
    return PumpUntil([this, total] { return m_bytesNotified >= total; }, timeoutMs);
}

std::vector<BYTE> NotificationWindow::BytesReceived() const
{
    std::vector<BYTE> all;
    for (const Notification& notification : m_notifications)
        all.insert(all.end(), notification.bytes.begin(), notification.bytes.end());
    return all;
}

LRESULT CALLBACK NotificationWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam)
{
    if (message == WM_NCCREATE)
    {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<NotificationWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_SERIAL_DATA && self != nullptr)
    {
        self->OnSerialData(wParam, lParam);
        return 0;
    }
    if (message == WM_SERIAL_FAILURE && self != nullptr && self->m_report != nullptr)
    {
        self->m_report->ReportFailure(reinterpret_cast<const char*>(lParam),
                                      reinterpret_cast<const char*>(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void NotificationWindow::OnSerialData(WPARAM count, LPARAM address)
{
    Notification notification{
        static_cast<std::uint32_t>(count), reinterpret_cast<const BYTE*>(address), false, {}};
    if (m_channel != nullptr)
    {
        const BYTE* begin = m_channel->m_rxBuffer;
        const BYTE* end = begin + sizeof(m_channel->m_rxBuffer);
        notification.insideBuffer = notification.address >= begin && notification.address <= end &&
                                    count <= static_cast<WPARAM>(end - notification.address);
        // Bytes outside the buffer are not touched: they may belong to nothing.
        if (notification.insideBuffer)
            notification.bytes.assign(notification.address, notification.address + count);
        m_channel->ChunksHandled(count);
    }
    m_bytesNotified += notification.count;
    m_notifications.push_back(std::move(notification));
}
