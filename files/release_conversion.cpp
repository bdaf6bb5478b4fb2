#include "files/release_conversion.h"

#include "files/conversion_command.h"
#include "framework/file_dialog.h"
#include "framework/message_box.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
constexpr char kReleaseFileFilter[] = "Release Files (*.rel)|*.rel|All Files (*.*)|*.*||";
constexpr char kReleaseDefaultExtension[] = "rel";
constexpr DWORD kShortPathSize = 500;
constexpr int kInterpreterNotStarted = -1;
constexpr int kTooLongExitCode = 0;

constexpr char kTooLongMessage[] = "File conversion command line too long!";
constexpr char kBatchMissingMessage[] =
    "Error carrying out command line - Check all conversion utilities\n"
    "are present in the TervoloPLUS resident directory...\n";
constexpr char kAbnormalEndMessage[] = "File conversion utility abnormally terminated !";
constexpr char kNotCreatedMessage[] = "The specified .rel file has not been created";
constexpr char kNotWrittenMessage[] = "The release file could not be written:\n";

bool FileExists(const std::string& path)
{
    WIN32_FIND_DATAA found = {};
    const HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
    {
        return false;
    }
    FindClose(search);
    return true;
}

// Deletes a file even when it is read-only, as the copy of a read-only source is.
void DeleteAnyFile(const std::string& path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

std::string ShortPathOf(const char* path)
{
    char shortPath[kShortPathSize] = {};
    const DWORD length = GetShortPathNameA(path, shortPath, kShortPathSize);
    // Without a short form the name is used as it stands; the checks below still apply to it.
    return length == 0 || length >= kShortPathSize ? std::string(path) : std::string(shortPath);
}

void CopyText(char* destination, std::size_t size, const std::string& text)
{
    std::snprintf(destination, size, "%s", text.c_str());
}

void ConversionFailed(const ConversionSetup& setup, ConversionView& view, const char* message)
{
    view.ClearStartRequest();
    AppMessageBox(setup.owner, message);
}
} // namespace

bool CheckDownloadFile(FileCheckResult& result, char* path, std::size_t pathSize, bool isImage,
                       const ConversionSetup& setup, ConversionView& view)
{
    result = FileCheckDone;
    view.TakeFileBoxTexts();

    LanguagePackType type = LanguagePackNone;
    if (!isImage)
    {
        type = FindLanguagePackType(path);
        if (type == LanguagePackNone)
        {
            result = FileCheckInvalidLanguagePackName;
            return false;
        }
    }

    switch (TreatmentOf(path))
    {
    case FileTreatment::Convert:
        view.ShowFileBoxTexts();
        return ConvertToRelease(path, pathSize, isImage, type, setup, view);
    case FileTreatment::Send:
        view.ShowFileBoxTexts();
        return true;
    case FileTreatment::Refuse:
        break;
    }
    result = FileCheckUnknownExtension;
    return false;
}

bool ConvertToRelease(char* path, std::size_t pathSize, bool isImage, LanguagePackType lpType,
                      const ConversionSetup& setup, ConversionView& view)
{
    SetCurrentDirectoryA(setup.programDir);
    const std::string source = path;
    SourceNames names;
    const std::string shortPath = ShortPathOf(path);
    const std::string tempDir = setup.tempDir;
    if (!DeriveSourceNames(source, shortPath, names) || !IsInertForInterpreter(tempDir) ||
        !IsInertForInterpreter(names.shortBase) || !IsInertForInterpreter(names.extension))
    {
        // Refused before anything is asked or run: the interpreter would act on such a name.
        const std::string message = "The file name cannot be handed to the conversion batch "
                                    "file:\n" +
                                    source +
                                    "\nRename the file so that its name holds only letters, "
                                    "digits and _ - ~ $ # @ ' { } ` (no blanks, & ^ % ( ) !).";
        ConversionFailed(setup, view, message.c_str());
        return false;
    }

    view.TakeFileBoxTexts();
    char* releaseFolder = isImage ? setup.folders.imageRel : setup.folders.lpRel;
    SetCurrentDirectoryA(releaseFolder);

    CFileDialog dialog(false, kReleaseFileFilter, setup.owner);
    dialog.m_ofn.lpstrDefExt = kReleaseDefaultExtension;
    if (releaseFolder[0] != '\0')
    {
        dialog.m_ofn.lpstrInitialDir = releaseFolder; // newer systems ignore the current folder
    }
    dialog.SetPathName((names.longBase + kReleaseFileExtension).c_str());
    if (!dialog.DoModal())
    {
        view.ClearStartRequest();
        return false;
    }
    const std::string chosen = dialog.GetPathName();
    const std::string chosenFolder = FolderOf(chosen);
    const std::string releaseFile = chosenFolder + ChosenBaseName(chosen) + kReleaseFileExtension;
    view.ShowFileBoxTexts();

    const std::string tempSource = tempDir + names.shortBase + names.extension;
    const std::string tempRelease = tempDir + names.shortBase + kReleaseFileExtension;
    CopyFileA(source.c_str(), tempSource.c_str(), FALSE);

    const std::string line = ConversionCommandLine(tempDir, names, isImage, lpType);
    SetCurrentDirectoryA(setup.programDir);
    if (!CommandLineFits(line))
    {
        AppMessageBox(setup.owner, kTooLongMessage);
        view.EndProgram(kTooLongExitCode);
        return false;
    }
    if (!FileExists(kConversionBatchFile))
    {
        ConversionFailed(setup, view, kBatchMissingMessage);
        return false;
    }

    // A release file left from an earlier run must not pass for this conversion's output.
    DeleteAnyFile(tempRelease);
    if (std::system(line.c_str()) == kInterpreterNotStarted)
    {
        ConversionFailed(setup, view, kAbnormalEndMessage);
        return false;
    }
    if (!FileExists(tempRelease))
    {
        ConversionFailed(setup, view, kNotCreatedMessage);
        return false;
    }

    // An older release file left at the chosen place would otherwise be sent in its stead.
    const bool copied = CopyFileA(tempRelease.c_str(), releaseFile.c_str(), FALSE) != FALSE;
    if (!copied || releaseFile.size() >= pathSize)
    {
        DeleteAnyFile(tempRelease);
        DeleteAnyFile(tempSource);
        const std::string message = kNotWrittenMessage + releaseFile;
        ConversionFailed(setup, view, message.c_str());
        return false;
    }
    CopyText(path, pathSize, releaseFile);
    CopyText(releaseFolder, setup.folders.folderSize, chosenFolder);
    DeleteAnyFile(tempRelease);
    DeleteAnyFile(tempSource);
    view.ShowFileBoxTexts();
    return true;
}
