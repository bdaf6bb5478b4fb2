#include "serial/serial_io.h"

#include <process.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace
{

const char kLogPath[] = "c:\\debugfile.txt";
// Used in the temporary folder when the root of drive C cannot be written.
const char kLogFileName[] = "debugfile.txt";

const char kChannelCaption[] = "CSerialIO";
const char kReaderCaption[] = "TracingThread";

const char kLogOpenFailedMessage[] = "Error opening log file!";
const char kPortOpenFailedFormat[] = "COM Port Error:\nCannot open %s";
const char kQueueSetupFailedMessage[] = "COM Port Error:\nError Opening COM Port";
const char kReadFailedMessage[] = "ReadFile Error!";

// A port that has just been closed by the protocol change, or that another program holds for a
// moment, gets about a second before the open is given up.
constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenRetryDelayMs = 100;

// The exit code of a program that ends on a failure of the channel.
constexpr UINT kFatalExitCode = 0;
// Consecutive failed waits after which the port counts as gone.
constexpr unsigned kFailedWaitsOfALostPort = 100;

constexpr DWORD kDriverQueueBytes = 50000;
constexpr DWORD kInQueueWarningBytes = 3000;
constexpr unsigned kReaderStackBytes = 1000;
constexpr DWORD kReaderEvents = EV_RXCHAR | EV_ERR;
constexpr DWORD kNoEvents = 0;

// The stop request is repeated in these steps until the reader has ended or the time is up.
constexpr DWORD kStopNudgeMs = 50;
constexpr DWORD kStopWaitMs = 2000;
constexpr DWORD kKillWaitMs = 1000;

const char kClearCommErrorText[] = "\r\nClearCommError Error!\r\n";
const char kCommErrorText[] = "\r\nComm Error1!\r\n";
const char kInQueueReadPortText[] = "\r\nToo many bytes in In Queue - ReadPort\r\n";
const char kSetCommMaskErrorText[] = "\r\nSetCommMask Error!\r\n";
const char kWaitCommEventErrorText[] = "\r\nWaitCommEvent Error!\r\n";
const char kInQueueErrorRoundText[] = "\r\nToo many bytes in In Queue!\r\n";
const char kEndOfFileText[] = "\r\nEnd Of File Received!\r\n";

struct LineErrorText
{
    DWORD bit;
    const char* text;
};

// Logged in this order, one line for each bit set.
const LineErrorText kLineErrorTexts[] = {
    {CE_OVERRUN, "\r\nCE_OVERRUN!\r\n"},   {CE_RXOVER, "\r\nCE_RXOVER!\r\n"},
    {CE_RXPARITY, "\r\nCE_RXPARITY!\r\n"}, {CE_FRAME, "\r\nCE_FRAME!\r\n"},
    {CE_BREAK, "\r\nCE_BREAK!\r\n"},       {CE_DNS, "\r\nCE_DNS!\r\n"},
    {CE_IOE, "\r\nCE_IOE!\r\n"},           {CE_MODE, "\r\nCE_MODE!\r\n"},
    {CE_OOP, "\r\nCE_OOP!\r\n"},           {CE_PTO, "\r\nCE_PTO!\r\n"},
    {CE_TXFULL, "\r\nCE_TXFULL!\r\n"},
};

// The line set-up steps in the order they run. A failed step stops the rest and is reported
// together with the later ones, which were not carried out.
const char* const kLineSetupFailedMessages[] = {
    "COM Port Error:\nError Calling GetCommState",
    "COM Port Error:\nError Calling SetCommState XXXX",
    "COM Port Error:\nError Getting COM Timeouts",
    "COM Port Error:\nError Setting COM Timeouts",
};
constexpr std::size_t kLineSetupSteps =
    sizeof(kLineSetupFailedMessages) / sizeof(kLineSetupFailedMessages[0]);

static_assert(sizeof(DCB) == 28, "the line settings record has its Win32 size");

void ShowChannelError(const char* text)
{
    MessageBoxA(nullptr, text, kChannelCaption, MB_OK);
}

// Binary line, no hardware or software flow control, DTR and RTS held off; the fields not named
// keep what the driver reported.
void ApplyLineSettings(DCB& dcb, DWORD baudRate, BYTE parity, BYTE byteSize, BYTE stopBits)
{
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = baudRate;
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = 0;
    dcb.XonLim = 0;
    dcb.XoffLim = 0;
    dcb.ByteSize = byteSize;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    dcb.XonChar = 0;
    dcb.XoffChar = 0;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
}

// A read returns at once with whatever is waiting; a write has no time-out.
void ApplyTimeouts(COMMTIMEOUTS& timeouts)
{
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
}

// Runs the line set-up steps in order and returns how many succeeded.
std::size_t SetUpLine(HANDLE port, DWORD baudRate, BYTE parity, BYTE byteSize, BYTE stopBits)
{
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!GetCommState(port, &dcb))
        return 0;
    ApplyLineSettings(dcb, baudRate, parity, byteSize, stopBits);
    if (!SetCommState(port, &dcb))
        return 1;
    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(port, &timeouts))
        return 2;
    ApplyTimeouts(timeouts);
    if (!SetCommTimeouts(port, &timeouts))
        return 3;
    return kLineSetupSteps;
}

} // namespace

CSerialIO::CSerialIO(const char* portName, DWORD baudRate, BYTE parity, BYTE byteSize,
                     BYTE stopBits, HWND notifyWnd)
    : m_hPort(INVALID_HANDLE_VALUE), m_hNotifyWnd(notifyWnd), m_hReaderPort(INVALID_HANDLE_VALUE),
      m_logFile(nullptr), m_pRxBuffer(m_rxBuffer), m_writeIndex(0), m_rxBuffer(),
      m_hThread(nullptr), m_stopRequested(false), m_logAbandoned(false), m_logPath()
{
    OpenLog();
    if (!OpenPort(portName))
        return;
    Configure(baudRate, parity, byteSize, stopBits);
    StartReader();
}

CSerialIO::~CSerialIO()
{
    Close();
}

bool CSerialIO::IsOpen() const
{
    return m_hPort != INVALID_HANDLE_VALUE;
}

// Every open starts a new log ("wb" empties an earlier one).
void CSerialIO::OpenLog()
{
    std::strcpy(m_logPath, kLogPath);
    m_logFile = std::fopen(m_logPath, "wb");
    if (m_logFile != nullptr)
        return;

    char folder[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length > 0 && length + sizeof(kLogFileName) <= MAX_PATH)
    {
        std::strcpy(m_logPath, folder);
        std::strcat(m_logPath, kLogFileName);
        m_logFile = std::fopen(m_logPath, "wb");
    }
    if (m_logFile == nullptr)
    {
        ShowChannelError(kLogOpenFailedMessage);
        std::exit(kFatalExitCode);
    }
}

// Synchronous I/O (flags 0) throughout; the handle is not shared.
bool CSerialIO::OpenPort(const char* portName)
{
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt)
    {
        if (attempt > 0)
            Sleep(kOpenRetryDelayMs);
        const HANDLE port = CreateFileA(portName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        if (port != INVALID_HANDLE_VALUE)
        {
            m_hPort = port;
            return true;
        }
    }
    char text[128];
    std::snprintf(text, sizeof(text), kPortOpenFailedFormat, portName);
    ShowChannelError(text);
    return false;
}

// Failures are reported and otherwise ignored: the reader runs on whatever the port does.
void CSerialIO::Configure(DWORD baudRate, BYTE parity, BYTE byteSize, BYTE stopBits)
{
    const std::size_t stepsDone = SetUpLine(m_hPort, baudRate, parity, byteSize, stopBits);
    for (std::size_t step = stepsDone; step < kLineSetupSteps; ++step)
        ShowChannelError(kLineSetupFailedMessages[step]);
    if (stepsDone < kLineSetupSteps)
        return;
    if (!SetupComm(m_hPort, kDriverQueueBytes, kDriverQueueBytes))
        ShowChannelError(kQueueSetupFailedMessage);
}

void CSerialIO::StartReader()
{
    m_hReaderPort = m_hPort;
    m_pRxBuffer = m_rxBuffer;
    m_stopRequested = false;
    // The runtime's thread start, so the reader may use the runtime's streams.
    m_hThread = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, kReaderStackBytes, &CSerialIO::TracingThread, this, 0, nullptr));
}

void CSerialIO::StopReader()
{
    if (m_hThread == nullptr)
        return;
    m_stopRequested = true;
    // An empty event mask completes a pending WaitCommEvent. It is repeated because the reader may
    // set its own mask again between its last look at the flag and its next wait.
    bool ended = false;
    for (DWORD waited = 0; !ended && waited < kStopWaitMs; waited += kStopNudgeMs)
    {
        SetCommMask(m_hReaderPort, kNoEvents);
        ended = WaitForSingleObject(m_hThread, kStopNudgeMs) == WAIT_OBJECT_0;
    }
    if (!ended)
    {
        // Last resort. The thread may die holding the log stream's lock, so the log is then left
        // open rather than closed into a deadlock.
        TerminateThread(m_hThread, serial::kReaderKilledExitCode);
        WaitForSingleObject(m_hThread, kKillWaitMs);
        m_logAbandoned = true;
    }
    CloseHandle(m_hThread);
    m_hThread = nullptr;
}

void CSerialIO::Close()
{
    StopReader();
    if (m_logFile != nullptr && !m_logAbandoned)
        std::fclose(m_logFile);
    m_logFile = nullptr;
    if (m_hPort != INVALID_HANDLE_VALUE)
        CloseHandle(m_hPort);
    m_hPort = INVALID_HANDLE_VALUE;
    m_hReaderPort = INVALID_HANDLE_VALUE;
}

unsigned __stdcall CSerialIO::TracingThread(void* channel)
{
    CSerialIO& self = *static_cast<CSerialIO*>(channel);
    self.m_writeIndex = 0;
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(self.m_hReaderPort, &errors, &status))
    {
        self.LogText(kClearCommErrorText);
        return self.EndReaderOnLostPort();
    }
    if (errors != 0)
        self.LogText(kCommErrorText);
    while (!self.m_stopRequested)
    {
        if (!self.ReadPort())
            return self.EndReaderOnLostPort();
    }
    return serial::kReaderEndedExitCode;
}

// One wait and what it brought. A wake-up with nothing to read (Wine wakes hundreds of times a
// second on a pty) costs one round and a notification of 0 bytes, nothing more. Returns false
// when the port has gone (the handset was unplugged): the round cannot even ask for its state.
bool CSerialIO::ReadPort()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(m_hReaderPort, &errors, &status))
    {
        LogText(kClearCommErrorText);
        return false;
    }
    if (errors != 0)
        LogText(kCommErrorText);
    if (status.cbInQue > kInQueueWarningBytes)
        LogText(kInQueueReadPortText);

    if (!SetCommMask(m_hReaderPort, kReaderEvents))
        LogText(kSetCommMaskErrorText);
    if (m_stopRequested)
        return true;
    DWORD events = 0;
    const BOOL waited = WaitCommEvent(m_hReaderPort, &events, nullptr);
    if (m_stopRequested)
        return true;
    if (!waited)
    {
        LogText(kWaitCommEventErrorText);
        // A wait that fails at once, round after round, would spin and fill the log.
        return ++m_failedWaits < kFailedWaitsOfALostPort;
    }
    m_failedWaits = 0;
    // Bytes that came with a line error are read by the next character event.
    if ((events & EV_ERR) != 0)
        return LogErrorRound();

    const std::uint32_t index = m_writeIndex;
    BYTE* const chunk = m_pRxBuffer + index;
    DWORD bytesRead = 0;
    if (!ReadFile(m_hReaderPort, chunk, serial::ReadSizeAt(index), &bytesRead, nullptr))
    {
        MessageBoxA(nullptr, kReadFailedMessage, kReaderCaption, MB_OK);
        return false;
    }
    if (m_logFile != nullptr)
    {
        for (DWORD i = 0; i < bytesRead; ++i)
            std::fputc(chunk[i], m_logFile);
    }
    if (m_stopRequested)
        return true;
    // The index moves on before the post, so the window, which takes the end of received data
    // from it, always finds the chunk it is told about before that end.
    m_writeIndex = serial::NextWriteIndex(index, bytesRead);
    PostMessageA(m_hNotifyWnd, WM_SERIAL_DATA, bytesRead, reinterpret_cast<LPARAM>(chunk));
    return true;
}

bool CSerialIO::LogErrorRound()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(m_hReaderPort, &errors, &status))
    {
        LogText(kClearCommErrorText);
        return false;
    }
    for (const LineErrorText& lineError : kLineErrorTexts)
    {
        if ((errors & lineError.bit) != 0)
            LogText(lineError.text);
    }
    if (status.cbInQue > kInQueueWarningBytes)
        LogText(kInQueueErrorRoundText);
    if (status.fEof)
        LogText(kEndOfFileText);
    return true;
}

// A lost port (an unplugged handset or adapter) ends the reader, not the program: the operator
// keeps the window, stops the stalled download and starts again once the handset is back.
unsigned CSerialIO::EndReaderOnLostPort()
{
    if (m_logFile != nullptr)
        std::fflush(m_logFile);
    return serial::kReaderLostPortExitCode;
}

void CSerialIO::LogText(const char* text)
{
    if (m_logFile != nullptr)
        std::fputs(text, m_logFile);
}
