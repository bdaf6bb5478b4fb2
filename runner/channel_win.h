// The Win32 COM-port channel for a port runner: how the Windows programs open a port, and how
// they see that its reader ended without a word.
#pragma once

#include "runner/port_loop.h"

// Opens `port` (COM3, COM23 or a device path) with the window's line settings.
ChannelOpener Win32ChannelOpener();
// True when the channel's reader thread has ended by itself.
ReaderCheck Win32ReaderEndCheck();
