#include "files/release_conversion.h"

#include "files/conversion_command.h"
#include "framework/file_dialog.h"
#include "framework/scoped_handle.h"
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
constexpr char kNotCopiedMessage[] = "The file could not be copied into the temporary folder:\n";
constexpr char kNoProgramDirMessage[] =
    "The TervoloPLUS resident directory could not be made the current directory:\n";
constexpr char kNothingConverted[] = "\nNothing has been converted.";
constexpr char kTempFolderMessage[] =
    "The temporary folder cannot be handed to the conversion batch file:\n";
constexpr char kTempFolderAdvice[] = "\nIts path must hold only letters, digits and \\ : . _ - ~ "
                                     "$ # @ ' { } ` (no blanks, & ^ % ( ) !).";
constexpr char kFileNameMessage[] =
    "The file name cannot be handed to the conversion batch file:\n";
constexpr char kFileNameAdvice[] = "\nRename the file so that its name ends in .abs, .mot or .lzh.";

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

// Whether two paths name one file: the same volume and file index, whatever the names say.
bool IsSameFile(const std::string& first, const std::string& second)
{
    BY_HANDLE_FILE_INFORMATION info[2] = {};
    const std::string* paths[] = {&first, &second};
    for (int i = 0; i < 2; ++i)
    {
        // No access asked for: a file held open by another program can still be looked at.
        const CScopedHandle file(CreateFileA(paths[i]->c_str(), 0,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &info[i]))
        {
            return false;
        }
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
           info[0].nFileIndexLow == info[1].nFileIndexLow;
}

std::string ShortPathOf(const char* path)
{
    char shortPath[kShortPathSize] = {};
    const DWORD length = GetShortPathNameA(path, shortPath, kShortPathSize);
    // Without a short form the name is used as it stands; the names planned from it still have to
    // be inert for the interpreter.
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

// The names the conversion works with; a name the interpreter would act on is refused before
// anything is asked or run.
bool PlanNames(const std::string& source, const ConversionSetup& setup, ConversionView& view,
               SourceNames& names)
{
    const std::string tempDir = setup.tempDir;
    switch (PlanSourceNames(source, ShortPathOf(source.c_str()), tempDir, names))
    {
    case ConversionNameFault::None:
        return true;
    case ConversionNameFault::TempFolder:
        ConversionFailed(setup, view, (kTempFolderMessage + tempDir + kTempFolderAdvice).c_str());
        return false;
    case ConversionNameFault::FileName:
        ConversionFailed(setup, view, (kFileNameMessage + source + kFileNameAdvice).c_str());
        return false;
    }
    return false;
}

// Asks where the release file goes; false when the operator cancels.
bool AskReleaseFile(const SourceNames& names, char* releaseFolder, const ConversionSetup& setup,
                    ConversionView& view, std::string& releaseFile, std::string& chosenFolder)
{
    // Only where the dialog opens; a remembered folder that has gone leaves it in its own.
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
    chosenFolder = FolderOf(chosen);
    releaseFile = chosenFolder + ChosenBaseName(chosen) + kReleaseFileExtension;
    return true;
}

bool CopyIntoTempFolder(const std::string& source, const std::string& tempSource,
                        const ConversionSetup& setup, ConversionView& view)
{
    // An earlier copy left behind (read-only, as the copy of a read-only source is) must not be
    // converted in this source's stead.
    DeleteAnyFile(tempSource);
    if (!CopyFileA(source.c_str(), tempSource.c_str(), FALSE))
    {
        ConversionFailed(setup, view, (kNotCopiedMessage + tempSource + kNothingConverted).c_str());
        return false;
    }
    return true;
}

// Runs the batch file in the program folder; true when it left the temporary release file.
bool RunBatchFile(const std::string& line, const std::string& tempRelease,
                  const std::string& noProgramDir, const ConversionSetup& setup,
                  ConversionView& view)
{
    // The Save As dialog may have moved the current directory.
    if (!SetCurrentDirectoryA(setup.programDir))
    {
        ConversionFailed(setup, view, noProgramDir.c_str());
        return false;
    }
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
    return true;
}

// The copy of the source in the temporary folder and the release file the kit makes beside it.
struct Temporaries
{
    std::string source;
    std::string release;
    // A source lying in the temporary folder under the copy's name is the copy: it is neither
    // copied onto itself nor deleted afterwards.
    bool sourceIsCopy = false;

    void Remove() const
    {
        DeleteAnyFile(release);
        if (!sourceIsCopy)
        {
            DeleteAnyFile(source);
        }
    }
};
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
    // The batch file is looked for, and run, in the current directory.
    const std::string noProgramDir =
        kNoProgramDirMessage + std::string(setup.programDir) + kNothingConverted;
    if (!SetCurrentDirectoryA(setup.programDir))
    {
        ConversionFailed(setup, view, noProgramDir.c_str());
        return false;
    }
    const std::string source = path;
    SourceNames names;
    if (!PlanNames(source, setup, view, names))
    {
        return false;
    }

    view.TakeFileBoxTexts();
    char* releaseFolder = isImage ? setup.folders.imageRel : setup.folders.lpRel;
    std::string releaseFile;
    std::string chosenFolder;
    if (!AskReleaseFile(names, releaseFolder, setup, view, releaseFile, chosenFolder))
    {
        return false;
    }
    view.ShowFileBoxTexts();

    const std::string tempDir = setup.tempDir;
    Temporaries temporaries;
    temporaries.source = tempDir + names.shortBase + names.extension;
    temporaries.release = tempDir + names.shortBase + kReleaseFileExtension;
    temporaries.sourceIsCopy = IsSameFile(source, temporaries.source);
    if (!temporaries.sourceIsCopy && !CopyIntoTempFolder(source, temporaries.source, setup, view))
    {
        return false;
    }

    const std::string line = ConversionCommandLine(tempDir, names, isImage, lpType);
    if (!RunBatchFile(line, temporaries.release, noProgramDir, setup, view))
    {
        return false;
    }

    // An older release file left at the chosen place would otherwise be sent in its stead.
    const bool copied = CopyFileA(temporaries.release.c_str(), releaseFile.c_str(), FALSE) != FALSE;
    if (!copied || releaseFile.size() >= pathSize)
    {
        temporaries.Remove();
        const std::string message = kNotWrittenMessage + releaseFile;
        ConversionFailed(setup, view, message.c_str());
        return false;
    }
    CopyText(path, pathSize, releaseFile);
    CopyText(releaseFolder, setup.folders.folderSize, chosenFolder);
    temporaries.Remove();
    view.ShowFileBoxTexts();
    return true;
}
