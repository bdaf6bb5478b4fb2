// Hex strings and numbers of the control channel. Hex strings are pairs of hex digits
// without separators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim
{

// Upper-case hex of the bytes.
std::string ToHex(const std::uint8_t* bytes, std::size_t count);
std::string ToHex(const std::vector<std::uint8_t>& bytes);

// Upper- or lower-case digit pairs; false on an odd length or a non-hex character.
bool ParseHex(std::string_view text, std::vector<std::uint8_t>& bytes);

// An unsigned number in decimal, or in hex after "0x"; false if anything else is there.
bool ParseUnsigned(std::string_view text, std::uint64_t& value);

} // namespace sim
