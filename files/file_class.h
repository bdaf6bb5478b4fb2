// How a file offered for download is classed by its path: sent as it is, converted into a release
// file first, or refused; and which language pack a path names.
#pragma once

// Why CheckDownloadFile refused a file. FileCheckDone also covers a conversion that was tried and
// cancelled or failed: it has told the operator itself.
enum FileCheckResult
{
    FileCheckDone = 0,
    FileCheckUnknownExtension = 1,
    FileCheckInvalidLanguagePackName = 2,
};

// The kinds of language pack, each known by a marker in its path. The numbers are the types the
// conversion is given.
enum LanguagePackType
{
    LanguagePackNone = 0,
    LanguagePackRt47X = 1,
    LanguagePackRt37 = 2,
    LanguagePackRt47 = 3,
};

// The language-pack type named anywhere in the path, folders included, in either case. "LPT47X"
// is looked for before "LPT47", which it contains.
LanguagePackType FindLanguagePackType(const char* path);

enum class FileTreatment
{
    Send,    // a release file
    Convert, // absolute, Motorola or compressed form: converted into a release file first
    Refuse,
};

// Decided by the last three characters of the path in either case; no dot needs to precede them.
FileTreatment TreatmentOf(const char* path);

// A release file is known by the last three characters of its path, "rel" in either case.
bool HasReleaseExtension(const char* path);
