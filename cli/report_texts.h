// The report lines and texts of the download that the console program's host looks for or
// writes itself, and its small helpers; shared by the host's files.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace report_text
{
inline constexpr char kSendingBlockPrefix[] = "Sending Block";
inline constexpr char kProtocolResponseLine[] = "Protocol Response received...";
inline constexpr char kChecksumWaitLine[] = "Waiting for checksum response...";
inline constexpr char kChangingProtocolLine[] = "Changing protocol...";
inline constexpr char kSuccessLine[] = "Download completed successfully...";
inline constexpr char kFailedLine[] = "Download FAILED...";
inline constexpr char kAbortedLine[] = "Download Aborted!";
inline constexpr char kTerminatedLine[] = "Download terminated by User.";
inline constexpr char kPortOpenFailedLine[] =
    "Failed to open com port - Please check no other applications are currently using this port.";
} // namespace report_text

inline double Seconds(std::chrono::steady_clock::duration span)
{
    return std::chrono::duration<double>(span).count();
}
