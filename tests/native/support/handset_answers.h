// What a handset sends back, as test bytes.
#pragma once

#include "guarded_rx_buffer.h"

// The handset's ">p" answer: 66 bytes.
Bytes ParameterAnswer(const char* mobileId, const char* productId);
Bytes Text(const char* text);
