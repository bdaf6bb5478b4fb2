// The reference conversion kit's converter: Motorola S-records in, a release file out.
// Portable so the native tests reach it; relconv.cpp is the console program around it.
#pragma once

#include "files/release_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kit
{
// The byte after the last block that the block count needs.
constexpr std::size_t kTrailerSize = kMinReleaseFileSize - kReleaseHeaderSize;

struct DataRecord
{
    std::uint32_t address = 0;
    std::vector<std::uint8_t> data;
    unsigned line = 0; // where it stood in the source, for messages
};

// Parses a whole S-record text (S0 to S3, S5 to S9, CR LF or LF line ends, blank lines allowed).
// Every checksum is verified, a count record must match the data records before it, and the file
// must end with its end record. false with a message naming the line on any fault.
bool ParseSRecords(const std::string& text, std::vector<DataRecord>& records, std::string& error);

enum class ReleaseKind
{
    Image,
    LanguagePack,
};

// How the records are laid out; read from a command file.
struct ReleaseLayout
{
    ReleaseKind kind = ReleaseKind::Image;
    std::uint32_t base = 0;      // the address block 0 starts at
    std::uint32_t minBlocks = 1; // fewer blocks of data is an error
    std::uint32_t maxBlocks = kMaxReleaseBlocks;
};

// Reads "key = value" lines (';' starts a comment, and so does "::" at the start of a line): kind =
// image | language-pack, base, min-blocks, max-blocks (numbers in decimal or 0x hex). Unknown keys
// are errors, so a typing slip shows.
bool ReadCommandFile(const std::string& text, ReleaseLayout& layout, std::string& error);

// Parses a block count given on the command line: 1 to kMaxReleaseBlocks.
bool ParseBlockCount(const std::string& text, std::uint32_t& blocks);

// The release file: "REL" and 'I' (image) or 'L' (language pack), the blocks from `base` on with
// every byte no record gives set to 0xFF, and one trailing 0xFF byte. false with a message for an
// address before `base`, a byte written twice, or more blocks than allowed.
bool BuildReleaseFile(const std::vector<DataRecord>& records, const ReleaseLayout& layout,
                      std::vector<std::uint8_t>& file, std::string& error);
} // namespace kit
