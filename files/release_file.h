// Release files (.rel), as the download reads them: a 4-byte header, then 1024-byte blocks,
// then at least one byte more. The image carries its model code at 0x10024 (block 64, bytes
// 32 to 47), the language pack its model field at offset 6 (block 0, bytes 2 to 9).
#pragma once

#include "protocol/frames.h"
#include "protocol/model_check.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr std::size_t kReleaseHeaderSize = 4;
// Header plus the byte that always follows the last whole block: the least a file can hold for
// the block count to mean anything.
constexpr std::uint64_t kMinReleaseFileSize = kReleaseHeaderSize + 1;
constexpr unsigned kBlockSizeShift = 10; // 1024-byte blocks
constexpr long kImageProductFieldOffset = 0x10024;
constexpr std::size_t kImageProductFieldSize = 16;
constexpr long kLpModelFieldOffset = 6;
constexpr std::uint8_t kBlankByte = 0xFF;

// Block numbers go into the frame as 14 bits: the high byte's 0x40 marks a language-pack block,
// so 0x4000 blocks (16 MiB) is the most a file can have.
constexpr std::uint64_t kMaxReleaseBlocks = 0x4000;

// Whether a file of this length can be measured in blocks at all.
bool HoldsReleaseBlocks(std::uint64_t length);

// Whether every block of a file of this length can be numbered in the frame.
bool FitsBlockNumbering(std::uint64_t length);

// (length - 5) shifted right by 10, kept to 32 bits. Only for lengths that HoldsReleaseBlocks.
std::uint32_t ReleaseBlockCount(std::uint64_t length);

// Reads block `block` of an open release file into data (kBlockDataSize bytes) with one seek
// and one read. Bytes the file does not hold are set to 0xFF. Returns how many bytes came from
// the file.
std::size_t ReadReleaseBlock(std::FILE* file, std::uint32_t block, std::uint8_t* data);

// True when all kBlockDataSize bytes are 0xFF: such a block is never sent.
bool IsBlankBlock(const std::uint8_t* data);

// The image's model code: the first four characters of its product field, the second replaced
// by a blank. Bytes the file does not hold read as zeros.
void ReadImageModel(std::FILE* file, char model[kImageModelSize]);

// The language pack's 8-character model field. Bytes the file does not hold read as zeros.
void ReadLpModel(std::FILE* file, char model[kLpModelSize]);

// Goes back to the start and reads the header, leaving the file at its first data byte.
void SkipReleaseHeader(std::FILE* file);
