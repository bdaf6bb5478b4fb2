// How the settings are kept in the registry: every value is a text. Flags are "1"/"0", list
// positions "%d", and a long text goes with a companion value, named as the text's value with
// "Length" appended, that holds its length in "%04d". These rules are plain functions so that they
// can be checked without a registry.
#pragma once

#include <cstddef>
#include <string>

// Room of every text read from or written to the store, its terminating zero included: preset
// names, folders and file names stay below this many characters.
constexpr std::size_t kRegistryTextSize = 500;
// Room of a "%04d" length or count as read back: four digits and the terminating zero.
constexpr std::size_t kLengthTextSize = 5;
// Room of a flag or a one-digit index as read back.
constexpr std::size_t kFlagTextSize = 2;
constexpr std::size_t kIndexTextSize = 2;
// The presence test of a preset reads its "MainCodeDownload" into this much room.
constexpr std::size_t kPresenceTextSize = 5;

// The longest key name the registry takes.
constexpr std::size_t kMaxKeyNameLength = 255;

constexpr char kLengthSuffix[] = "Length";

// "1" for on, "0" for off.
const char* FlagText(bool on);
// On exactly when the first character is "1".
bool FlagFromText(const char* text);

// A list position in "%d"; no selection (-1) is "-1".
std::string IndexText(int index);
// The first character minus "0": "-1" gives -3, which is no position of any list.
int IndexFromText(const char* text);
// A position read back that a list of `count` entries does not have selects nothing (-1).
int SelectableIndex(int index, int count);

// A length or count in "%04d".
std::string LengthText(std::size_t length);
// The decimal number at the start of a length or count text; false when it has no digit.
bool LengthFromText(const char* text, std::size_t& length);

// Name of the value that holds the length of value `name`.
std::string LengthValueName(const char* name);

// Copies `source` (of `length` bytes, not necessarily zero-terminated) into `buffer` of `size`
// bytes, always zero-terminated. A text that does not fit is cut to size - 1 characters and the
// result is false.
bool CopyCut(char* buffer, std::size_t size, const char* source, std::size_t length);

// Room to read a text of the given stored length into, never more than the buffer has.
std::size_t TextReadSize(std::size_t storedLength, std::size_t bufferSize);
