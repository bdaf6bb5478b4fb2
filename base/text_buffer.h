// Texts are byte strings in the system's ANSI code page, kept in fixed buffers.
#pragma once

#include <cstddef>

// Names, paths and command-line arguments.
constexpr std::size_t kTextBufferSize = 500;
