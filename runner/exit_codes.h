// The console program's exit status, one code per way a download can end. Scripts rely on
// these numbers: never renumber them.
#pragma once

enum ExitCode : int
{
    kExitSuccess = 0,       // "Download completed successfully..."
    kExitVerdictFailed = 1, // the handset's own figures disagreed: "Download FAILED..."
    kExitAborted = 2,       // "Download Aborted!" (the reason line is printed before it)
    kExitPortError = 3,     // the port could not be opened (or reopened at the new rate)
    kExitBadArguments = 4,  // a bad option, unknown model, missing or unusable file
    kExitInterrupted = 130, // Ctrl-C (SIGINT) or SIGTERM: stopped as the Stop button does
};

// What a code means, for the summary table and --json.
const char* ExitCodeVerdict(int code);
