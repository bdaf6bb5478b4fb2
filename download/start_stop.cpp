// Starting and stopping a download: StartStopDownload first ends a running download, then starts
// one if the operator asked for it, after checking the choices in a fixed order.
#include "app/downloader_dlg.h"

#include "download/port_names.h"
#include "download/progress_text.h"
#include "download/release_file.h"
#include "framework/scoped_handle.h"
#include "res/resource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr DWORD kSignallingBaudRate = 19200;
constexpr BYTE kNoParity = NOPARITY;
constexpr BYTE kDataBits = 8;
constexpr BYTE kOneStopBit = ONESTOPBIT;
// A release file found a moment ago that cannot be opened ends the program.
constexpr int kVanishedFileExitCode = 0;
constexpr std::size_t kMessageSize = kTextBufferSize + 64;

// Settings controls a download disables, in this order.
constexpr int kDownloadLockedControls[] = {
    IDC_BROWSE_LANGUAGE_PACK,
    IDC_BROWSE_IMAGE,
    IDC_LANGUAGE_PACK_FILE,
    IDC_IMAGE_FILE,
    IDC_GANG_MODE,
    IDC_COM_PORT,
    IDC_BAUD_RATE,
    IDC_MOBILE_MODEL,
};

bool FileExists(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The length of a file opened for shared reading: others may read it meanwhile, none may write.
bool SharedReadLength(const char* path, std::uint64_t& length)
{
    CScopedHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
    {
        return false;
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size))
    {
        return false;
    }
    length = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

bool PortCanBeOpened(const char* portName)
{
    CScopedHandle port(
        CreateFileA(portName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return port.IsValid();
}

void CopyModelName(char* destination, std::size_t size, const char* model)
{
    std::snprintf(destination, size, "%s", model);
}
} // namespace

void CDownloaderDlg::OnStartStop()
{
    if (m_downloadRunning)
    {
        m_startButton.SetBitmap(m_startDownloadBitmap.Get());
        AddReportLine("Download terminated by User.");
    }
    m_startRequested = !m_startRequested;
    StartStopDownload();
}

LRESULT CDownloaderDlg::OnDownloadEnd(WPARAM, LPARAM)
{
    StartStopDownload();
    AddReportLine("Failed to open Com Port!");
    AddReportLine("Download terminated.");
    return 0;
}

void CDownloaderDlg::StartStopDownload()
{
    if (m_downloadRunning)
    {
        StopDownload();
    }
    if (m_startRequested)
    {
        StartDownload();
    }
}

void CDownloaderDlg::StopDownload()
{
    m_startButton.SetBitmap(m_startDownloadBitmap.Get());
    m_downloadRunning = false;

    if (m_startMode == StartModeDevelopment)
    {
        if (m_languagePackSelected != 0)
        {
            m_browseLanguagePackButton.Enable(true);
            m_languagePackFileBox.Enable(true);
        }
        if (m_mainCodeSelected != 0)
        {
            m_browseImageButton.Enable(true);
            m_imageFileBox.Enable(true);
        }
        m_gangModeCheck.Enable(true);
        m_comPortList.Enable(true);
        m_baudRateList.Enable(true);
        m_modelList.Enable(true);
        EnableMenuItem(GetMenu(m_hWnd), ID_PRESETS_BROWSE, MF_BYCOMMAND | MF_ENABLED);
    }

    // Close() ends the reader before the port goes, and the notifications it left behind are
    // dropped with it.
    CloseChannel();

    m_imageFile.reset();
    m_lpFile.reset();

    KillTimer(m_hWnd, kSignalTimer);
    KillTimer(m_hWnd, kElapsedTimer);
    KillTimer(m_hWnd, kGangTimer);

    // No CRC figure of this download survives into the next one, however it ended.
    m_engine.ClearChecksums();
    m_startRequested = false;
}

bool CDownloaderDlg::CheckStartChoices()
{
    if (m_bootCodeSelected == 0 && m_mainCodeSelected == 0 && m_languagePackSelected == 0)
    {
        ShowMessageBox("No sections selected to download!");
        return false;
    }

    // The positions index the port-name and baud-rate tables.
    m_baudIndex = m_baudRateList.GetCurSel();
    m_portIndex = m_comPortList.GetCurSel();
    if (m_baudIndex < 0 || m_baudIndex >= kBaudRateCount)
    {
        ShowMessageBox("No Baud Rate selected !");
        return false;
    }
    if (m_portIndex < 0 || m_portIndex >= kPortCount)
    {
        ShowMessageBox("No COM Port selected !");
        return false;
    }

    if (!PortCanBeOpened(kPortNames[m_portIndex]))
    {
        ShowMessageBox("Failed to open com port - Please check no other applications are "
                       "currently using this port.");
        return false;
    }

    // A path typed into a file box counts as chosen, as one picked from its list does.
    UpdateData(true);
    FileCheckResult result = FileCheckDone;
    if (m_mainCodeSelected != 0)
    {
        if (m_imagePath[0] == '\0')
        {
            ShowMessageBox("No Image filename selected !");
            return false;
        }
        if (!FileExists(m_imagePath))
        {
            ShowMessageBox("Image File not found !");
            return false;
        }
        if (!CheckDownloadFile(result, m_imagePath, true))
        {
            if (result == FileCheckUnknownExtension)
            {
                ShowMessageBox("Image file extension not recognised!");
            }
            return false;
        }
    }

    if (m_languagePackSelected != 0)
    {
        if (m_lpPath[0] == '\0')
        {
            ShowMessageBox("No Language Pack filename selected !");
            return false;
        }
        if (!FileExists(m_lpPath))
        {
            ShowMessageBox("Language Pack File not found !");
            return false;
        }
        if (!CheckDownloadFile(result, m_lpPath, false))
        {
            if (result == FileCheckUnknownExtension)
            {
                ShowMessageBox("Language Pack file extension not recognised!");
            }
            else if (result == FileCheckInvalidLanguagePackName)
            {
                ShowMessageBox("Language Pack file name not valid!");
            }
            return false;
        }
    }
    return true;
}

void CDownloaderDlg::ShowRunningLook()
{
    m_startButton.SetBitmap(m_stopDownloadBitmap.Get());
    m_downloadRunning = true;
}

void CDownloaderDlg::StartDownload()
{
    if (!CheckStartChoices())
    {
        m_startRequested = false;
        return;
    }

    ShowRunningLook();
    UpdateData(true);
    ClearReport();
    m_notifyWnd = m_hWnd;

    DownloadSetup setup;
    setup.bootCode = m_bootCodeSelected != 0;
    setup.mainCode = m_mainCodeSelected != 0;
    setup.languagePack = m_languagePackSelected != 0;
    setup.baudIndex = m_baudIndex;
    setup.gangMode = m_gangModeCheck.GetCheck() == BST_CHECKED; // read once, here
    setup.diagnostics = m_diagnostics;
    CopyModelName(setup.modelName, sizeof setup.modelName, m_modelName);

    if (m_startMode == StartModeDevelopment)
    {
        EnableMenuItem(GetMenu(m_hWnd), ID_PRESETS_BROWSE, MF_BYCOMMAND | MF_GRAYED);
    }

    CListBoxCtl* percentBoxes[] = {&m_bootCodePercent, &m_mainCodePercent, &m_languagePackPercent};
    for (CListBoxCtl* box : percentBoxes)
    {
        box->ResetContent();
        box->AddString("0%");
        box->SetCurSel(0);
    }
    m_languagePackProgress.SetPos(0);
    m_mainCodeProgress.SetPos(0);
    m_bootCodeProgress.SetPos(0);

    for (int id : kDownloadLockedControls)
    {
        ::EnableWindow(GetDlgItem(id), FALSE);
    }

    UpdateData(true);

    if (m_mainCodeSelected != 0 && !OpenImageFile())
    {
        return;
    }
    if (m_languagePackSelected != 0 && !OpenLanguagePackFile())
    {
        return;
    }

    setup.mainBlockCount = m_mainBlockCount;
    setup.lpBlockCount = m_lpBlockCount;
    std::memcpy(setup.imageModel, m_imageModel, sizeof setup.imageModel);
    std::memcpy(setup.lpModel, m_lpModel, sizeof setup.lpModel);
    // The engine starts in Signalling with its counters cleared and no gang prompt shown yet.
    m_engine.Begin(setup);

    AddReportLine("Signalling...");

    m_serial = std::make_unique<CSerialIO>(kPortNames[m_portIndex], kSignallingBaudRate, kNoParity,
                                           kDataBits, kOneStopBit, m_notifyWnd);
    m_rxBufferStart = m_serial->m_pRxBuffer;
    if (!m_serial->IsOpen())
    {
        // The channel has told the operator; a download without a port would wait for ever.
        StopDownload();
        return;
    }

    SetTimer(m_hWnd, kSignalTimer, kSignalPeriodMs, nullptr);

    m_downloadTimeBox.ResetContent();
    m_downloadTimeBox.AddString("00m00s");
}

bool CDownloaderDlg::OpenImageFile()
{
    char message[kMessageSize];
    std::snprintf(message, sizeof message, "Error opening download Image file:\n%s", m_imagePath);

    std::uint64_t length = 0;
    if (!SharedReadLength(m_imagePath, length))
    {
        // The window keeps its running look with no channel open; the next click stops it.
        ShowMessageBox(message);
        return false;
    }
    if (!HoldsReleaseBlocks(length))
    {
        ShowMessageBox("Image file too short to hold a block!");
        StopDownload();
        return false;
    }
    m_mainBlockCount = ReleaseBlockCount(length);
    m_mainCodeProgress.SetRange(static_cast<std::uint16_t>(kBootBlockCount),
                                static_cast<std::uint16_t>(m_mainBlockCount - 1));

    m_imageFile.reset(std::fopen(m_imagePath, "rb"));
    if (m_imageFile == nullptr)
    {
        ShowMessageBox(message);
        std::exit(kVanishedFileExitCode);
    }
    ReadImageModel(m_imageFile.get(), m_imageModel);
    SkipReleaseHeader(m_imageFile.get());
    return true;
}

bool CDownloaderDlg::OpenLanguagePackFile()
{
    char message[kMessageSize];
    std::snprintf(message, sizeof message, "Error opening download Language Pack file:\n%s",
                  m_lpPath);

    std::uint64_t length = 0;
    if (!SharedReadLength(m_lpPath, length))
    {
        ShowMessageBox(message);
        return false;
    }
    if (!HoldsReleaseBlocks(length))
    {
        ShowMessageBox("Language Pack file too short to hold a block!");
        StopDownload();
        return false;
    }
    m_lpBlockCount = ReleaseBlockCount(length);
    m_languagePackProgress.SetRange(0, static_cast<std::uint16_t>(m_lpBlockCount - 1));

    m_lpFile.reset(std::fopen(m_lpPath, "rb"));
    if (m_lpFile == nullptr)
    {
        ShowMessageBox(message);
        std::exit(kVanishedFileExitCode);
    }
    ReadLpModel(m_lpFile.get(), m_lpModel);
    SkipReleaseHeader(m_lpFile.get());
    return true;
}
