#pragma once

#include <cstdint>

// Layout rules of the reader's receive buffer. Chunks are stored one after another and the write
// position returns to the start once it reaches kWrapIndexBytes; the download engine keeps its
// running total in step with that rule, so it must not change.
namespace serial
{

constexpr std::uint32_t kRxBufferBytes = 3000;
constexpr std::uint32_t kMaxReadBytes = 300;
constexpr std::uint32_t kWrapIndexBytes = 2800;

// Bytes asked for by a read stored at writeIndex. A read starting within kMaxReadBytes of the end
// is cut to the room left, so it never runs past the buffer and each chunk stays one unbroken
// stretch; the index still advances by what was read and wraps by the same rule.
constexpr std::uint32_t ReadSizeAt(std::uint32_t writeIndex)
{
    const std::uint32_t room = kRxBufferBytes - writeIndex;
    return room < kMaxReadBytes ? room : kMaxReadBytes;
}

// Where the read after one of bytesRead bytes at writeIndex is stored.
constexpr std::uint32_t NextWriteIndex(std::uint32_t writeIndex, std::uint32_t bytesRead)
{
    const std::uint32_t next = writeIndex + bytesRead;
    return next >= kWrapIndexBytes ? 0 : next;
}

// Whether a read of readSize bytes leaves intact the bytes handed to a consumer that reads them
// in place and has not done with them yet (unhandledBytes, the newest ones). They and the read
// fit in one round of the buffer with a read's length to spare, since the consumer also looks
// back that far from its chunk (the parameter record that ends in it).
constexpr bool ReadLeavesUnhandledIntact(std::uint32_t unhandledBytes, std::uint32_t readSize)
{
    return unhandledBytes + readSize + kMaxReadBytes <= kWrapIndexBytes;
}

static_assert(kWrapIndexBytes < kRxBufferBytes, "a read must find room below the wrap index");
static_assert(ReadSizeAt(kWrapIndexBytes - 1) == kRxBufferBytes - kWrapIndexBytes + 1,
              "the last read before the wrap is cut to the room left");

} // namespace serial
