#include "serial/serial_io_win.h"

#include "serial/write_bound.h"

#include <process.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <vector>

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

// The exit code the window's program ends with when its debug log cannot be created.
constexpr int kLogFailedExitCode = 0;
// Consecutive rounds whose read time-outs the driver refused, after which the port counts as gone.
constexpr unsigned kRefusedRoundsOfALostPort = 100;
// Rounds that bring nothing although no purge explains it: a driver whose waiting read returns at
// once (CH340), or an adapter that is gone while its handle still answers. After a few in a row
// the reader waits between rounds instead of spinning. Reads aborted round after round are a
// removal (about half a second of them); empty ones a driver that does not wait, which only
// counts as gone after a silence longer than any step of a download (about 30 s).
constexpr unsigned kEmptyRoundsBeforeBackOff = 3;
constexpr DWORD kEmptyRoundBackOffMs = 10;
constexpr unsigned kAbortedRoundsOfALostPort = 50;
constexpr unsigned kEmptyRoundsOfALostPort = 3000;

constexpr DWORD kDriverQueueBytes = 50000;
constexpr DWORD kInQueueWarningBytes = 3000;
constexpr unsigned kReaderStackBytes = 1000;

// The stop event ends the reader's waits at once. A driver that does not complete the reader's
// own cancellation gets this long before the owner ends the wait itself, and as long again after.
constexpr DWORD kStopWaitMs = 1000;
constexpr DWORD kEndWaitMs = 2000;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR; // 15
// How soon a notification the window's queue refused is posted again.
constexpr DWORD kPostRetryMs = 10;
// How often a close looks whether the driver has sent what it holds.
constexpr DWORD kDrainPollMs = 5;
// A USB adapter's driver counts bytes as sent once they are in the adapter's own FIFO: the close
// waits the last frame's time on the line and this much more before the line may change.
constexpr DWORD kDeviceFifoMarginMs = 2;
// A driver that does not complete a write's cancellation gets this long, and then as long again
// after a purge's write abort, before the channel gives the write up for good.
constexpr DWORD kWriteCancelWaitMs = 1000;

// Software flow control stays off; the two characters only have to differ, since drivers refuse
// a line whose XON and XOFF are the same. These are the usual DC1 and DC3.
constexpr char kXonChar = 0x11;
constexpr char kXoffChar = 0x13;

const char kClearCommErrorText[] = "\r\nClearCommError Error!\r\n";
const char kCommErrorText[] = "\r\nComm Error1!\r\n";
const char kInQueueReadPortText[] = "\r\nToo many bytes in In Queue - ReadPort\r\n";
const char kSetCommTimeoutsErrorText[] = "\r\nSetCommTimeouts Error!\r\n";
const char kEndOfFileText[] = "\r\nEnd Of File Received!\r\n";
const char kReaderLeftText[] = "\r\nTracingThread did not end: port left open\r\n";

// Channels whose reader would not end: their memory is never given back, since the reader or a
// request it left with the driver may still write into it.
std::mutex g_abandonedLock;
std::vector<const void*> g_abandoned;

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

// The reader's two kinds of read: one that returns at once with what the driver holds, and one
// that waits, without a time-out, for the byte it asks for. Writes have no time-out in either.
const COMMTIMEOUTS kAtOnce = {MAXDWORD, 0, 0, 0, 0};
const COMMTIMEOUTS kWaitForAByte = {0, 0, 0, 0, 0};

static_assert(sizeof(DCB) == 28, "the line settings record has its Win32 size");

HANDLE NewEvent(bool manualReset)
{
    return CreateEventA(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr);
}

void CloseIfOpen(HANDLE& handle)
{
    if (handle != nullptr)
        CloseHandle(handle);
    handle = nullptr;
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
    dcb.XonChar = kXonChar;
    dcb.XoffChar = kXoffChar;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
}

// A read returns at once with whatever is waiting; a write has no time-out of the driver's (the
// channel bounds its writes itself).
void ApplyTimeouts(COMMTIMEOUTS& timeouts)
{
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
}

// Runs every line set-up step, in order, and says which ones failed. A failed step does not stop
// the later ones: a port left with read time-outs nobody set could make the reader wait for a
// full read, and the settings written do not depend on what was read.
std::array<bool, kLineSetupSteps> SetUpLine(serial::CommApi& api, HANDLE port, DWORD baudRate,
                                            BYTE parity, BYTE byteSize, BYTE stopBits)
{
    std::array<bool, kLineSetupSteps> failed{};
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    failed[0] = !api.GetCommState(port, &dcb);
    ApplyLineSettings(dcb, baudRate, parity, byteSize, stopBits);
    failed[1] = !api.SetCommState(port, &dcb);
    COMMTIMEOUTS timeouts{};
    failed[2] = !api.GetCommTimeouts(port, &timeouts);
    ApplyTimeouts(timeouts);
    failed[3] = !api.SetCommTimeouts(port, &timeouts);
    return failed;
}

} // namespace

CSerialIO::CSerialIO(const char* portName, DWORD baudRate, BYTE parity, BYTE byteSize,
                     BYTE stopBits, HWND notifyWnd, serial::FailureReport& report,
                     serial::CommApi& api)
    : m_hPort(INVALID_HANDLE_VALUE), m_hNotifyWnd(notifyWnd), m_hReaderPort(INVALID_HANDLE_VALUE),
      m_logFile(nullptr), m_pRxBuffer(m_rxBuffer), m_writeIndex(0), m_rxBuffer(),
      m_hThread(nullptr), m_sink(nullptr), m_report(report), m_api(api), m_hStopEvent(nullptr),
      m_hReaderEvent(nullptr), m_hWriteEvent(nullptr), m_hInterruptEvent(nullptr),
      m_hHandledEvent(nullptr), m_stopRequested(false), m_logFailureEndsProgram(true), m_logPath()
{
    Open(portName, baudRate, parity, byteSize, stopBits, nullptr);
}

CSerialIO::CSerialIO(const char* portName, DWORD baudRate, BYTE parity, BYTE byteSize,
                     BYTE stopBits, serial::ChunkSink& sink, serial::FailureReport& report,
                     const char* logPath, serial::CommApi& api)
    : m_hPort(INVALID_HANDLE_VALUE), m_hNotifyWnd(nullptr), m_hReaderPort(INVALID_HANDLE_VALUE),
      m_logFile(nullptr), m_pRxBuffer(m_rxBuffer), m_writeIndex(0), m_rxBuffer(),
      m_hThread(nullptr), m_sink(&sink), m_report(report), m_api(api), m_hStopEvent(nullptr),
      m_hReaderEvent(nullptr), m_hWriteEvent(nullptr), m_hInterruptEvent(nullptr),
      m_hHandledEvent(nullptr), m_stopRequested(false), m_logFailureEndsProgram(false), m_logPath()
{
    Open(portName, baudRate, parity, byteSize, stopBits, logPath);
}

void CSerialIO::Open(const char* portName, DWORD baudRate, BYTE parity, BYTE byteSize,
                     BYTE stopBits, const char* logPath)
{
    if (!OpenLog(logPath))
    {
        m_report.ReportFailure(kLogOpenFailedMessage, kChannelCaption);
        if (m_logFailureEndsProgram)
            m_report.EndProgram(kLogFailedExitCode);
        return;
    }
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

// Every open starts a new log ("wb" empties an earlier one). A path of the caller's is the log
// or nothing: each port of the console program has its own, and two ports must not share one.
bool CSerialIO::OpenLog(const char* logPath)
{
    if (logPath != nullptr && logPath[0] != '\0')
    {
        if (std::strlen(logPath) >= sizeof(m_logPath))
            return false;
        std::strcpy(m_logPath, logPath);
        m_logFile = std::fopen(m_logPath, "wb");
        return m_logFile != nullptr;
    }
    std::strcpy(m_logPath, kLogPath);
    m_logFile = std::fopen(m_logPath, "wb");
    if (m_logFile != nullptr)
        return true;

    char folder[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length > 0 && length + sizeof(kLogFileName) <= MAX_PATH)
    {
        std::strcpy(m_logPath, folder);
        std::strcat(m_logPath, kLogFileName);
        m_logFile = std::fopen(m_logPath, "wb");
    }
    return m_logFile != nullptr;
}

bool CSerialIO::OpenPort(const char* portName)
{
    m_hStopEvent = NewEvent(true);
    m_hReaderEvent = NewEvent(true);
    m_hWriteEvent = NewEvent(true);
    m_hInterruptEvent = NewEvent(true);
    m_hHandledEvent = NewEvent(false);
    if (m_hStopEvent == nullptr || m_hReaderEvent == nullptr || m_hWriteEvent == nullptr ||
        m_hInterruptEvent == nullptr || m_hHandledEvent == nullptr)
    {
        CloseEvents();
    }
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt)
    {
        if (attempt > 0)
            Sleep(kOpenRetryDelayMs);
        const HANDLE port = m_api.OpenPort(portName);
        if (port != INVALID_HANDLE_VALUE && m_hStopEvent == nullptr)
        {
            // Without its events the channel could neither wait nor be stopped.
            m_api.CloseHandle(port);
            break;
        }
        if (port != INVALID_HANDLE_VALUE)
        {
            m_hPort = port;
            return true;
        }
    }
    char text[128];
    std::snprintf(text, sizeof(text), kPortOpenFailedFormat, portName);
    m_report.ReportFailure(text, kChannelCaption);
    return false;
}

// Failures are reported and otherwise ignored: the reader runs on whatever the port does. The
// driver's queue sizes are asked for only on a line that took every setting.
void CSerialIO::Configure(DWORD baudRate, BYTE parity, BYTE byteSize, BYTE stopBits)
{
    m_baudRate = baudRate;
    const std::array<bool, kLineSetupSteps> failed =
        SetUpLine(m_api, m_hPort, baudRate, parity, byteSize, stopBits);
    for (std::size_t step = 0; step < kLineSetupSteps; ++step)
    {
        if (failed[step])
            m_report.ReportFailure(kLineSetupFailedMessages[step], kChannelCaption);
    }
    if (std::find(failed.begin(), failed.end(), true) != failed.end())
        return;
    if (!m_api.SetupComm(m_hPort, kDriverQueueBytes, kDriverQueueBytes))
        m_report.ReportFailure(kQueueSetupFailedMessage, kChannelCaption);
}

void CSerialIO::StartReader()
{
    m_hReaderPort = m_hPort;
    m_pRxBuffer = m_rxBuffer;
    m_readTimeouts = nullptr;
    m_stopRequested = false;
    ResetEvent(m_hStopEvent);
    // The runtime's thread start, so the reader may use the runtime's streams.
    m_hThread = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, kReaderStackBytes, &CSerialIO::TracingThread, this, 0, nullptr));
}

void CSerialIO::StopReader()
{
    if (m_hThread == nullptr || m_readerAbandoned)
        return;
    m_stopRequested = true;
    SetEvent(m_hStopEvent);
    bool ended = WaitForSingleObject(m_hThread, kStopWaitMs) == WAIT_OBJECT_0;
    if (!ended)
    {
        // The driver has not completed the reader's own cancellation. A purge's read abort ends
        // a pending read by another way; CancelIoEx takes back any other request of the reader.
        m_api.PurgeComm(m_hPort, PURGE_RXABORT);
        m_api.CancelIoEx(m_hPort, nullptr);
        ended = WaitForSingleObject(m_hThread, kEndWaitMs) == WAIT_OBJECT_0;
    }
    if (!ended)
    {
        // Nothing the reader or its requests may still touch is freed: the port, its events, the
        // log and this object stay as they are for the rest of the program.
        m_readerAbandoned = true;
        LogText(kReaderLeftText);
        Abandon();
        return;
    }
    CloseHandle(m_hThread);
    m_hThread = nullptr;
}

void* CSerialIO::operator new(std::size_t size)
{
    return ::operator new(size);
}

void CSerialIO::operator delete(void* memory)
{
    {
        std::lock_guard<std::mutex> hold(g_abandonedLock);
        if (std::find(g_abandoned.begin(), g_abandoned.end(), memory) != g_abandoned.end())
            return;
    }
    ::operator delete(memory);
}

void CSerialIO::Close()
{
    StopReader();
    // The log is the reader's and ours alone: a write the driver keeps does not touch it.
    if (!m_readerAbandoned && m_logFile != nullptr)
    {
        std::fclose(m_logFile);
        m_logFile = nullptr;
    }
    if (Abandoned())
        return;
    if (m_hPort != INVALID_HANDLE_VALUE)
    {
        DrainOutput();
        m_api.CloseHandle(m_hPort);
    }
    m_hPort = INVALID_HANDLE_VALUE;
    m_hReaderPort = INVALID_HANDLE_VALUE;
    CloseEvents();
}

void CSerialIO::CloseEvents()
{
    CloseIfOpen(m_hStopEvent);
    CloseIfOpen(m_hReaderEvent);
    CloseIfOpen(m_hWriteEvent);
    CloseIfOpen(m_hInterruptEvent);
    CloseIfOpen(m_hHandledEvent);
}

void CSerialIO::ChunksHandled(std::size_t count)
{
    std::uint32_t unhandled = m_unhandledBytes.load();
    std::uint32_t left = 0;
    do
        left = count < unhandled ? unhandled - static_cast<std::uint32_t>(count) : 0;
    while (!m_unhandledBytes.compare_exchange_weak(unhandled, left));
    // Only a reader that waits for room is woken: the call costs Wine a round trip to its server
    // on every chunk otherwise.
    if (m_readerWantsRoom && m_hHandledEvent != nullptr)
        SetEvent(m_hHandledEvent);
}

// Called from any thread while the owner may wait in Write(); the owner cancels its own write
// when it wakes, so no request of the reader's is touched.
void CSerialIO::Interrupt()
{
    m_interrupted = true;
    if (m_hInterruptEvent != nullptr)
        SetEvent(m_hInterruptEvent);
}

// The write ends when the driver has taken every byte, or fails once it has taken longer than
// the bytes' time on the line allows: a device that stopped taking data must not hold the
// window. What a cancelled write did send stays sent; the caller sees fewer bytes written.
std::size_t CSerialIO::Write(const std::uint8_t* bytes, std::size_t count)
{
    if (m_hPort == INVALID_HANDLE_VALUE || Abandoned() || m_interrupted)
        return 0;
    m_writeOverlapped = OVERLAPPED{};
    m_writeOverlapped.hEvent = m_hWriteEvent;
    DWORD written = 0;
    BOOL done =
        m_api.WriteFile(m_hPort, bytes, static_cast<DWORD>(count), nullptr, &m_writeOverlapped);
    if (done || GetLastError() == ERROR_IO_PENDING)
    {
        const DWORD boundMs = serial::WriteBoundMs(count, m_baudRate);
        const HANDLE ends[] = {m_hWriteEvent, m_hInterruptEvent};
        if (!done && WaitForMultipleObjects(2, ends, FALSE, boundMs) != WAIT_OBJECT_0 &&
            !TakeWriteBack())
            return 0;
        done = m_api.GetOverlappedResult(m_hPort, &m_writeOverlapped, &written, FALSE);
    }
    m_lastWriteBytes = count;
    m_outputQueued = done && written == count;
    return done ? written : std::min<std::size_t>(written, count == 0 ? 0 : count - 1);
}

// Cancels the write in progress and waits, bounded, until the driver has let go of it; a driver
// that ignores the cancellation gets a purge's write abort. One that ignores both keeps the write:
// the channel is then given up as a whole (its record, buffer and port are the driver's for
// good), so that the window goes on. False then.
bool CSerialIO::TakeWriteBack()
{
    m_api.CancelIoEx(m_hPort, &m_writeOverlapped);
    if (WaitForSingleObject(m_hWriteEvent, kWriteCancelWaitMs) == WAIT_OBJECT_0)
        return true;
    m_api.PurgeComm(m_hPort, PURGE_TXABORT);
    if (WaitForSingleObject(m_hWriteEvent, kWriteCancelWaitMs) == WAIT_OBJECT_0)
        return true;
    m_writeAbandoned = true;
    Abandon();
    return false;
}

void CSerialIO::Abandon()
{
    std::lock_guard<std::mutex> hold(g_abandonedLock);
    if (std::find(g_abandoned.begin(), g_abandoned.end(), this) == g_abandoned.end())
        g_abandoned.push_back(this);
}

void CSerialIO::Purge()
{
    if (m_hPort == INVALID_HANDLE_VALUE || Abandoned())
        return;
    // Counted first, so the reader sees the count moved by the time the purge aborts its read.
    ++m_purges;
    m_api.PurgeComm(m_hPort, kPurgeAll);
    m_outputQueued = false;
}

// A driver may drop at the close what it still holds for the line, and the protocol change
// closes the port right after its frame: what was written goes out first. The wait is bounded
// like a write, and after a failed write nothing is waited for, so a device that stopped taking
// data cannot hold the close. FlushFileBuffers, which on Windows returns once the device has sent
// everything, is called only when the driver held bytes and has handed them on: Wine's serial
// layer discards the output instead, which is then harmless. A USB adapter's driver reports an
// empty queue, and returns from the flush, once the bytes are in the adapter: the last frame's
// time on the line lets them out before the close.
void CSerialIO::DrainOutput()
{
    if (!m_outputQueued)
        return;
    DWORD errors = 0;
    COMSTAT status{};
    if (!m_api.ClearCommError(m_hPort, &errors, &status))
        return;
    const bool held = status.cbOutQue > 0;
    const ULONGLONG deadline = GetTickCount64() + serial::WriteBoundMs(status.cbOutQue, m_baudRate);
    while (status.cbOutQue > 0 && GetTickCount64() < deadline)
    {
        Sleep(kDrainPollMs);
        if (!m_api.ClearCommError(m_hPort, &errors, &status))
            return;
    }
    if (status.cbOutQue > 0)
        return;
    if (held)
        m_api.FlushFileBuffers(m_hPort);
    Sleep(serial::LineTimeMs(m_lastWriteBytes, m_baudRate) + kDeviceFifoMarginMs);
}

bool CSerialIO::ReaderWait(OVERLAPPED& overlapped)
{
    const HANDLE events[] = {overlapped.hEvent, m_hStopEvent};
    const DWORD woke = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0)
        return true;
    // The stop: take the operation back, and wait for it to let go of the record and buffer.
    m_api.CancelIo(m_hReaderPort);
    DWORD ignored = 0;
    m_api.GetOverlappedResult(m_hReaderPort, &overlapped, &ignored, TRUE);
    return false;
}

unsigned __stdcall CSerialIO::TracingThread(void* channel)
{
    CSerialIO& self = *static_cast<CSerialIO*>(channel);
    self.m_writeIndex = 0;
    DWORD errors = 0;
    COMSTAT status{};
    if (!self.m_api.ClearCommError(self.m_hReaderPort, &errors, &status))
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

// One round: what the driver holds is read at once; when it holds nothing, a read of one byte
// waits for the next character and what came with it joins it in the same chunk. Waiting by a
// read rather than by an event wait keeps every byte in the driver's queue until it is read (no
// event history to clear or miss) and, under Wine, costs no memory per wait and wakes at once.
// The two reads need their own time-outs: a read that waits for exactly what is queued is left
// pending by Wine and completes a good half millisecond later, so the bytes already queued are
// taken by a read that returns at once. Returns false when the port has gone.
bool CSerialIO::ReadPort()
{
    COMSTAT status{};
    if (!LookAtQueue(status))
        return false;
    if (status.cbInQue > kInQueueWarningBytes)
        LogText(kInQueueReadPortText);
    const std::uint32_t index = m_writeIndex;
    BYTE* const chunk = m_pRxBuffer + index;
    const DWORD room = serial::ReadSizeAt(index);
    if (!WaitForRoom(room))
        return true;
    // A purge of the owner's from here on explains a read of this round that it aborts.
    const unsigned purges = m_purges;
    DWORD bytesRead = 0;
    bool aborted = false;
    if (status.cbInQue == 0)
    {
        const ReadResult first = Read(kWaitForAByte, chunk, 1, bytesRead);
        if (first != ReadResult::Done && first != ReadResult::Aborted)
            return first == ReadResult::Stopped || ReadFailed(first);
        aborted = first == ReadResult::Aborted;
        // A line error that came with the character is logged before the character.
        if (bytesRead == 1 && !LookAtQueue(status))
            return false;
    }
    // Only a queue that holds bytes is read at once: Wine takes a timer's tick over a read that
    // finds nothing.
    if (status.cbInQue > 0 && bytesRead < room)
    {
        DWORD more = 0;
        const ReadResult rest = Read(kAtOnce, chunk + bytesRead, room - bytesRead, more);
        if (rest == ReadResult::Stopped)
            return true;
        if (rest == ReadResult::Refused || rest == ReadResult::Failed)
        {
            // The character the waiting read got came before the refusal: it is handed on.
            if (bytesRead > 0)
                EndRound(index, chunk, bytesRead, purges, false);
            return ReadFailed(rest);
        }
        aborted = aborted || rest == ReadResult::Aborted;
        bytesRead += more;
    }
    m_refusedRounds = 0;
    return EndRound(index, chunk, bytesRead, purges, aborted);
}

// Hands on what a round read, unless a purge of the owner's aborted one of its reads: what the
// round read before is from before the purge, which is there to drop it, so the round counts as
// the purge's read of nothing (the bytes are still logged: they came on the line). A read that
// was pending at a purge and not aborted by it (Wine's way) brings what came after it: kept.
// False when empty rounds say the port has gone.
bool CSerialIO::EndRound(std::uint32_t index, BYTE* chunk, DWORD bytesRead, unsigned purges,
                         bool aborted)
{
    const bool purged = aborted && m_purges != purges;
    if (bytesRead == 0 && !purged)
        return EmptyRound(aborted);
    m_emptyRounds = 0;
    m_abortedRounds = 0;
    Deliver(index, chunk, bytesRead, purged ? 0 : bytesRead);
    return true;
}

// A round that brought nothing, with no purge to explain it; handed on as nothing at all.
bool CSerialIO::EmptyRound(bool aborted)
{
    ++m_emptyRounds;
    m_abortedRounds += aborted ? 1 : 0;
    if (m_abortedRounds >= kAbortedRoundsOfALostPort || m_emptyRounds >= kEmptyRoundsOfALostPort)
        return false;
    if (m_emptyRounds > kEmptyRoundsBeforeBackOff)
        WaitForSingleObject(m_hStopEvent, kEmptyRoundBackOffMs);
    return true;
}

// Asks the driver for its queue and logs the line errors it reports. False when the port has
// gone.
bool CSerialIO::LookAtQueue(COMSTAT& status)
{
    DWORD errors = 0;
    if (!m_api.ClearCommError(m_hReaderPort, &errors, &status))
    {
        LogText(kClearCommErrorText);
        return false;
    }
    for (const LineErrorText& lineError : kLineErrorTexts)
    {
        if ((errors & lineError.bit) != 0)
            LogText(lineError.text);
    }
    if (status.fEof)
        LogText(kEndOfFileText);
    return true;
}

// One overlapped read under the given time-outs, which are written only when they change. An
// aborted read brings nothing: a purge of the owner's, or an adapter that has gone.
CSerialIO::ReadResult CSerialIO::Read(const COMMTIMEOUTS& timeouts, BYTE* into, DWORD size,
                                      DWORD& bytesRead)
{
    bytesRead = 0;
    if (m_readTimeouts != &timeouts)
    {
        COMMTIMEOUTS asked = timeouts;
        if (!m_api.SetCommTimeouts(m_hReaderPort, &asked))
        {
            LogText(kSetCommTimeoutsErrorText);
            return ReadResult::Refused;
        }
        m_readTimeouts = &timeouts;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = m_hReaderEvent;
    // The count of an overlapped read is the record's to tell, even when the read is done at once:
    // the one ReadFile would write may be wrong for it.
    BOOL read = m_api.ReadFile(m_hReaderPort, into, size, nullptr, &overlapped);
    if (read || GetLastError() == ERROR_IO_PENDING)
    {
        if (!read && !ReaderWait(overlapped))
            return ReadResult::Stopped;
        read = m_api.GetOverlappedResult(m_hReaderPort, &overlapped, &bytesRead, FALSE);
    }
    if (!read && GetLastError() == ERROR_OPERATION_ABORTED)
    {
        bytesRead = 0;
        return m_stopRequested ? ReadResult::Stopped : ReadResult::Aborted;
    }
    if (m_stopRequested)
        return ReadResult::Stopped;
    return read ? ReadResult::Done : ReadResult::Failed;
}

// A read that fails on a port that is still there is reported and ends the reader; on a port
// that has gone it ends the reader quietly, as a lost port. Time-outs the driver refuses round
// after round end it too, rather than let it spin.
bool CSerialIO::ReadFailed(ReadResult result)
{
    if (result == ReadResult::Refused)
        return ++m_refusedRounds < kRefusedRoundsOfALostPort;
    COMSTAT status{};
    DWORD errors = 0;
    if (m_api.ClearCommError(m_hReaderPort, &errors, &status))
        ReportReaderFailure(kReadFailedMessage);
    return false;
}

// Logs the `bytesRead` bytes of the chunk and hands the first `handedOn` of them on.
void CSerialIO::Deliver(std::uint32_t index, BYTE* chunk, DWORD bytesRead, DWORD handedOn)
{
    if (m_logFile != nullptr)
    {
        for (DWORD i = 0; i < bytesRead; ++i)
            std::fputc(chunk[i], m_logFile);
    }
    if (m_stopRequested)
        return;
    // The index moves on before the post, so the window, which takes the end of received data
    // from it, always finds the chunk it is told about before that end.
    m_writeIndex = serial::NextWriteIndex(index, handedOn);
    if (m_sink == nullptr)
        PostChunk(handedOn, chunk);
    else
        m_sink->OnChunk(handedOn, chunk);
}

// Only the window reads chunks in place after they were handed on; a sink has taken its copy.
// False on the stop.
bool CSerialIO::WaitForRoom(std::uint32_t readSize)
{
    const HANDLE events[] = {m_hHandledEvent, m_hStopEvent};
    // Told before the room is looked at, so the owner either sees the wish or has already made
    // the room this look finds.
    m_readerWantsRoom = m_sink == nullptr;
    while (m_sink == nullptr && !m_stopRequested &&
           !serial::ReadLeavesUnhandledIntact(m_unhandledBytes, readSize))
        WaitForMultipleObjects(2, events, FALSE, INFINITE);
    m_readerWantsRoom = false;
    return !m_stopRequested;
}

// A full message queue refuses the post: it is tried again until the window takes it, since the
// window finds each chunk where the one before it ended.
void CSerialIO::PostChunk(std::uint32_t count, const BYTE* chunk)
{
    m_unhandledBytes += count;
    while (!PostMessageA(m_hNotifyWnd, WM_SERIAL_DATA, static_cast<WPARAM>(count),
                         reinterpret_cast<LPARAM>(chunk)))
    {
        if (WaitForSingleObject(m_hStopEvent, kPostRetryMs) == WAIT_OBJECT_0)
            return;
    }
}

// The window's boxes belong to the window's thread: a window is sent the failure, and only a
// channel without one tells its report from here.
void CSerialIO::ReportReaderFailure(const char* text)
{
    if (m_hNotifyWnd != nullptr)
        PostMessageA(m_hNotifyWnd, WM_SERIAL_FAILURE, reinterpret_cast<WPARAM>(kReaderCaption),
                     reinterpret_cast<LPARAM>(text));
    else
        m_report.ReportFailure(text, kReaderCaption);
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
