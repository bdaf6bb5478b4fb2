// What the console program does when it is interrupted: the first Ctrl-C stops every port as the
// Stop button does and lets the summary be written; a second one ends the program at once.
// Closing the console window (Windows) stops every port too and holds the window's end back until
// the program has written its summary, for as long as Windows allows.
#pragma once

#include <chrono>

enum class InterruptSignal
{
    Interrupt,     // Ctrl-C, Ctrl-Break, SIGINT, SIGTERM
    ConsoleClosed, // the console window is being closed
};

enum class InterruptAction
{
    StopPorts,        // ask every port to stop, and go on
    StopPortsAndWait, // the same, then wait for the program's end (at most kConsoleCloseWait)
    ExitNow,          // end the program at once with kExitInterrupted
};

// Windows ends the process about five seconds after the close; the summary must be out by then.
constexpr std::chrono::milliseconds kConsoleCloseWait(4500);

// `alreadyInterrupted`: an earlier signal has asked the ports to stop.
InterruptAction DecideInterrupt(InterruptSignal signal, bool alreadyInterrupted);
