#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "serial/comm_api.h"
#include "serial/receive_buffer.h"
#include "serial/serial_channel.h"

// Posted by the reader for every read: wParam = bytes read (0 to 300, 0 included), lParam =
// address of the first of them inside CSerialIO::m_rxBuffer.
#define WM_SERIAL_DATA (WM_USER + 0x65)
// Handled by the main window; nothing posts it.
#define WM_DOWNLOAD_END (WM_USER + 0x66)
// Posted by the reader when it fails in a way the operator is shown, so the box is the window's
// thread's: wParam = the caption, lParam = the text (both texts that live as long as the program).
#define WM_SERIAL_FAILURE (WM_USER + 0x67)

namespace serial
{
// Exit code of the reader thread that ended after a stop request.
constexpr DWORD kReaderEndedExitCode = 1;
// The reader ended by itself because the port went away (ClearCommError or ReadFile failing, the
// driver refusing the read time-outs round after round, or reads that bring nothing, aborted or
// empty, round after round with no purge to explain them).
constexpr DWORD kReaderLostPortExitCode = 2;
} // namespace serial

// One open COM port at one baud rate, its reader thread (TracingThread) and its receive buffer.
// The port is opened for overlapped I/O: Windows serializes synchronous I/O on one handle, so a
// write would otherwise wait behind the reader's pending read until the handset sends
// something, and the handset sends nothing until it gets that write. Write() is the one way to
// the port and returns when the write is done. A new baud rate means Close() and a new object.
//
// The window reads each notified chunk in place, so the reader holds back a read that would land
// on bytes the window has not done with (ChunksHandled); the driver's queue keeps what arrives
// meanwhile. A notification the window's full queue refuses is posted again, not lost.
//
// Threads: "owner" is the thread that constructs, writes, purges and closes (the user-interface
// thread); "reader" is TracingThread. The owner sets the reader's fields before the reader starts
// and touches them again only after the reader has ended.
class CSerialIO : public SerialChannel
{
public:
    // Opens the debug log, the port (a bounded number of tries), configures the line and starts the
    // reader, which posts WM_SERIAL_DATA to notifyWnd. Failures go to `report` with the caption
    // "CSerialIO"; an unopenable port leaves an object that is not IsOpen(), on which Close(),
    // Write() and Purge() are harmless. A debug log that cannot be created is reported, then
    // `report` is asked to end the program; the object is not IsOpen().
    CSerialIO(const char* portName, DWORD baudRate, BYTE parity, BYTE byteSize, BYTE stopBits,
              HWND notifyWnd, serial::FailureReport& report,
              serial::CommApi& api = serial::Win32CommApi());
    // The same, handing each read to `sink` on the reader's thread instead of posting it. The
    // debug log is `logPath` when it is not empty, else placed as above; a log that cannot be
    // created is reported and fails the open (not IsOpen()), and the program goes on.
    CSerialIO(const char* portName, DWORD baudRate, BYTE parity, BYTE byteSize, BYTE stopBits,
              serial::ChunkSink& sink, serial::FailureReport& report, const char* logPath,
              serial::CommApi& api = serial::Win32CommApi());
    ~CSerialIO() override;
    CSerialIO(const CSerialIO&) = delete;
    CSerialIO& operator=(const CSerialIO&) = delete;

    // False when the port could not be opened: no reader runs and m_hPort is INVALID_HANDLE_VALUE.
    bool IsOpen() const override;
    std::size_t Write(const std::uint8_t* bytes, std::size_t count) override;
    void Purge() override;
    // The write in progress gives up now, and every later one fails at once.
    void Interrupt() override;
    // The window has done with notified bytes: a reader held back for them may read again.
    void ChunksHandled(std::size_t count) override;
    const std::uint8_t* RxBufferStart() const override { return m_pRxBuffer; }
    std::uint32_t RxWriteIndex() const override { return m_writeIndex.load(); }
    // Ends the reader by handshake and waits for it; does nothing once it has ended. A reader that
    // does not end even so is left running with everything it uses: the port, its events, the
    // log and the object itself, whose memory a delete then keeps.
    void StopReader();
    // Stops the reader, lets the driver send what it holds (bounded), closes the log and the
    // port. May be called more than once.
    void Close() override;
    static void* operator new(std::size_t size);
    static void operator delete(void* memory);
    // The file the log went to: the caller's path, or "c:\debugfile.txt" or, when that cannot be
    // created, debugfile.txt in the temporary folder.
    const char* LogPath() const { return m_logPath; }

    HANDLE m_hPort;       // owner: Write() and Purge()
    HWND m_hNotifyWnd;    // reader: window that receives WM_SERIAL_DATA, if any
    HANDLE m_hReaderPort; // reader: its copy of the port handle for waits and reads
    FILE* m_logFile;      // reader writes while it runs; owner opens and closes
    BYTE* m_pRxBuffer;    // set once at open: address of m_rxBuffer
    // Written by the reader, read by the owner for the end of received data. An atomic so that it
    // is always loaded and stored whole.
    std::atomic<std::uint32_t> m_writeIndex;
    BYTE m_rxBuffer[serial::kRxBufferBytes]; // reader writes; owner reads notified chunks in place
    HANDLE m_hThread;                        // owner: the reader thread, null when none runs

private:
    void Open(const char* portName, DWORD baudRate, BYTE parity, BYTE byteSize, BYTE stopBits,
              const char* logPath);
    // Waits for an overlapped operation of the reader, or for the stop; false on the stop.
    bool ReaderWait(OVERLAPPED& overlapped);

    static unsigned __stdcall TracingThread(void* channel);
    enum class ReadResult
    {
        Done,    // what the read brought is in bytesRead
        Aborted, // a purge or a removal aborted the read: it brought nothing
        Stopped, // the owner stops the reader
        Refused, // the driver refused the time-outs
        Failed,  // the read failed
    };
    bool ReadPort();
    bool LookAtQueue(COMSTAT& status);
    ReadResult Read(const COMMTIMEOUTS& timeouts, BYTE* into, DWORD size, DWORD& bytesRead);
    bool ReadFailed(ReadResult result);
    bool EndRound(std::uint32_t index, BYTE* chunk, DWORD bytesRead, unsigned purges, bool aborted);
    bool EmptyRound(bool aborted);
    void Deliver(std::uint32_t index, BYTE* chunk, DWORD bytesRead, DWORD handedOn);
    bool WaitForRoom(std::uint32_t readSize);
    void PostChunk(std::uint32_t count, const BYTE* chunk);
    void ReportReaderFailure(const char* text);
    void LogText(const char* text);
    unsigned EndReaderOnLostPort();

    bool OpenLog(const char* logPath);
    bool OpenPort(const char* portName);
    void Configure(DWORD baudRate, BYTE parity, BYTE byteSize, BYTE stopBits);
    void StartReader();
    void DrainOutput();
    void CloseEvents();
    bool TakeWriteBack();
    // Nothing the driver may still touch is ever freed: the port, the events, the log, this object.
    void Abandon();
    bool Abandoned() const { return m_readerAbandoned || m_writeAbandoned; }

    serial::ChunkSink* m_sink;       // reader: where every read goes, unless posted
    serial::FailureReport& m_report; // owner at open; reader for its own failures
    serial::CommApi& m_api;          // set once at open: the port's calls
    HANDLE m_hStopEvent;             // owner sets it to end the reader's waits
    HANDLE m_hReaderEvent;           // reader: completion of its waits and reads
    HANDLE m_hWriteEvent;            // owner: completion of its writes
    HANDLE m_hInterruptEvent;        // any thread sets it to end the owner's write
    HANDLE m_hHandledEvent;          // owner sets it when the window has done with bytes
    // Bytes posted to the window that it has not done with: the reader adds, the owner takes.
    std::atomic<std::uint32_t> m_unhandledBytes{0};
    std::atomic<bool> m_readerWantsRoom{false}; // reader: it waits for the owner to handle bytes
    std::atomic<bool> m_stopRequested;          // owner sets, reader polls after every wake-up
    std::atomic<bool> m_interrupted{false};     // any thread sets: writes fail from now on
    // The owner's purges so far, counted before each: a read one aborts is no removal, and what
    // the round read before it is dropped.
    std::atomic<unsigned> m_purges{0};
    unsigned m_refusedRounds = 0; // reader: rounds in a row whose time-outs were refused
    unsigned m_emptyRounds = 0;   // reader: rounds in a row that brought nothing unexplained
    unsigned m_abortedRounds = 0; // reader: how many of them were aborted reads
    const COMMTIMEOUTS* m_readTimeouts = nullptr; // reader: the time-outs last written, if known
    bool m_readerAbandoned = false;   // owner: the reader would not end; nothing is freed
    bool m_writeAbandoned = false;    // owner: the driver kept a write; nothing is freed
    OVERLAPPED m_writeOverlapped{};   // owner: the write's, which the driver may keep after it
    std::size_t m_lastWriteBytes = 0; // owner: the last frame, whose line time ends a close
    bool m_outputQueued = false;      // owner: the last write succeeded, nothing purged since
    DWORD m_baudRate = 0;             // owner, set at open: bounds the writes
    bool m_logFailureEndsProgram;     // set once: the window's channel, whose log is required
    char m_logPath[MAX_PATH];         // owner, set at open
};
