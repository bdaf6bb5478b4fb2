// Answers that a USB-serial adapter hands over in pieces: which bytes are only the start of an
// answer, so that the engine waits for the rest instead of judging them.
#pragma once

#include "protocol/download_engine.h"

#include <cstddef>
#include <cstdint>

// The CRC bytes a checksum answer carries after its code: four for an extended model, two for
// a legacy one.
std::size_t ChecksumFigureBytes(bool extendedModel);

// True when the bytes are a proper start of an answer this state can receive: a lone '>', or a
// checksum answer whose figures have not all come. The parameter exchange gathers its record in
// the receive buffer and never waits here.
bool IsPartialAnswer(DownloadState state, bool extendedModel, const std::uint8_t* bytes,
                     std::size_t count);
