#include "runner/exit_codes.h"

const char* ExitCodeVerdict(int code)
{
    switch (code)
    {
    case kExitSuccess:
        return "passed";
    case kExitVerdictFailed:
        return "failed";
    case kExitAborted:
        return "aborted";
    case kExitPortError:
        return "port error";
    case kExitBadArguments:
        return "bad arguments";
    case kExitInterrupted:
        return "interrupted";
    default:
        return "unknown";
    }
}
