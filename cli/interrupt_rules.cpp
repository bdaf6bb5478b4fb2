#include "cli/interrupt_rules.h"

InterruptAction DecideInterrupt(InterruptSignal signal, bool alreadyInterrupted)
{
    if (signal == InterruptSignal::ConsoleClosed)
    {
        // The window goes whatever we do: the summary is all there is to save.
        return InterruptAction::StopPortsAndWait;
    }
    return alreadyInterrupted ? InterruptAction::ExitNow : InterruptAction::StopPorts;
}
