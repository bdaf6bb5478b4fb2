// The machine as the window's download session uses it: COM ports through CSerialIO, whose
// reader posts WM_SERIAL_DATA to the window; files through Win32; the performance counter.
#pragma once

#include "download/download_platform.h"
#include "serial/stopwatch.h"

#include <windows.h>

class CWin32DownloadPlatform : public DownloadPlatform
{
public:
    explicit CWin32DownloadPlatform(HWND notifyWnd = nullptr) : m_notifyWnd(notifyWnd) {}
    void SetNotifyWindow(HWND notifyWnd) { m_notifyWnd = notifyWnd; }

    bool PortCanBeOpened(const char* portName) override;
    std::unique_ptr<SerialChannel> OpenChannel(const char* portName, std::uint32_t baudRate,
                                               serial::FailureReport& report) override;
    void DropQueuedNotifications() override;
    bool FileExists(const char* path) override;
    bool SharedReadLength(const char* path, std::uint64_t& length) override;
    void RestartStopwatch() override { m_stopwatch.Start(); }
    double ElapsedSeconds() override { return m_stopwatch.ElapsedSeconds(); }
    void Pause(unsigned milliseconds) override { Sleep(milliseconds); }

private:
    HWND m_notifyWnd;
    CStopwatch m_stopwatch;
};
