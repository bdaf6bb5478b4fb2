// What the download engine needs from the main window: the serial channel, the block senders,
// the files, the report window, message boxes and timers.
#include "app/downloader_dlg.h"

#include "download/port_names.h"
#include "framework/message_box.h"
#include "protocol/crc_x25.h"

namespace
{
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR; // 15
constexpr BYTE kNoParity = NOPARITY;
constexpr BYTE kDataBits = 8;
constexpr BYTE kOneStopBit = ONESTOPBIT;
constexpr char kAppTitle[] = "TervoloPLUS";
} // namespace

LRESULT CDownloaderDlg::OnSerialData(WPARAM wParam, LPARAM lParam)
{
    ReceivedBytes received;
    received.chunk = reinterpret_cast<const std::uint8_t*>(lParam);
    received.count = static_cast<std::size_t>(wParam);
    received.bufferStart = m_serial != nullptr ? m_serial->m_pRxBuffer : m_rxBufferStart;
    received.endIndex = m_serial != nullptr ? m_serial->m_writeIndex.load() : 0;
    m_engine.OnSerialData(received);
    return 0;
}

bool CDownloaderDlg::DownloadRunning() const
{
    return m_downloadRunning;
}

HANDLE CDownloaderDlg::PortHandle() const
{
    return m_serial != nullptr ? m_serial->m_hPort : INVALID_HANDLE_VALUE;
}

void CDownloaderDlg::WritePort(const std::uint8_t* bytes, std::size_t count)
{
    DWORD written = 0;
    WriteFile(PortHandle(), bytes, static_cast<DWORD>(count), &written, nullptr);
}

void CDownloaderDlg::ReportFailure(const char* text, const char* caption)
{
    AppMessageBox(nullptr, text, MB_OK, caption);
}

void CDownloaderDlg::PurgePort()
{
    PurgeComm(PortHandle(), kPurgeAll);
}

void CDownloaderDlg::ReopenChannel(std::uint32_t baudRate)
{
    CloseChannel();
    m_serial = std::make_unique<CSerialIO>(kPortNames[m_portIndex], static_cast<DWORD>(baudRate),
                                           kNoParity, kDataBits, kOneStopBit, m_notifyWnd,
                                           static_cast<serial::FailureReport&>(*this));
    m_rxBufferStart = m_serial->m_pRxBuffer;
    if (!m_serial->IsOpen())
    {
        // The channel has reported the port; without it the download could only wait for ever.
        m_engine.Abort();
    }
}

void CDownloaderDlg::CloseChannel()
{
    if (m_serial == nullptr)
    {
        return;
    }
    m_serial->Close();
    m_serial.reset();
    DropQueuedSerialData();
}

void CDownloaderDlg::DropQueuedSerialData()
{
    // Notifications of a closed channel point into its freed receive buffer.
    MSG message;
    while (PeekMessageA(&message, m_hWnd, WM_SERIAL_DATA, WM_SERIAL_DATA, PM_REMOVE))
    {
    }
}

bool CDownloaderDlg::SendBlock(Section section, std::uint32_t block)
{
    return section == Section::MainCode ? SendMainBlock(PortHandle(), block)
                                        : SendLpBlock(PortHandle(), block);
}

std::uint16_t CDownloaderDlg::SectionCrc(Section section)
{
    if (section == Section::MainCode)
    {
        return m_imageFile != nullptr ? CrcX25(m_imageFile.get(), m_mainBlockCount) : 0;
    }
    return m_lpFile != nullptr ? CrcX25(m_lpFile.get(), m_lpBlockCount) : 0;
}

void CDownloaderDlg::ShowMessage(const char* text)
{
    ShowMessageBox(text);
}

bool CDownloaderDlg::AskOkCancel(const char* text)
{
    return MessageBoxA(nullptr, text, kAppTitle, MB_OKCANCEL | MB_TASKMODAL) == IDOK;
}

bool CDownloaderDlg::AskYesNo(const char* text)
{
    return MessageBoxA(nullptr, text, kAppTitle, MB_YESNO | MB_TASKMODAL) == IDYES;
}

void CDownloaderDlg::Pause(unsigned milliseconds)
{
    Sleep(milliseconds);
}

void CDownloaderDlg::ClearStartRequest()
{
    m_startRequested = false;
}
