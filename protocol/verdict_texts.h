// The report lines that end a download, in one home for the engine and the hosts that name the
// outcome in their own summaries.
#pragma once

inline constexpr char kSuccessText[] = "Download completed successfully...";
inline constexpr char kFailedText[] = "Download FAILED...";
inline constexpr char kAbortedText[] = "Download Aborted!";
