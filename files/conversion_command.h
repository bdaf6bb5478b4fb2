// The names a conversion into a release file derives from its paths, and the command line that
// runs the conversion batch file. Paths are Windows paths; the last '\' separates folder and name.
#pragma once

#include "files/file_class.h"

#include <cstddef>
#include <string>

// The conversion batch file, looked for in the program folder, which is its working folder.
constexpr char kConversionBatchFile[] = "tervolo.bat";
// The model argument the batch file is given for every conversion, whatever the window shows.
constexpr char kConversionModelArgument[] = "RT50";
constexpr char kImageCommandFile[] = "IMAGE.CMD";
constexpr char kReleaseFileExtension[] = ".rel";
// The longest command line the conversion runs, in characters; a longer one ends the program.
constexpr std::size_t kMaxConversionCommandLine = 126;

// Names taken from the source path and its short (8.3) form.
struct SourceNames
{
    std::string shortBase; // short file name less its last four characters
    std::string extension; // last four characters of the short file name, lower case, dot included
    std::string longBase;  // long file name less its last four characters
};

// False when the short file name has nothing left before its four-character extension: such a
// name would leave the temporary files without a name of their own. What can be taken (the
// extension, the long base name) is filled in all the same.
bool DeriveSourceNames(const std::string& path, const std::string& shortPath, SourceNames& names);

// Which path keeps a conversion from being handed safely to the batch file.
enum class ConversionNameFault
{
    None,
    TempFolder, // the temporary folder holds characters the interpreter acts on
    FileName,   // the file's own extension does
};

// The names the batch file is given for the source at `path`, whose short form is `shortPath`
// (the path itself on volumes without short names). Where the short base name is empty or holds
// characters the interpreter acts on, a generated one takes its place; the extension is the
// file's own, since it tells the batch file what to convert.
ConversionNameFault PlanSourceNames(const std::string& path, const std::string& shortPath,
                                    const std::string& tempDir, SourceNames& names);

// A base name of eight letters and digits for the temporary files of the source at `path`: the
// same for the same path, whatever the case of its letters.
std::string GeneratedBaseName(const std::string& path);

// The folder (up to and including the last backslash) and the name after it.
std::string FolderOf(const std::string& path);
std::string FileNameOf(const std::string& path);

// The release file's base name from the path chosen in the Save As dialog: its name with any
// extension (from the last dot of the name) dropped.
std::string ChosenBaseName(const std::string& chosenPath);

// "tervolo.bat <temp> <base> <ext> <temp> <base> RT50 <command file> [<number>]": seven arguments
// for an image, eight for a language pack, none quoted.
std::string ConversionCommandLine(const std::string& tempDir, const SourceNames& names,
                                  bool isImage, LanguagePackType type);

bool CommandLineFits(const std::string& commandLine);

// The command line goes to the command interpreter unquoted, and the short names may hold
// characters it acts on (a file a&calc.abs would run calc). Only characters it passes on untouched
// count as inert: letters, digits, bytes of the ANSI code page above 127, and \ : . _ - ~ $ # @
// ' { } `. Blanks, which would split an argument, are not.
bool IsInertForInterpreter(const std::string& text);
