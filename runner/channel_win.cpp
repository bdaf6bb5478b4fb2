#include "runner/channel_win.h"

#include "serial/serial_io_win.h"

#include <windows.h>

namespace
{
constexpr BYTE kDataBits = 8;
const char kDevicePrefix[] = "\\\\.\\";
} // namespace

ChannelOpener Win32ChannelOpener()
{
    return
        [](const std::string& port, std::uint32_t baudRate, const std::string& debugLogPath,
           serial::ChunkSink& sink, serial::FailureReport& report) -> std::unique_ptr<SerialChannel>
    {
        // COM10 and up open only by their device path; it serves COM1 to COM9 as well.
        std::string device = port;
        if (port.rfind(kDevicePrefix, 0) != 0 && port.find('\\') == std::string::npos)
        {
            device = kDevicePrefix + port;
        }
        return std::make_unique<CSerialIO>(device.c_str(), static_cast<DWORD>(baudRate), NOPARITY,
                                           kDataBits, ONESTOPBIT, sink, report,
                                           debugLogPath.empty() ? nullptr : debugLogPath.c_str());
    };
}

ReaderCheck Win32ReaderEndCheck()
{
    return [](const SerialChannel& channel)
    {
        const CSerialIO* const win32 = dynamic_cast<const CSerialIO*>(&channel);
        return win32 != nullptr && win32->m_hThread != nullptr &&
               WaitForSingleObject(win32->m_hThread, 0) == WAIT_OBJECT_0;
    };
}
