// Texts of the download start and stop that both front ends show for the same event.
#pragma once

inline constexpr char kTerminatedByUserText[] = "Download terminated by User.";
inline constexpr char kPortInUseText[] =
    "Failed to open com port - Please check no other applications are currently using this port.";
