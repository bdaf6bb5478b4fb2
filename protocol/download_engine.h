// The download engine: the conversation with the handset from the first ">i" to the verdict.
// It runs on the user-interface thread only. Everything it does to the outside world goes
// through EngineHost, which the main window implements; tests implement it with a fake.
#pragma once

#include "protocol/frames.h"

#include <cstddef>
#include <cstdint>

enum DownloadState : int
{
    Signalling = 1,
    MainTransfer = 3,
    ParameterExchange = 4,
    LpOverride = 5,
    MainErase = 6,
    LpErase = 7,
    LpTransfer = 8,
    ChecksumWait = 9,
};

// Timer ids of the main window.
constexpr unsigned kSignalTimer = 1;  // 50 ms: '<' 'i'
constexpr unsigned kElapsedTimer = 2; // 1000 ms: elapsed-time display
constexpr unsigned kGangTimer = 3;    // 1000 ms: gang-mode wait
constexpr unsigned kSignalPeriodMs = 50;
constexpr unsigned kSecondMs = 1000;

// What the engine needs from the window, the serial channel and the files.
class EngineHost
{
public:
    virtual ~EngineHost() = default;

    virtual bool DownloadRunning() const = 0;

    // Serial channel (the open CSerialIO).
    virtual void WritePort(const std::uint8_t* bytes, std::size_t count) = 0; // one WriteFile
    virtual void PurgePort() = 0;                                             // PurgeComm(15)
    // Close the channel, drop the notifications its reader left in the queue, open a new
    // channel on the same port at this rate, 8N1.
    virtual void ReopenChannel(std::uint32_t baudRate) = 0;
    virtual const std::uint8_t* RxBufferStart() const = 0; // start of the channel's buffer
    virtual std::uint32_t RxWriteIndex() const = 0;        // the reader's write index, read whole

    // Block senders: send block `blockIndex` of the section; false when the block was blank.
    virtual bool SendBlock(Section section) = 0;
    virtual std::uint16_t SectionCrc(Section section) = 0; // CrcX25 of the section's file

    // Window.
    virtual void AddReportLine(const char* text) = 0;
    virtual void ShowMessage(const char* text) = 0; // owned box, application's caption, OK
    // Owner-less, task-modal box captioned "TervoloPLUS": OK/Cancel or Yes/No.
    // Returns true for OK or Yes.
    virtual bool AskOkCancel(const char* text) = 0;
    virtual bool AskYesNo(const char* text) = 0;
    virtual void StartTimer(unsigned id, unsigned periodMs) = 0;
    virtual void StopTimer(unsigned id) = 0;
    virtual void RestartStopwatch() = 0;
    virtual void ShowElapsedTime() = 0;
    virtual void Pause(unsigned milliseconds) = 0; // Sleep on the user-interface thread

    // The stop routine (StartStopDownload) and its start-request flag.
    virtual void ClearStartRequest() = 0;
    virtual void StartStopDownload() = 0;
};

// Settings of one download, put in place by the download start.
struct DownloadSetup
{
    bool bootCode = false;
    bool mainCode = false;
    bool languagePack = false;
    int baudIndex = 0; // 0 = 115200, 1 = 57600, 2 = 38400, 3 = 19200
    bool gangMode = false;
    bool diagnostics = false;
    char modelName[8] = {};  // text of the chosen model, "RT50" ... "RT47X"
    char imageModel[4] = {}; // model code of the image file, second character a blank
    char lpModel[8] = {};    // model field of the language-pack file
    std::uint32_t mainBlockCount = 0;
    std::uint32_t lpBlockCount = 0;
};

class CDownloadEngine
{
public:
    explicit CDownloadEngine(EngineHost& host) : m_host(host) {}

    // Puts the engine into its first state for a new download.
    void Begin(const DownloadSetup& setup);

    // WM_SERIAL_DATA: count bytes at chunk, inside the channel's receive buffer.
    void OnSerialData(std::size_t count, const std::uint8_t* chunk);
    void OnGangTick();
    void Abort();

    // Clears the CRC figures and the request's CRC bytes (every end of a download).
    void ClearChecksums();

    // Read by the block senders and the window.
    int m_state = Signalling;
    unsigned m_retryCount = 0;
    unsigned m_rxTotal = 0;
    std::uint32_t m_blockIndex = 0;
    unsigned m_mainCrc = 0;
    unsigned m_lpCrc = 0;
    bool m_modelAccepted = false;
    bool m_gangPromptShown = false;
    int m_gangCountdown = 60;
    ChecksumRequest m_checksumRequest;
    DownloadSetup m_setup;

private:
    EngineHost& m_host;
};
