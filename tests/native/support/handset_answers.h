// What a handset sends back, as test bytes.
#pragma once

#include "guarded_rx_buffer.h"

#include <cstdint>
#include <initializer_list>

// The handset's ">p" answer: 66 bytes.
Bytes ParameterAnswer(const char* mobileId, const char* productId);
Bytes Text(const char* text);
// ">c" or ">C" with the handset's figures (four for an extended model, two for a legacy one).
Bytes ChecksumAnswer(char letter, std::initializer_list<std::uint8_t> figures = {0, 0, 0, 0});
