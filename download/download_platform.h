// What a download session needs of the machine: the serial port, files, a clock and a pause.
// The window's session uses the Win32 one; native tests give it a fake.
#pragma once

#include "serial/serial_channel.h"

#include <cstdint>
#include <memory>

class DownloadPlatform
{
public:
    // Whether the port can be opened right now (another program may hold it).
    virtual bool PortCanBeOpened(const char* portName) = 0;
    // Opens a channel at this rate, 8N1; its failures go to `report`. Returns a channel also when
    // the port could not be opened (not IsOpen()).
    virtual std::unique_ptr<SerialChannel> OpenChannel(const char* portName, std::uint32_t baudRate,
                                                       serial::FailureReport& report) = 0;
    // Drops notifications of a closed channel still waiting to be handled: they point into its
    // freed buffer.
    virtual void DropQueuedNotifications() = 0;

    virtual bool FileExists(const char* path) = 0;
    // The length of a file that others may read meanwhile but none may write.
    virtual bool SharedReadLength(const char* path, std::uint64_t& length) = 0;

    virtual void RestartStopwatch() = 0;
    virtual double ElapsedSeconds() = 0;
    virtual void Pause(unsigned milliseconds) = 0;

protected:
    ~DownloadPlatform() = default;
};
