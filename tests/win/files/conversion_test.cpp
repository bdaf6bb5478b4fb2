// Conversion of download files into release files under Wine, with the real command interpreter
// and the conversion kit built beside the program: the refusals, the Save As dialog, the command
// line's limit and its arguments, the failure messages and the clean-up of temporary files.
#include "conversion_support.h"
#include "files/conversion_command.h"
#include "files/release_conversion.h"
#include "framework/scoped_handle.h"
#include "res/resource.h"
#include "scratch_folder.h"
#include "test_downloader_dlg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace
{
constexpr std::size_t kPathSize = 500;
constexpr int kMessageBoxTextId = 0xFFFF;
const char* const kKitFiles[] = {"tervolo.bat",  "relconv.exe", "IMAGE.CMD",
                                 "RT47X_LP.CMD", "RT37_LP.CMD", "RT47_LP.CMD"};

std::string KitFolder()
{
    std::string folder = "Z:" TERVOLO_KIT_DIR "\\";
    for (char& c : folder)
        c = c == '/' ? '\\' : c;
    return folder;
}

// A folder of its own (path ending in a backslash, as the window keeps folders), emptied and
// removed with its owner.
class Folder
{
public:
    explicit Folder(const std::string& path)
        : m_folder(ScratchFolder::AtPath{path}), m_path(path + '\\')
    {
    }

    const std::string& Path() const { return m_path; }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found = {};
        HANDLE search = FindFirstFileA((m_path + "*").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                names.push_back(found.cFileName);
        }
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
        return names;
    }

private:
    ScratchFolder m_folder;
    std::string m_path;
};

class TestView : public ConversionView
{
public:
    void TakeFileBoxTexts() override {}
    void ShowFileBoxTexts() override {}
    void ClearStartRequest() override { startRequested = false; }
    void EndProgram(int exitCode) override { endCode = exitCode; }

    bool startRequested = true;
    int endCode = -1;
};

struct WindowSearch
{
    bool fileDialog;
    HWND found;
};

BOOL CALLBACK FindWindowOfKind(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    const bool messageBox = std::string(name) == "#32770" && IsWindowVisible(window) &&
                            !IsFileDialog(window) &&
                            GetDlgItem(window, kMessageBoxTextId) != nullptr;
    if (search->fileDialog ? IsFileDialog(window) : messageBox)
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindOfThread(DWORD thread, bool fileDialog)
{
    WindowSearch search{fileDialog, nullptr};
    EnumThreadWindows(thread, &FindWindowOfKind, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForFileDialog(DWORD thread)
{
    const ULONGLONG deadline = GetTickCount64() + kWaitLimitMs;
    HWND dialog = nullptr;
    while ((dialog = FindOfThread(thread, true)) == nullptr && GetTickCount64() < deadline)
        Sleep(10);
    return dialog;
}

// CheckDownloadFile on a thread of its own, so the test thread can play the operator.
class CheckCall
{
public:
    CheckCall(char* path, bool isImage, const ConversionSetup& setup, TestView& view)
        : m_started(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          m_done(CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
        m_thread = std::thread(
            [=, &view]
            {
                m_threadId = GetCurrentThreadId();
                SetEvent(m_started);
                m_answer = CheckDownloadFile(m_result, path, kPathSize, isImage, setup, view);
                SetEvent(m_done);
            });
        WaitForSingleObject(m_started, kWaitLimitMs);
    }
    ~CheckCall()
    {
        Finish("");
        CloseHandle(m_started);
        CloseHandle(m_done);
    }
    CheckCall(const CheckCall&) = delete;
    CheckCall& operator=(const CheckCall&) = delete;

    DWORD Thread() const { return m_threadId; }

    // Plays the operator until the call ends: a Save As dialog gets `saveAs` (an empty one is
    // cancelled), a message box OK, its text kept in boxes.
    bool Finish(const std::string& saveAs)
    {
        const ULONGLONG deadline = GetTickCount64() + kWaitLimitMs;
        while (!m_finished && WaitForSingleObject(m_done, 10) == WAIT_TIMEOUT)
        {
            const bool late = GetTickCount64() > deadline;
            if (HWND box = FindOfThread(m_threadId, false))
            {
                boxes.push_back(WindowText(GetDlgItem(box, kMessageBoxTextId)));
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                while (IsWindow(box) && GetTickCount64() < deadline)
                    Sleep(10);
            }
            else if (HWND dialog = FindOfThread(m_threadId, true))
            {
                ++dialogs;
                AnswerFileDialog(dialog, late ? std::string() : saveAs);
                while (IsWindow(dialog) && IsWindowVisible(dialog) && GetTickCount64() < deadline)
                    Sleep(10);
            }
        }
        if (!m_finished)
        {
            m_thread.join();
            m_finished = true;
        }
        return m_answer;
    }

    FileCheckResult Result() const { return m_result; }

    std::vector<std::string> boxes;
    int dialogs = 0;

private:
    HANDLE m_started;
    HANDLE m_done;
    std::thread m_thread;
    DWORD m_threadId = 0;
    bool m_answer = false;
    bool m_finished = false;
    FileCheckResult m_result = FileCheckUnknownExtension;
};

// Bytes of an image whose product field (block 64, bytes 32 on) names the model RT47.
std::vector<std::uint8_t> ImageBytes(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 1024);
    std::memcpy(&bytes[0x10020], "RT47", 4);
    return bytes;
}

class ConversionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : kKitFiles)
        {
            ASSERT_TRUE(
                CopyFileA((KitFolder() + name).c_str(), (program.Path() + name).c_str(), FALSE))
                << KitFolder() + name;
        }
        std::strcpy(imageRel, out.Path().c_str());
        std::strcpy(lpRel, out.Path().c_str());
    }

    ConversionSetup Conversion()
    {
        return {nullptr, tempDir.c_str(), program.Path().c_str(),
                BrowseFolders{imageAbs, imageRel, lpAbs, lpRel, kPathSize}};
    }

    // A source file in the sources folder; path becomes its name.
    void Source(const std::string& name, const std::string& content)
    {
        WriteFile(sources.Path() + name, content);
        std::strcpy(path, (sources.Path() + name).c_str());
    }

    // A conversion of the source that must fail with these messages, leaving the source in the
    // path, the start dropped and no temporary release file.
    void ExpectFailure(bool isImage, const std::string& saveAs,
                       const std::vector<std::string>& boxes)
    {
        const std::string source = path;
        view.startRequested = true;
        CheckCall call(path, isImage, Conversion(), view);
        EXPECT_FALSE(call.Finish(saveAs));
        EXPECT_EQ(call.Result(), FileCheckDone);
        EXPECT_EQ(call.boxes, boxes);
        EXPECT_FALSE(view.startRequested);
        EXPECT_EQ(std::string(path), source);
        EXPECT_EQ(temp.Names().size(), boxes.empty() ? 0u : 1u); // at most the source copy
        DeleteFileA((temp.Path() + FileNameOf(source)).c_str());
    }

    Folder program{TempFolder() + "conv_program"};
    Folder temp{TempFolder() + "conv_temp"};
    Folder out{TempFolder() + "conv_out"};
    Folder sources{TempFolder() + "conv_sources"};
    std::string tempDir = temp.Path();
    char imageAbs[kPathSize] = "";
    char imageRel[kPathSize] = "";
    char lpAbs[kPathSize] = "";
    char lpRel[kPathSize] = "";
    char path[kPathSize] = "";
    TestView view;
};

TEST_F(ConversionTest, MarkersAreLookedAtBeforeExtensionsAndReleaseFilesPass)
{
    const struct
    {
        const char* name;
        bool isImage;
        bool answer;
        FileCheckResult result;
    } cases[] = {
        {"main.REL", true, true, FileCheckDone},
        {"main.sre", true, false, FileCheckUnknownExtension},
        {"french.rel", false, false, FileCheckInvalidLanguagePackName},
        {"french.txt", false, false, FileCheckInvalidLanguagePackName},
        {"LPT47_fr.bin", false, false, FileCheckUnknownExtension},
    };
    for (const auto& c : cases)
    {
        Source(c.name, "x");
        FileCheckResult result = FileCheckUnknownExtension;
        EXPECT_EQ(CheckDownloadFile(result, path, kPathSize, c.isImage, Conversion(), view),
                  c.answer);
        EXPECT_EQ(result, c.result) << c.name;
    }
    EXPECT_TRUE(view.startRequested);
}

TEST_F(ConversionTest, ReadOnlyImageConvertsIntoTheChosenReleaseFileAndLeavesNoTemporaries)
{
    const std::vector<std::uint8_t> image = ImageBytes(65 * 1024 + 100);
    Source("main code.mot", MotorolaText(image));
    SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY);

    CheckCall call(path, true, Conversion(), view);
    HWND dialog = WaitForFileDialog(call.Thread());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(FileDialogName(dialog), "main code.rel");
    AnswerFileDialog(dialog, out.Path() + "out.bin"); // the typed extension gives way to .rel
    EXPECT_TRUE(call.Finish(""));
    EXPECT_EQ(call.Result(), FileCheckDone);
    EXPECT_TRUE(call.boxes.empty());
    EXPECT_EQ(std::string(path), out.Path() + "out.rel");
    EXPECT_EQ(std::string(imageRel), out.Path());
    EXPECT_TRUE(view.startRequested);
    EXPECT_EQ(out.Names(), std::vector<std::string>{"out.rel"});
    std::string expected = "RELI" + std::string(image.begin(), image.end());
    expected.resize(4 + 66 * 1024 + 1, '\xFF');
    EXPECT_EQ(ReadFile(out.Path() + "out.rel"), expected);
    EXPECT_TRUE(temp.Names().empty()); // the read-only copy of the source went as well
}

TEST_F(ConversionTest, ExistingReleaseFileIsReplacedOnceTheOperatorAgrees)
{
    Source("LPT47_fr.mot", MotorolaText(std::vector<std::uint8_t>(3000, 0x5A)));
    WriteFile(out.Path() + "french.rel", "old");
    CScopedHandle held;
    for (const bool replaceable : {true, false})
    {
        CheckCall call(path, false, Conversion(), view);
        HWND dialog = WaitForFileDialog(call.Thread());
        ASSERT_NE(dialog, nullptr);
        AnswerFileDialog(dialog, out.Path() + "french.rel");
        BoxFilter questionBox = OfThread(call.Thread());
        questionBox.except = dialog;
        const SeenMessageBox question = AnswerMessageBox(questionBox, IDYES);
        EXPECT_NE(question.text.find("already exists"), std::string::npos) << question.text;
        EXPECT_EQ(call.Finish(""), replaceable);
        if (replaceable)
        {
            EXPECT_EQ(std::string(path), out.Path() + "french.rel");
            EXPECT_EQ(std::string(lpRel), out.Path());
            EXPECT_EQ(ReadFile(out.Path() + "french.rel").size(), 4 + 3 * 1024 + 1u);
            // A release file that cannot be replaced (here: held open by another program) must
            // not be sent in the new one's stead.
            held = CScopedHandle(
                CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held.IsValid());
            Source("LPT47_fr.mot", MotorolaText(std::vector<std::uint8_t>(1000, 0x5A)));
        }
        else
        {
            EXPECT_EQ(call.boxes, std::vector<std::string>{"The release file could not be "
                                                           "written:\n" +
                                                           out.Path() + "french.rel"});
            EXPECT_EQ(std::string(path), sources.Path() + "LPT47_fr.mot");
            EXPECT_FALSE(view.startRequested);
            EXPECT_TRUE(temp.Names().empty());
        }
    }
}

TEST_F(ConversionTest, CancelledOrFailedConversionsKeepTheSourceAndTellTheOperator)
{
    const std::vector<std::string> notCreated{"The specified .rel file has not been created"};
    Source("main.mot", MotorolaText(ImageBytes(65 * 1024 + 1)));
    ExpectFailure(true, "", {}); // the dialog cancelled: no message
    // The kit cannot convert absolute files, nor a malformed Motorola file.
    Source("main.abs", "absolute");
    ExpectFailure(true, out.Path() + "main.rel", notCreated);
    Source("bad.mot", "S1050000AA\r\nS9030000FC\r\n");
    ExpectFailure(true, out.Path() + "bad.rel", notCreated);
    // No interpreter to run the batch file.
    Source("main.mot", MotorolaText(ImageBytes(65 * 1024 + 1)));
    char comspec[MAX_PATH] = {};
    GetEnvironmentVariableA("COMSPEC", comspec, MAX_PATH);
    SetEnvironmentVariableA("COMSPEC", "C:\\no such folder\\cmd.exe");
    ExpectFailure(true, out.Path() + "main.rel",
                  {"File conversion utility abnormally terminated !"});
    SetEnvironmentVariableA("COMSPEC", comspec);
    // No batch file in the program folder.
    DeleteFileA((program.Path() + "tervolo.bat").c_str());
    ExpectFailure(true, out.Path() + "main.rel",
                  {"Error carrying out command line - Check all conversion utilities\nare present "
                   "in the TervoloPLUS resident directory...\n"});
    EXPECT_TRUE(out.Names().empty());
}

TEST_F(ConversionTest, LongestCommandLineRunsAndOneOf127CharactersEndsTheProgram)
{
    // Each line holds the temporary folder, the short base name and the four-character extension
    // in fixed places, so its length is always odd: 125 is the longest that runs (the 126 limit
    // itself is tested natively). A temporary folder of 37 characters with the base LPT47
    // (type 3, eight arguments) makes 125, one of 36 with LPT47X (type 1) makes 127.
    for (const bool tooLong : {false, true})
    {
        const std::string base = tooLong ? "LPT47X" : "LPT47";
        const std::size_t folderLength = 42 - base.size();
        Folder exact("C:\\" + std::string(folderLength - 4, 'T'));
        tempDir = exact.Path();
        Source(base + ".mot", MotorolaText(std::vector<std::uint8_t>(100, 1)));
        const SourceNames names{base, ".mot", base};
        ASSERT_EQ(ConversionCommandLine(tempDir, names, false, FindLanguagePackType(path)).size(),
                  tooLong ? 127u : 125u);

        CheckCall call(path, false, Conversion(), view);
        EXPECT_EQ(call.Finish(out.Path() + base + ".rel"), !tooLong) << base;
        EXPECT_EQ(view.endCode, tooLong ? 0 : -1);
        EXPECT_EQ(call.boxes.size(), tooLong ? 1u : 0u);
        if (tooLong)
        {
            EXPECT_EQ(call.boxes[0], "File conversion command line too long!");
        }
    }
}

TEST_F(ConversionTest, NamesTheInterpreterWouldActOnConvertUnderAGeneratedNameAndNothingElseRuns)
{
    // Unquoted, the line would run pwn.bat from the program folder, which leaves a mark.
    const std::string mark = out.Path() + "ran.txt";
    WriteFile(program.Path() + "pwn.bat", "@echo ran> " + mark + "\r\n");
    int n = 0;
    for (const char* name : {"a&pwn.mot", "a^b.mot", "a%b.mot", "a(b).mot", "a!b.mot", "c d.mot"})
    {
        Source(name, MotorolaText(ImageBytes(65 * 1024 + 1)));
        const std::string release = out.Path() + "x" + std::to_string(++n) + ".rel";
        CheckCall call(path, true, Conversion(), view);
        EXPECT_TRUE(call.Finish(release)) << name;
        EXPECT_TRUE(call.boxes.empty()) << name;
        EXPECT_EQ(std::string(path), release);
    }
    EXPECT_TRUE(view.startRequested);
    EXPECT_EQ(GetFileAttributesA(mark.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(temp.Names().empty());

    // A temporary folder the interpreter would act on cannot be made safe: refused at once.
    Folder unsafe(TempFolder() + "conv temp&x");
    tempDir = unsafe.Path();
    Source("main.mot", MotorolaText(ImageBytes(65 * 1024 + 1)));
    CheckCall call(path, true, Conversion(), view);
    EXPECT_FALSE(call.Finish(out.Path() + "main.rel"));
    EXPECT_EQ(call.dialogs, 0);
    EXPECT_EQ(call.boxes, std::vector<std::string>{
                              "The temporary folder cannot be handed to the conversion batch "
                              "file:\n" +
                              tempDir +
                              "\nIts path must hold only letters, digits and \\ : . _ - ~ $ # @ "
                              "' { } ` (no blanks, & ^ % ( ) !)."});
    EXPECT_FALSE(view.startRequested);
    EXPECT_TRUE(unsafe.Names().empty());
}

// A recording batch file in place of the kit's: what the program hands it, and that the release
// file of an earlier run is gone before it runs.
TEST_F(ConversionTest, BatchFileGetsItsArgumentsAndNoStaleReleaseFile)
{
    WriteFile(program.Path() + "tervolo.bat",
              "@if exist %4%5.rel echo stale>>args.txt\r\n@echo %*>>args.txt\r\n");
    const struct
    {
        const char* name;
        bool isImage;
        const char* tail; // arguments 3, 6, 7 and 8
    } cases[] = {
        {"FIRMWARE.ABS", true, ".abs RT50 IMAGE.CMD"},
        {"LPT47X.MOT", false, ".mot RT50 RT47X_LP.CMD 2048"},
        {"LPT37.MOT", false, ".mot RT50 RT37_LP.CMD 576"},
        {"LPT47.LZH", false, ".lzh RT50 RT47_LP.CMD 448"},
        {"A&B.ABS", true, ".abs RT50 IMAGE.CMD"},
    };
    for (const auto& c : cases)
    {
        Source(c.name, "x");
        const std::string name = c.name;
        const std::string base = name.find('&') == std::string::npos
                                     ? name.substr(0, name.size() - 4)
                                     : GeneratedBaseName(path);
        WriteFile(tempDir + base + ".rel", "stale");
        DeleteFileA((program.Path() + "args.txt").c_str());
        const std::string tail = c.tail;
        const std::string extension = tail.substr(0, 4);
        ExpectFailure(c.isImage, out.Path() + "r.rel",
                      {"The specified .rel file has not been created"});
        DeleteFileA((tempDir + base + extension).c_str());
        EXPECT_EQ(ReadFile(program.Path() + "args.txt"), tempDir + " " + base + " " + extension +
                                                             " " + tempDir + " " + base +
                                                             tail.substr(4) + "\r\n")
            << c.name;
    }
}

// The temporary copy of an earlier conversion, held by another program so that it can be read
// but neither replaced nor deleted, must not be converted in the new source's stead.
TEST_F(ConversionTest, TemporaryCopyThatCannotBeReplacedFailsTheConversion)
{
    const std::string copy = temp.Path() + "MAIN.mot";
    Source("MAIN.MOT", MotorolaText(ImageBytes(66 * 1024 + 1)));
    for (const bool held : {true, false})
    {
        SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
        WriteFile(copy, MotorolaText(ImageBytes(65 * 1024 + 1)));
        SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY);
        CScopedHandle holder(held ? CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, 0, nullptr)
                                  : nullptr);
        view.startRequested = true;
        CheckCall call(path, true, Conversion(), view);
        EXPECT_EQ(call.Finish(out.Path() + "main.rel"), !held);
        if (held)
        {
            EXPECT_EQ(call.boxes,
                      std::vector<std::string>{"The file could not be copied into the temporary "
                                               "folder:\n" +
                                               copy + "\nNothing has been converted."});
            EXPECT_EQ(std::string(path), sources.Path() + "MAIN.MOT");
            EXPECT_FALSE(view.startRequested);
            EXPECT_TRUE(out.Names().empty());
        }
        else
        {
            // The earlier read-only copy gave way to the new source.
            EXPECT_EQ(ReadFile(out.Path() + "main.rel").size(), 4 + 67 * 1024 + 1u);
            EXPECT_TRUE(temp.Names().empty());
        }
    }
}

// Through the window: the image converts, the language pack then fails; the image box keeps the
// release file so the next start sends it without converting again.
TEST(ConversionWindowTest, ImageConvertedThenFailingLanguagePackKeepsTheImageReleaseFile)
{
    Folder program(TempFolder() + "conv_win_program");
    Folder temp(TempFolder() + "conv_win_temp");
    Folder out(TempFolder() + "conv_win_out");
    for (const char* name : kKitFiles)
        CopyFileA((KitFolder() + name).c_str(), (program.Path() + name).c_str(), FALSE);
    const std::string image = temp.Path() + "image.mot";
    const std::string languagePack = out.Path() + "LPT47_fr.abs";
    const std::string imageText = MotorolaText(ImageBytes(65 * 1024 + 1));
    WriteFile(image, imageText); // lies in the temporary folder under its own short name
    WriteFile(languagePack, "absolute");

    RunningMainWindow window;
    ASSERT_TRUE(window.thread->Started());
    ChooseModel(window.thread->Window(), window.thread->Item(IDC_MOBILE_MODEL), "RT47");
    SendMessageA(window.thread->Item(IDC_MAIN_CODE_BUTTON), BM_CLICK, 0, 0);
    SendMessageA(window.thread->Item(IDC_LANGUAGE_PACK_BUTTON), BM_CLICK, 0, 0);
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            std::strcpy(d.m_programDir, program.Path().c_str());
            std::strcpy(d.m_tempDir, temp.Path().c_str());
            std::strcpy(d.m_imagePath, image.c_str());
            std::strcpy(d.m_lpPath, languagePack.c_str());
            d.UpdateData(false);
        });

    AsyncSend click(window.thread->Item(IDC_START_DOWNLOAD), BM_CLICK);
    for (const char* chosen : {"main.rel", "french.rel"})
    {
        HWND dialog = WaitForFileDialog(window.thread->Thread());
        ASSERT_NE(dialog, nullptr) << chosen;
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), window.thread->Window());
        AnswerFileDialog(dialog, out.Path() + chosen);
        while (IsWindow(dialog) && IsWindowVisible(dialog))
            Sleep(10);
    }
    const SeenMessageBox box = AnswerMessageBox(OfThread(window.thread->Thread()), IDOK);
    click.Wait();
    EXPECT_EQ(box.text, "The specified .rel file has not been created");
    EXPECT_EQ(box.owner, window.thread->Window());

    window.Run(
        [&](TestDownloaderDlg& d)
        {
            EXPECT_FALSE(d.m_session.Running());
            EXPECT_EQ(std::string(d.ImageRelBrowseDirectory), out.Path());
        });
    EXPECT_EQ(WindowText(window.thread->Item(IDC_IMAGE_FILE)), out.Path() + "main.rel");
    EXPECT_EQ(WindowText(window.thread->Item(IDC_LANGUAGE_PACK_FILE)), languagePack);
    EXPECT_NE(GetFileAttributesA((out.Path() + "main.rel").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFile(image), imageText); // it was its own temporary copy, and is still there
}
} // namespace
