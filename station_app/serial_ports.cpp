#include "station_app/serial_ports.h"

#include "settings/registry_key.h"
#include "station/port_order.h"

#include <windows.h>

namespace
{
constexpr char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr DWORD kNameRoom = 256; // a value name: the driver's device path
constexpr DWORD kPortRoom = 64;  // its data: "COM23"
} // namespace

std::vector<std::string> WindowsSerialPorts()
{
    std::vector<std::string> ports;
    CRegistryKey key;
    if (key.OpenForReading(HKEY_LOCAL_MACHINE, kSerialCommKey) != ERROR_SUCCESS)
    {
        return ports; // no port at all
    }
    for (DWORD index = 0;; ++index)
    {
        char name[kNameRoom] = {};
        BYTE data[kPortRoom] = {};
        DWORD nameSize = kNameRoom;
        DWORD dataSize = kPortRoom - 1; // room for a terminating zero the value may lack
        DWORD type = 0;
        const LONG result =
            RegEnumValueA(key.Get(), index, name, &nameSize, nullptr, &type, data, &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
        {
            break;
        }
        if (result == ERROR_SUCCESS && type == REG_SZ && data[0] != '\0')
        {
            ports.emplace_back(reinterpret_cast<const char*>(data));
        }
    }
    SortPortNames(ports);
    return ports;
}
