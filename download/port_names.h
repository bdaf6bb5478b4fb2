// The serial ports of the COM Port list, in list order.
#pragma once

constexpr int kPortCount = 8;
constexpr const char* kPortNames[kPortCount] = {"COM1", "COM2", "COM3", "COM4",
                                                "COM5", "COM6", "COM7", "COM8"};
