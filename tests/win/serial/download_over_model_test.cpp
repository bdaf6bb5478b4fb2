// Whole downloads through the Win32 channel over the strict driver model, with the simulator's
// handset in process at the far end of the wire: the session, the engine and the channel as the
// window runs them, the window's part played by a message-only window that forwards
// notifications and timer ticks as the main window does.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "download/download_platform_win.h"
#include "download/download_session.h"
#include "release_content.h"
#include "scratch_folder.h"
#include "serial/serial_io_win.h"
#include "wire_handset.h"

namespace
{

const char kWindowClass[] = "TervoloModelSessionWindow";
constexpr DWORD kDownloadTimeoutMs = 120000;
const char kSuccess[] = "Download completed successfully...";

// What the window would show: report lines and boxes; boxes are answered OK (or Yes).
class RecordingView : public DownloadView
{
public:
    explicit RecordingView(HWND window) : m_window(window) {}

    std::vector<std::string> report;
    std::vector<std::string> added; // every line added, also those a later line replaced
    std::vector<std::string> boxes;

    void AddReportLine(const char* text) override
    {
        report.push_back(text);
        added.push_back(text);
    }
    void ReplaceLastReportLine(const char* text) override
    {
        if (!report.empty())
            report.pop_back();
        report.push_back(text);
    }
    void ClearReport() override { report.clear(); }
    void SetProgressRange(ProgressBar, std::uint16_t, std::uint16_t) override {}
    void SetProgress(ProgressBar, int) override {}
    void ShowPercent(ProgressBar, const char*) override {}
    void ResetProgress() override {}
    void ShowDownloadTime(const char*) override {}
    void ResetDownloadTime(const char*) override {}
    void LockSettings() override {}
    void UnlockSettings() override {}
    void ShowRunning(bool) override {}
    BoxAnswer ShowBox(const BoxRequest& box) override
    {
        boxes.push_back(box.text);
        return box.buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
    }
    void StartTimer(unsigned id, unsigned periodMs) override
    {
        SetTimer(m_window, id, periodMs, nullptr);
    }
    void StopTimer(unsigned id) override { KillTimer(m_window, id); }
    bool CheckDownloadFile(FileCheckResult& result, char*, bool) override
    {
        result = FileCheckDone;
        return true;
    }
    void EndProgram(int exitCode) override { ADD_FAILURE() << "program ended with " << exitCode; }

private:
    HWND m_window;
};

// The Win32 machine, its channels opened over the model's port.
class ModelPlatform : public CWin32DownloadPlatform
{
public:
    ModelPlatform(HWND window, StrictCommDriver& driver)
        : CWin32DownloadPlatform(window), m_window(window), m_driver(driver)
    {
    }
    bool PortCanBeOpened(const char*) override { return !m_driver.IsOpen(); }
    std::unique_ptr<SerialChannel> OpenChannel(const char* portName, std::uint32_t baudRate,
                                               serial::FailureReport& report) override
    {
        return std::make_unique<CSerialIO>(portName, baudRate, NOPARITY, 8, ONESTOPBIT, m_window,
                                           report, m_driver);
    }

private:
    HWND m_window;
    StrictCommDriver& m_driver;
};

class DownloadOverModelTest : public ::testing::Test
{
protected:
    DownloadOverModelTest()
    {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &DownloadOverModelTest::WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kWindowClass;
        RegisterClassA(&windowClass); // fails harmlessly when an earlier test registered it
        m_window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
        view = std::make_unique<RecordingView>(m_window);
        platform = std::make_unique<ModelPlatform>(m_window, handset.Driver());
        session = std::make_unique<CDownloadSession>(*view, *platform);
        SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(session.get()));
    }
    ~DownloadOverModelTest() override
    {
        session->Shutdown();
        DestroyWindow(m_window);
    }

    std::string File(const char* name, const std::string& content)
    {
        return m_files.Write(name, content);
    }

    // An RT47 download of the image and the language pack at 115200 baud.
    DownloadChoices Choices()
    {
        DownloadChoices choices;
        choices.mainCode = true;
        choices.languagePack = true;
        choices.portIndex = 0;
        choices.baudIndex = 0;
        std::snprintf(choices.modelName, sizeof choices.modelName, "RT47");
        std::snprintf(choices.imagePath, sizeof choices.imagePath, "%s",
                      File("model_image.rel", Rt47Image(66)).c_str());
        std::string pack = ReleaseFileContent(3);
        std::memcpy(&pack[6], "RT47    ", 8); // the language pack's model field
        std::snprintf(choices.lpPath, sizeof choices.lpPath, "%s",
                      File("LPT47_model.rel", pack).c_str());
        return choices;
    }

    // Pumps the window's messages until done() holds or the time is up.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kDownloadTimeoutMs)
    {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (!done())
        {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                      QS_ALLINPUT);
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
        }
        return true;
    }

    bool Reported(const std::string& line) const
    {
        return std::find(view->report.begin(), view->report.end(), line) != view->report.end();
    }

    ScratchFolder m_files{"over-model"}; // outlives the session that reads them
    WireHandset handset;                 // outlives the session and its channels
    std::unique_ptr<RecordingView> view;
    std::unique_ptr<ModelPlatform> platform;
    std::unique_ptr<CDownloadSession> session;

private:
    // The main window's routing of the channel's messages and its timers.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* session =
            reinterpret_cast<CDownloadSession*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (session == nullptr)
            return DefWindowProcA(window, message, wParam, lParam);
        switch (message)
        {
        case WM_SERIAL_DATA:
            session->OnSerialData(wParam, reinterpret_cast<const std::uint8_t*>(lParam));
            return 0;
        case WM_SERIAL_FAILURE:
            session->OnChannelFailure(reinterpret_cast<const char*>(lParam),
                                      reinterpret_cast<const char*>(wParam));
            return 0;
        case WM_TIMER:
            session->OnTimer(static_cast<unsigned>(wParam));
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
        }
    }

    HWND m_window = nullptr;
};

// The image and the language pack, the rate change to 115200 baud and a failed erase that is
// retried: everything the handset answers is read, nothing the PC sends is lost or misheard.
TEST_F(DownloadOverModelTest, ImageAndLanguagePackWithARateChangeAndAnEraseRetry)
{
    handset.With(
        [](sim::Handset& h)
        {
            std::string error;
            ASSERT_TRUE(h.Faults().Add({"erase_fail", "1"}, error)) << error;
        });
    session->OnStartStop(Choices());
    ASSERT_TRUE(session->Running());
    EXPECT_TRUE(PumpUntil([this] { return !session->Running(); }))
        << "last line: " << (view->report.empty() ? "" : view->report.back());
    EXPECT_EQ(kSuccess, view->report.empty() ? "" : view->report.back());
    EXPECT_TRUE(Reported("Erase Failed!"));
    EXPECT_TRUE(Reported("Retrying..."));
    EXPECT_EQ(std::vector<std::string>{}, view->boxes);
    EXPECT_EQ(0u, handset.MisheardBytes());
    handset.With([](sim::Handset& h) { EXPECT_EQ(115200u, h.LineRate()); });
}

// A device that stops taking data in the middle of the blocks: the block's write fails with the
// program's message instead of holding the window, and Stop ends the download.
TEST_F(DownloadOverModelTest, ADeviceThatStopsTakingDataEndsInTheWriteFailureAndStop)
{
    handset.Driver().SetOutputQueueBytes(16);
    session->OnStartStop(Choices());
    ASSERT_TRUE(PumpUntil(
        [this] {
            return !view->report.empty() &&
                   view->report.back().compare(0, 13, "Sending Block") == 0;
        }));
    // In the middle of the next block.
    handset.Driver().StallWireAfter(handset.Driver().Transmitted().size() + 1500);
    EXPECT_TRUE(PumpUntil([this] { return !view->boxes.empty(); }));
    EXPECT_EQ(std::vector<std::string>{"Error writing block to COM Port!"}, view->boxes);
    session->OnStartStop(Choices());
    EXPECT_FALSE(session->Running());
    EXPECT_TRUE(Reported("Download terminated by User."));
    handset.Driver().StallWire(false);
}

// How an adapter hands the handset's answers to the PC: every answer split at every point, or in
// small USB packets whose bytes cbInQue counts only a tick later.
struct Arrivals
{
    const char* name;
    std::size_t pieceBytes;
    DWORD intervalMs;
    bool laggingCount;
};

struct WholeDownload
{
    const char* name;
    const char* model;              // the window's choice and the image's product field
    const char* mobileId;           // the handset's, when not its own
    const char* productId;          // the same
    std::vector<std::string> fault; // one FAULT of the simulator, if any
    bool mainCode;
    bool languagePack;
    std::vector<std::string> lines; // report lines among the others, the last one kSuccess
    std::vector<std::string> boxes;
    char eraseLetter; // the handset's last erase: 'E' for a legacy model without boot code
};

void PrintTo(const WholeDownload& download, std::ostream* out)
{
    *out << download.name;
}

void PrintTo(const Arrivals& arrivals, std::ostream* out)
{
    *out << arrivals.name;
}

const WholeDownload kWholeDownloads[] = {
    {"ImageAndLanguagePack", "RT47", nullptr, nullptr, {}, true, true, {}, {}, 'e'},
    {"EraseRetry",
     "RT47",
     nullptr,
     nullptr,
     {"erase_fail", "1"},
     true,
     false,
     {"Erase Failed!", "Retrying..."},
     {},
     'e'},
    {"WriteFailure",
     "RT47",
     nullptr,
     nullptr,
     {"write_fail", "main", "64", "1"},
     true,
     false,
     {"Write Failed!"},
     {},
     'e'},
    {"Rt47xOverride",
     "RT47X",
     "RT47X",
     nullptr,
     {},
     false,
     true,
     {"Erasing existing LP...", "Overriding RT47X cfg...", "Override succesfully completed..."},
     {"Downloading RT47 LP into a RT47X - Are you sure?"},
     'e'},
    {"LegacyModel", "RT50", "RT50 ", "RT50-LEGACY", {}, true, false, {}, {}, 'E'},
};

const Arrivals kArrivalKinds[] = {
    {"ByteByByte", 1, 1, false},
    {"UsbPacketsCountedLate", 3, 1, true},
};

class WholeDownloadOverModelTest
    : public DownloadOverModelTest,
      public ::testing::WithParamInterface<std::tuple<WholeDownload, Arrivals>>
{
};

// Whole downloads through an adapter that splits the answers: each is recognised as if it had
// come whole, and the download ends as it would.
TEST_P(WholeDownloadOverModelTest, EndsAsWithAnswersThatComeWhole)
{
    const WholeDownload& download = std::get<0>(GetParam());
    const Arrivals& arrivals = std::get<1>(GetParam());
    handset.With(
        [&download](sim::Handset& h)
        {
            std::string error;
            EXPECT_TRUE(download.fault.empty() || h.Faults().Add(download.fault, error)) << error;
            EXPECT_TRUE(download.mobileId == nullptr ||
                        h.Record().SetText("mobile_id", download.mobileId, ' ', error))
                << error;
            EXPECT_TRUE(download.productId == nullptr ||
                        h.Record().SetText("product_id", download.productId, ' ', error))
                << error;
        });
    handset.Driver().PaceArrivals(arrivals.pieceBytes, arrivals.intervalMs);
    if (arrivals.laggingCount)
        handset.Driver().LagInQueueCount();
    DownloadChoices choices = Choices();
    choices.mainCode = download.mainCode;
    choices.languagePack = download.languagePack;
    std::snprintf(choices.modelName, sizeof choices.modelName, "%s", download.model);
    // Blank blocks are not sent: the download's answers, not its line time, make up the test.
    std::vector<std::size_t> blank;
    for (std::size_t n = 2; n < 63; ++n)
        blank.push_back(n);
    std::snprintf(choices.imagePath, sizeof choices.imagePath, "%s",
                  File("model_image.rel", RandomImage(66, download.model, 1, blank)).c_str());
    session->OnStartStop(choices);
    ASSERT_TRUE(session->Running());
    EXPECT_TRUE(PumpUntil([this] { return !session->Running(); }))
        << "last line: " << (view->report.empty() ? "" : view->report.back());
    EXPECT_EQ(kSuccess, view->report.empty() ? "" : view->report.back());
    for (const std::string& line : download.lines)
        EXPECT_NE(view->added.end(), std::find(view->added.begin(), view->added.end(), line))
            << line;
    EXPECT_EQ(download.boxes, view->boxes);
    EXPECT_EQ(0u, handset.MisheardBytes());
    handset.With([&download](sim::Handset& h)
                 { EXPECT_EQ(download.eraseLetter, static_cast<char>(h.LastEraseLetter())); });
}

INSTANTIATE_TEST_SUITE_P(
    ThroughAnAdapter, WholeDownloadOverModelTest,
    ::testing::Combine(::testing::ValuesIn(kWholeDownloads), ::testing::ValuesIn(kArrivalKinds)),
    [](const ::testing::TestParamInfo<WholeDownloadOverModelTest::ParamType>& info)
    { return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name; });

} // namespace
