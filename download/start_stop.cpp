// Starting and stopping a download: StartStopDownload first ends a running download, then starts
// one if the operator asked for it, after checking the choices in a fixed order.
#include "download/download_session.h"

#include "download/port_names.h"
#include "download/progress_text.h"
#include "download/stop_texts.h"
#include "files/release_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
// A release file found a moment ago that cannot be opened ends the program.
constexpr int kVanishedFileExitCode = 0;
constexpr std::size_t kMessageSize = kTextBufferSize + 64;
constexpr char kZeroTime[] = "00m00s";

// What the start says about each kind of release file.
struct ReleaseFileTexts
{
    const char* openFailedFormat;
    const char* tooShort;
    const char* tooLarge;
};
constexpr ReleaseFileTexts kImageTexts = {
    "Error opening download Image file:\n%s",
    "Image file too short to hold a block!",
    "Image file too large: a download numbers at most 16384 blocks (16 MiB)!",
};
constexpr ReleaseFileTexts kLanguagePackTexts = {
    "Error opening download Language Pack file:\n%s",
    "Language Pack file too short to hold a block!",
    "Language Pack file too large: a download numbers at most 16384 blocks (16 MiB)!",
};
// A model name is a few characters; a longer text is cut, never run past the field.
void CopyCut(char* destination, std::size_t size, const char* source)
{
    std::size_t length = 0;
    for (; length + 1 < size && source[length] != '\0'; ++length)
    {
        destination[length] = source[length];
    }
    destination[length] = '\0';
}
} // namespace

void CDownloadSession::OnStartStop(const DownloadChoices& choices)
{
    if (m_running)
    {
        m_view.ShowRunning(false);
        AddReportLine(kTerminatedByUserText);
    }
    else
    {
        m_choices = choices;
    }
    m_startRequested = !m_startRequested;
    StartStopDownload();
}

void CDownloadSession::StartStopDownload()
{
    if (m_running)
    {
        StopDownload();
    }
    if (m_startRequested)
    {
        StartDownload();
    }
}

void CDownloadSession::StopDownload()
{
    m_view.ShowRunning(false);
    m_running = false;
    m_view.UnlockSettings();

    // Close() ends the reader before the port goes, and the notifications it left behind are
    // dropped with it.
    CloseChannel();

    m_imageFile.reset();
    m_lpFile.reset();

    for (unsigned id = kSignalTimer; id <= kLastDownloadTimer; ++id)
    {
        m_view.StopTimer(id);
    }

    // No CRC figure of this download survives into the next one, however it ended.
    m_engine.ClearChecksums();
    m_startRequested = false;
}

bool CDownloadSession::CheckStartChoices()
{
    if (!m_choices.bootCode && !m_choices.mainCode && !m_choices.languagePack)
    {
        ShowMessage("No sections selected to download!");
        return false;
    }
    // The positions index the port-name and baud-rate tables.
    if (m_choices.baudIndex < 0 || m_choices.baudIndex >= kBaudRateCount)
    {
        ShowMessage("No Baud Rate selected !");
        return false;
    }
    if (m_choices.portIndex < 0 || m_choices.portIndex >= kPortCount)
    {
        ShowMessage("No COM Port selected !");
        return false;
    }
    if (!m_platform.PortCanBeOpened(kPortNames[m_choices.portIndex]))
    {
        ShowMessage(kPortInUseText);
        return false;
    }
    if (m_choices.mainCode && !CheckFile(m_choices.imagePath, true))
    {
        return false;
    }
    return !m_choices.languagePack || CheckFile(m_choices.lpPath, false);
}

bool CDownloadSession::CheckFile(char* path, bool isImage)
{
    if (path[0] == '\0')
    {
        ShowMessage(isImage ? "No Image filename selected !"
                            : "No Language Pack filename selected !");
        return false;
    }
    if (!m_platform.FileExists(path))
    {
        ShowMessage(isImage ? "Image File not found !" : "Language Pack File not found !");
        return false;
    }
    FileCheckResult result = FileCheckDone;
    if (m_view.CheckDownloadFile(result, path, isImage))
    {
        return true;
    }
    if (result == FileCheckUnknownExtension)
    {
        ShowMessage(isImage ? "Image file extension not recognised!"
                            : "Language Pack file extension not recognised!");
    }
    else if (result == FileCheckInvalidLanguagePackName && !isImage)
    {
        ShowMessage("Language Pack file name not valid!");
    }
    return false;
}

void CDownloadSession::StartDownload()
{
    if (!CheckStartChoices())
    {
        m_startRequested = false;
        return;
    }

    m_view.ShowRunning(true);
    m_running = true;
    m_view.ClearReport();
    m_view.ResetProgress();
    m_view.LockSettings();

    if (m_choices.mainCode && !OpenReleaseFile(true))
    {
        return;
    }
    if (m_choices.languagePack && !OpenReleaseFile(false))
    {
        return;
    }

    DownloadSetup setup;
    setup.bootCode = m_choices.bootCode;
    setup.mainCode = m_choices.mainCode;
    setup.languagePack = m_choices.languagePack;
    setup.baudIndex = m_choices.baudIndex;
    setup.gangMode = m_choices.gangMode;
    setup.diagnostics = m_choices.diagnostics;
    CopyCut(setup.modelName, sizeof setup.modelName, m_choices.modelName);
    setup.mainBlockCount = m_mainBlockCount;
    setup.lpBlockCount = m_lpBlockCount;
    std::memcpy(setup.imageModel, m_imageModel, sizeof setup.imageModel);
    std::memcpy(setup.lpModel, m_lpModel, sizeof setup.lpModel);
    // The engine starts in Signalling with its counters cleared and no gang prompt shown yet.
    m_engine.Begin(setup);

    AddReportLine("Signalling...");
    if (!OpenChannel(kSignallingBaudRate))
    {
        // The channel has told the operator; a download without a port would wait for ever.
        StopDownload();
        return;
    }
    m_view.StartTimer(kSignalTimer, kSignalPeriodMs);
    m_view.ResetDownloadTime(kZeroTime);
}

bool CDownloadSession::OpenReleaseFile(bool isImage)
{
    const ReleaseFileTexts& texts = isImage ? kImageTexts : kLanguagePackTexts;
    const char* path = isImage ? m_choices.imagePath : m_choices.lpPath;
    char message[kMessageSize];
    std::snprintf(message, sizeof message, texts.openFailedFormat, path);

    std::uint64_t length = 0;
    if (!m_platform.SharedReadLength(path, length))
    {
        // The window keeps its running look with no channel open; the next click stops it.
        ShowMessage(message);
        return false;
    }
    if (!HoldsReleaseBlocks(length) || !FitsBlockNumbering(length))
    {
        // Past 0x3FFF a block number would carry the language pack's mark, and past 0xFFFF it
        // would start again at 0: such a file is refused before the port is opened.
        ShowMessage(HoldsReleaseBlocks(length) ? texts.tooLarge : texts.tooShort);
        StopDownload();
        return false;
    }

    UniqueFile file(std::fopen(path, "rb"));
    if (file == nullptr)
    {
        ShowMessage(message);
        m_view.EndProgram(kVanishedFileExitCode);
        StopDownload();
        return false;
    }
    const std::uint32_t blockCount = ReleaseBlockCount(length);
    if (isImage)
    {
        m_mainBlockCount = blockCount;
        m_view.SetProgressRange(ProgressBar::MainCode, static_cast<std::uint16_t>(kBootBlockCount),
                                static_cast<std::uint16_t>(blockCount - 1));
        ReadImageModel(file.get(), m_imageModel);
        m_imageFile = std::move(file);
    }
    else
    {
        m_lpBlockCount = blockCount;
        m_view.SetProgressRange(ProgressBar::LanguagePack, 0,
                                static_cast<std::uint16_t>(blockCount - 1));
        ReadLpModel(file.get(), m_lpModel);
        m_lpFile = std::move(file);
    }
    SkipReleaseHeader(isImage ? m_imageFile.get() : m_lpFile.get());
    return true;
}

bool CDownloadSession::OpenChannel(std::uint32_t baudRate)
{
    ++m_channelNumber;
    m_nextChunkOffset = 0;
    m_handledBytes = 0;
    m_channel = m_platform.OpenChannel(kPortNames[m_choices.portIndex], baudRate, *this);
    return m_channel != nullptr && m_channel->IsOpen();
}

void CDownloadSession::CloseChannel()
{
    if (m_channel == nullptr)
    {
        return;
    }
    m_channel->Close();
    m_channel.reset();
    m_platform.DropQueuedNotifications();
}
