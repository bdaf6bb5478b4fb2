#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class CSerialIO;
namespace serial
{
class FailureReport;
}

// One WM_SERIAL_DATA as the window saw it; the bytes are copied when the message is handled,
// as the download engine would read them.
struct Notification
{
    std::uint32_t count;
    const BYTE* address;
    bool insideBuffer; // the whole stretch lies inside the watched channel's m_rxBuffer
    std::vector<BYTE> bytes;
};

// A message-only window on the test thread that collects the reader's notifications.
class NotificationWindow
{
public:
    NotificationWindow();
    ~NotificationWindow();
    NotificationWindow(const NotificationWindow&) = delete;
    NotificationWindow& operator=(const NotificationWindow&) = delete;

    HWND Handle() const { return m_window; }

    // Notifications handled from now on are checked against this channel's buffer, and the
    // channel is told of each once its bytes are copied, as the window's session does.
    void Watch(CSerialIO* channel);
    // The reader's failures posted to the window go to this report, as the main window's do.
    void ReportTo(serial::FailureReport* report) { m_report = report; }
    // Drops queued and collected notifications (after a channel has been closed).
    void Forget();

    // Pumps messages until done() holds or timeoutMs has passed; returns done().
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
    // Pumps until at least `total` bytes have been notified.
    bool WaitForBytes(std::size_t total, DWORD timeoutMs);

    const std::vector<Notification>& Notifications() const { return m_notifications; }
    std::size_t BytesNotified() const { return m_bytesNotified; }
    std::vector<BYTE> BytesReceived() const;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnSerialData(WPARAM count, LPARAM address);

    HWND m_window;
    CSerialIO* m_channel;
    serial::FailureReport* m_report = nullptr;
    std::vector<Notification> m_notifications;
    std::size_t m_bytesNotified;
};
