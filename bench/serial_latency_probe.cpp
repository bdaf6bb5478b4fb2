// The serial floor under Wine as a reader sees it: echoes "<w" for every ">w" the peer
// (bench/serial_latency_peer.py) writes, with nothing of the program in between. Every completed
// wait, whether the driver ended it with events or aborted it, is followed by a read, as in the
// program's reader. The modes are the ways a reader can wait:
//   wait       SetCommMask before every overlapped WaitCommEvent (the reader before 2026-12-07)
//   wait-once  the mask armed once; the queue drained (ClearCommError) before each wait
//   read       (the reader today) an overlapped ReadFile of one byte with no read time-outs, which
//              completes on the first byte, then, when ClearCommError says more is queued, a
//              read under the time-outs MAXDWORD/0/0, which returns at once with it
//   read-any   an overlapped ReadFile of up to 300 bytes under the time-outs MAXDWORD/MAXDWORD/N,
//              documented to return on the first byte (Wine 8 keeps it pending until all 300
//              bytes came: the probe then ends by its limit)
// With --thread the echo is written by a second thread, as the programs answer from the host's
// thread while the reader already waits again.
//   serial_latency_probe.exe MODE [--thread] [--port COMn]
// Prints one line: the reader's counters and how its private memory and working set grew.
// Every wait is bounded: no first byte within a minute ends the probe with a message and exit
// code 1; after the peer's ">q", or a silence of 5 s, it prints its line.
#include <windows.h>

#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{
constexpr DWORD kFirstByteLimitMs = 60000; // the peer starts beside a Wine that may be slow
constexpr DWORD kSilenceLimitMs = 5000;    // after the first byte: the peer has given up
constexpr DWORD kReadReturnMs = 100;       // "read-any": an empty read returns after this
constexpr DWORD kReadBytes = 300;          // as the program's reader
constexpr DWORD kBaudRate = 115200;
const char kReady[] = "<r"; // tells the peer that the port is open
const char kEcho[] = "<w";
constexpr char kQuitLetter = 'q'; // the peer's ">q": its round trips are done
constexpr DWORD kFrameBytes = 2;  // ">w" from the peer, "<w" back
COMMTIMEOUTS kWaitForAByte = {0, 0, 0, 0, 0};
COMMTIMEOUTS kAtOnce = {MAXDWORD, 0, 0, 0, 0};

enum class Mode
{
    Wait,
    WaitOnce,
    Read,
    ReadAny,
};

struct Counters
{
    unsigned long echoes = 0;
    unsigned long reads = 0;
    unsigned long emptyReads = 0;
    unsigned long waits = 0;
    unsigned long abortedWaits = 0;
    unsigned long waitsAtOnce = 0;
};

// The owner of one handle.
struct Handle
{
    HANDLE h = nullptr;
    ~Handle()
    {
        if (h != nullptr && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

void Fail(const char* what)
{
    std::printf("serial_latency_probe: %s (error %lu)\n", what, GetLastError());
    std::fflush(stdout);
}

struct Memory
{
    SIZE_T privateBytes = 0;
    SIZE_T workingSet = 0;
};

Memory MemoryNow()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return Memory{counters.PrivateUsage, counters.WorkingSetSize};
}

// Writes the echoes, from the reading thread or from a thread of their own.
class Echoer
{
public:
    Echoer(HANDLE port, bool ownThread) : m_port(port)
    {
        m_writeEvent.h = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!ownThread)
            return;
        m_request.h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        m_thread.h = CreateThread(nullptr, 0, &Echoer::Run, this, 0, nullptr);
    }
    ~Echoer()
    {
        if (m_thread.h == nullptr)
            return;
        m_stop = true;
        SetEvent(m_request.h);
        WaitForSingleObject(m_thread.h, kSilenceLimitMs);
    }

    void Echo(unsigned long count)
    {
        if (m_thread.h == nullptr)
        {
            for (unsigned long i = 0; i < count; ++i)
                WriteEcho();
            return;
        }
        m_pending += count;
        SetEvent(m_request.h);
    }

    // The ready word, written before any echo.
    bool Write(const char* bytes, DWORD count)
    {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_writeEvent.h;
        DWORD written = 0;
        if (!WriteFile(m_port, bytes, count, &written, &overlapped))
        {
            if (GetLastError() != ERROR_IO_PENDING ||
                WaitForSingleObject(overlapped.hEvent, kSilenceLimitMs) != WAIT_OBJECT_0)
            {
                CancelIoEx(m_port, &overlapped);
                GetOverlappedResult(m_port, &overlapped, &written, TRUE);
                return false;
            }
            GetOverlappedResult(m_port, &overlapped, &written, FALSE);
        }
        return written == count;
    }

private:
    void WriteEcho() { Write(kEcho, kFrameBytes); }

    static DWORD WINAPI Run(void* self)
    {
        Echoer& echoer = *static_cast<Echoer*>(self);
        while (!echoer.m_stop)
        {
            WaitForSingleObject(echoer.m_request.h, INFINITE); // the destructor sets it
            for (unsigned long n = echoer.m_pending.exchange(0); n > 0; --n)
                echoer.WriteEcho();
        }
        return 0;
    }

    HANDLE m_port;
    Handle m_writeEvent;
    Handle m_request;
    Handle m_thread;
    std::atomic<unsigned long> m_pending{0};
    std::atomic<bool> m_stop{false};
};

class Reader
{
public:
    Reader(HANDLE port, Mode mode, Echoer& echoer) : m_port(port), m_mode(mode), m_echoer(echoer)
    {
        m_event.h = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }

    // Echoes until the peer falls silent (its round trips are done); false when no byte came.
    bool Run()
    {
        if (m_mode == Mode::WaitOnce && !SetCommMask(m_port, EV_RXCHAR | EV_ERR))
            Fail("SetCommMask failed");
        for (;;)
        {
            const DWORD limit = m_received == 0 ? kFirstByteLimitMs : kSilenceLimitMs;
            const DWORD waited = GetTickCount() - m_lastByteTick;
            if (m_quit || waited >= limit)
                return m_received > 0;
            if (!Round(limit - waited))
                return false;
        }
    }

    const Counters& Count() const { return m_count; }

private:
    // One wait and what it brought; false on a failure of the port.
    bool Round(DWORD limitMs)
    {
        if (m_mode == Mode::Read || m_mode == Mode::ReadAny)
            return ReadFirstByte(limitMs);
        if (m_mode == Mode::WaitOnce && QueuedBytes() > 0)
            return ReadQueued();
        if (m_mode == Mode::Wait)
        {
            QueuedBytes(); // the reader asks for line errors first
            if (!SetCommMask(m_port, EV_RXCHAR | EV_ERR))
                Fail("SetCommMask failed");
        }
        DWORD events = 0;
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_event.h;
        ++m_count.waits;
        if (WaitCommEvent(m_port, &events, &overlapped))
        {
            ++m_count.waitsAtOnce;
            return AfterWait();
        }
        if (GetLastError() != ERROR_IO_PENDING)
        {
            Fail("WaitCommEvent failed");
            return false;
        }
        DWORD ignored = 0;
        if (!Finish(overlapped, ignored, limitMs))
            return true; // the limit: Run decides
        if (!GetOverlappedResult(m_port, &overlapped, &ignored, FALSE))
        {
            // Wine ends a pending wait this way when a character arrives: read all the same.
            if (GetLastError() != ERROR_OPERATION_ABORTED)
            {
                Fail("WaitCommEvent completed with an error");
                return false;
            }
            ++m_count.abortedWaits;
        }
        return AfterWait();
    }

    // Today's reader reads once after a wait; the others drain the queue.
    bool AfterWait() { return m_mode == Mode::Wait ? Read(kSilenceLimitMs) : ReadQueued(); }

    // Waits for a pending request up to the limit; on the limit it is cancelled and false. A
    // request that does not even end when cancelled ends the probe (the process takes it).
    bool Finish(OVERLAPPED& overlapped, DWORD& transferred, DWORD limitMs)
    {
        if (WaitForSingleObject(overlapped.hEvent, limitMs) == WAIT_OBJECT_0)
            return true;
        CancelIoEx(m_port, &overlapped);
        if (WaitForSingleObject(overlapped.hEvent, kSilenceLimitMs) != WAIT_OBJECT_0)
        {
            Fail("a cancelled request did not end");
            ExitProcess(1);
        }
        GetOverlappedResult(m_port, &overlapped, &transferred, FALSE);
        return false;
    }

    DWORD QueuedBytes()
    {
        DWORD errors = 0;
        COMSTAT status{};
        return ClearCommError(m_port, &errors, &status) ? status.cbInQue : 0;
    }

    // A read of up to `bytes` under the time-outs in force.
    bool Read(DWORD limitMs, DWORD bytes = kReadBytes)
    {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_event.h;
        DWORD read = 0;
        if (!ReadFile(m_port, m_buffer, bytes, &read, &overlapped))
        {
            if (GetLastError() != ERROR_IO_PENDING)
            {
                Fail("ReadFile failed");
                return false;
            }
            if (!Finish(overlapped, read, limitMs))
                return true;
            if (!GetOverlappedResult(m_port, &overlapped, &read, FALSE))
            {
                Fail("ReadFile completed with an error");
                return false;
            }
        }
        ++m_count.reads;
        if (read == 0)
        {
            ++m_count.emptyReads;
            return true;
        }
        m_received += read;
        m_lastByteTick = GetTickCount();
        m_quit = std::memchr(m_buffer, kQuitLetter, read) != nullptr;
        const unsigned long frames = m_received / kFrameBytes - m_count.echoes;
        m_count.echoes += frames;
        m_echoer.Echo(frames);
        return true;
    }

    // After a wait: one read, then more while bytes are queued.
    bool ReadQueued()
    {
        do
        {
            if (!Read(kSilenceLimitMs))
                return false;
        } while (QueuedBytes() > 0);
        return true;
    }

    // Waits for one byte, then takes what is queued. "read" as the program's reader: the wait
    // under no read time-outs, the rest by a read that returns at once, each under its own
    // time-outs (Wine leaves a read of exactly what is queued pending for half a millisecond).
    bool ReadFirstByte(DWORD limitMs)
    {
        if (m_mode == Mode::Read && !SetCommTimeouts(m_port, &kWaitForAByte))
            Fail("SetCommTimeouts failed");
        if (!Read(limitMs, m_mode == Mode::Read ? 1 : kReadBytes))
            return false;
        if (m_mode == Mode::Read && QueuedBytes() > 0 && !SetCommTimeouts(m_port, &kAtOnce))
            Fail("SetCommTimeouts failed");
        for (DWORD queued = QueuedBytes(); queued > 0; queued = QueuedBytes())
        {
            if (!Read(kSilenceLimitMs, kReadBytes))
                return false;
        }
        return true;
    }

    HANDLE m_port;
    Mode m_mode;
    Echoer& m_echoer;
    Handle m_event;
    char m_buffer[kReadBytes];
    unsigned long m_received = 0;
    bool m_quit = false;
    DWORD m_lastByteTick = GetTickCount();
    Counters m_count;
};

bool Configure(HANDLE port, Mode mode)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb))
        return false;
    dcb.BaudRate = kBaudRate;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11; // strict drivers refuse XonChar == XoffChar
    dcb.XoffChar = 0x13;
    if (!SetCommState(port, &dcb))
        return false;
    // The program's: a read returns at once with what is queued. "read": no read time-outs, a
    // read waits for all it asked for.
    COMMTIMEOUTS timeouts{};
    if (mode != Mode::Read)
        timeouts.ReadIntervalTimeout = MAXDWORD;
    if (mode == Mode::ReadAny)
    {
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = kReadReturnMs;
    }
    return SetCommTimeouts(port, &timeouts) != 0;
}

bool ParseMode(const char* text, Mode& mode)
{
    const std::string name = text;
    if (name == "wait")
        mode = Mode::Wait;
    else if (name == "wait-once")
        mode = Mode::WaitOnce;
    else if (name == "read")
        mode = Mode::Read;
    else if (name == "read-any")
        mode = Mode::ReadAny;
    else
        return false;
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    Mode mode = Mode::Wait;
    bool thread = false;
    std::string portName = "COM1";
    const char* modeName = argc > 1 ? argv[1] : "wait";
    bool ok = ParseMode(modeName, mode);
    for (int i = 2; ok && i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--thread") == 0)
            thread = true;
        else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            portName = argv[++i];
        else
            ok = false;
    }
    if (!ok)
    {
        std::printf("usage: serial_latency_probe.exe wait|wait-once|read|read-any [--thread] "
                    "[--port COMn]\n");
        return 2;
    }

    Handle port;
    port.h = CreateFileA(("\\\\.\\" + portName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port.h == INVALID_HANDLE_VALUE)
    {
        Fail((portName + " cannot be opened").c_str());
        return 1;
    }
    if (!Configure(port.h, mode))
    {
        Fail((portName + " cannot be configured").c_str());
        return 1;
    }
    PurgeComm(port.h, PURGE_RXCLEAR | PURGE_TXCLEAR);

    Echoer echoer(port.h, thread);
    Reader reader(port.h, mode, echoer);
    const Memory before = MemoryNow();
    if (!echoer.Write(kReady, kFrameBytes))
    {
        Fail("the ready word cannot be written");
        return 1;
    }
    const bool heard = reader.Run();
    const Memory after = MemoryNow();
    const Counters& count = reader.Count();
    if (!heard)
    {
        std::printf("serial_latency_probe: no byte came on %s within %lu s: is %s mapped to "
                    "the peer's link?\n",
                    portName.c_str(), kFirstByteLimitMs / 1000, portName.c_str());
        return 1;
    }
    std::printf("probe %s%s: echoes %lu, reads %lu (empty %lu), waits %lu (aborted %lu, at once "
                "%lu), private %+.1f KiB, working set %+.1f KiB\n",
                modeName, thread ? " --thread" : "", count.echoes, count.reads, count.emptyReads,
                count.waits, count.abortedWaits, count.waitsAtOnce,
                (static_cast<double>(after.privateBytes) - before.privateBytes) / 1024.0,
                (static_cast<double>(after.workingSet) - before.workingSet) / 1024.0);
    return 0;
}
