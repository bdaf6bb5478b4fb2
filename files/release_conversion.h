// The check of a file offered for download and its conversion into a release file through the
// batch file "tervolo.bat" in the program folder. The window reaches it through this narrow
// interface: its handle, its folders and a small view of its two file boxes.
#pragma once

#include "files/file_class.h"

#include <windows.h>

#include <cstddef>

// What the conversion needs of the window that holds the file boxes.
class ConversionView
{
public:
    // Take the texts of both file boxes into the path fields (a path being checked is one of them).
    virtual void TakeFileBoxTexts() = 0;
    // Show both path fields in their file boxes.
    virtual void ShowFileBoxTexts() = 0;
    // The start request is dropped when a conversion is cancelled or fails.
    virtual void ClearStartRequest() = 0;
    // A conversion command line too long to run ends the program.
    virtual void EndProgram(int exitCode) = 0;

protected:
    ~ConversionView() = default;
};

// The remembered folders of the Browse... and Save As dialogs, each a buffer of folderSize
// characters ending in a backslash (or empty). The conversion uses and sets the release ones.
struct BrowseFolders
{
    char* imageAbs;
    char* imageRel;
    char* lpAbs;
    char* lpRel;
    std::size_t folderSize;
};

struct ConversionSetup
{
    HWND owner;             // owns the dialog and the message boxes
    const char* tempDir;    // ends in a backslash
    const char* programDir; // ends in a backslash; holds the batch file and what it calls
    BrowseFolders folders;
};

// Decides whether the file at `path` (one of the view's path fields, pathSize characters) is sent,
// converting it first where needed. true: path now names a release file. false: result says why,
// FileCheckDone meaning that a conversion was cancelled or failed and has told the operator.
bool CheckDownloadFile(FileCheckResult& result, char* path, std::size_t pathSize, bool isImage,
                       const ConversionSetup& setup, ConversionView& view);

// Asks where the release file goes and runs the batch file; true when path names the new release
// file. lpType means nothing for an image.
bool ConvertToRelease(char* path, std::size_t pathSize, bool isImage, LanguagePackType lpType,
                      const ConversionSetup& setup, ConversionView& view);
