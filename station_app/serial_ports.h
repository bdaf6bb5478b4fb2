// The COM ports Windows lists (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM): every port a driver made,
// USB adapters' COM23 too, in the station's order.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> WindowsSerialPorts();
