#pragma once

#include <cstddef>
#include <cstdint>

// How long a write may take before the device counts as no longer taking data: twice the time
// the bytes need on the line at its rate, plus a second for the driver and the adapter.
namespace serial
{

constexpr std::uint32_t kBitsPerCharacter = 10; // start bit, 8 data bits, stop bit
constexpr std::uint32_t kWriteMarginMs = 1000;

constexpr std::uint32_t WriteBoundMs(std::size_t bytes, std::uint32_t baudRate)
{
    const std::uint64_t lineMs =
        baudRate == 0 ? 0 : std::uint64_t{bytes} * kBitsPerCharacter * 1000 / baudRate;
    return static_cast<std::uint32_t>(2 * lineMs + kWriteMarginMs);
}

// The bytes' time on the line, rounded up to whole milliseconds.
constexpr std::uint32_t LineTimeMs(std::size_t bytes, std::uint32_t baudRate)
{
    return baudRate == 0
               ? 0
               : static_cast<std::uint32_t>(
                     (std::uint64_t{bytes} * kBitsPerCharacter * 1000 + baudRate - 1) / baudRate);
}

static_assert(WriteBoundMs(1028, 115200) == 2 * 89 + 1000, "a block at 115200 baud");
static_assert(LineTimeMs(4, 115200) == 1 && LineTimeMs(4, 19200) == 3, "a short frame");

} // namespace serial
