// The texts of the download's progress display: the three percentage boxes, the rewritten
// "Sending Block" report line and the download-time box. Each text lands in a small buffer of
// its own, so a block costs no allocation.
#pragma once

#include "protocol/frames.h"

#include <cstddef>
#include <cstdint>

// Blocks 0 to 63 of an image are its boot-code region, the rest its main-code region.
constexpr std::uint32_t kBootBlockCount = 64;
constexpr std::uint32_t kLastBootBlock = kBootBlockCount - 1;

struct ProgressText
{
    static constexpr std::size_t kSize = 48;
    char text[kSize] = {};
    const char* c_str() const { return text; }
};

enum class ProgressBar
{
    LanguagePack,
    MainCode, // the image's blocks from 64 on
    BootCode, // the image's blocks 0 to 63
};

enum class ImageRegion
{
    Boot,    // blocks 0..63
    Main,    // blocks 64..count-1
    Invalid, // any other block number: "Invalid Block Number!"
};

ImageRegion RegionOfImageBlock(std::uint32_t block, std::uint32_t mainBlockCount);

// Whether a language-pack block number lies inside its file.
bool IsLanguagePackBlock(std::uint32_t block, std::uint32_t lpBlockCount);

// Boot-code box: "%d%%" of (block / 63) * 100 in whole numbers, so 0% until block 63 reads 100%.
ProgressText BootPercentText(std::uint32_t block);

// Main-code box: "%3.0f%%" of (block - 64) / (mainBlockCount - 65) * 100. A main-code region of
// a single block (mainBlockCount 65) has nothing to divide by: its one block reads "100%".
ProgressText MainPercentText(std::uint32_t block, std::uint32_t mainBlockCount);

// Language-pack box: "%3.0f%%" of block / (lpBlockCount - 1) * 100; a one-block language pack
// reads "100%".
ProgressText LanguagePackPercentText(std::uint32_t block, std::uint32_t lpBlockCount);

// "Sending Block 0x%04x of 0x%04x" with the block and the section's last block number.
ProgressText SendingBlockText(std::uint32_t block, std::uint32_t blockCount);

// What a block shows as its frame goes out, whichever front end shows it: the bar it moves to
// the block's number with its box's text, and the "Sending Block" line. A number outside its
// file moves no bar ("Invalid Block Number!").
struct BlockProgress
{
    bool inFile = false;
    ProgressBar bar = ProgressBar::MainCode;
    ProgressText percent;
    ProgressText sendingLine;
};

// `blockCount` is the section's file's: the image's for the main code (boot region included),
// the language pack's for it.
BlockProgress ProgressOfBlock(Section section, std::uint32_t block, std::uint32_t blockCount);

// Download time: "%02dm%02ds" of the whole seconds (minutes above 99 take more digits).
ProgressText ElapsedTimeText(double seconds);

// How many of a bar's `width` pixels a position fills, for a range whose ends are the 16-bit
// values the bar was given. A bar need not be redrawn for a position that fills the same number
// as the last one.
int FilledPixels(int position, std::uint16_t lower, std::uint16_t upper, int width);
