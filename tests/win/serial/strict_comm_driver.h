// A Windows serial driver as Microsoft documents it, behind the channel's CommApi. Wine's serial
// layer forgives what real drivers do not (it takes any DCB, never holds a write, and a purge
// there does not abort a pending read); this model does not:
// - ReadFile follows the time-outs in force when it is issued: MAXDWORD/0/0 returns at once with
//   what is queued, MAXDWORD/MAXDWORD/N on the first byte or after N ms, otherwise it fills the
//   buffer (bounded by the total time-out, if any); a purge's read abort ends it.
// - SetCommState refuses XonChar == XoffChar (ERROR_INVALID_PARAMETER).
// - A write completes once its bytes are in the output queue, which drains into the wire at the
//   line rate; the wire can stall. CloseHandle drops what was not yet transmitted, so only
//   FlushFileBuffers, which waits for the queue to drain, gets it all out.
// - CancelIo cancels the calling thread's requests, CancelIoEx any; PurgeComm aborts and clears.
// - An unplugged device fails every call (ERROR_BAD_COMMAND, or ERROR_GEN_FAILURE for I/O).
// - An overlapped ReadFile or WriteFile leaves a count it is given at 0: only
//   GetOverlappedResult tells.
// - The input queue holds what SetupComm asked for (4096 bytes before); more is lost, CE_RXOVER.
// What USB-serial adapters and their drivers do, each on request: arrivals in pieces (a byte or
// a USB packet at a time), a cbInQue that leaves out the newest arrival, reads under all-zero
// time-outs that return at once (CH340), a removal that aborts every read while ClearCommError
// still answers, writes whose cancellation and purge are ignored, and a device FIFO that still
// holds bytes the driver no longer counts in cbOutQue (only time gets them onto the line).
// Overlapped requests signal their OVERLAPPED's event and answer GetOverlappedResult.
#pragma once

#include "serial/comm_api.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

class StrictCommDriver final : public serial::CommApi
{
public:
    // What sits at the far end of the wire. Called without the driver's lock held.
    class FarEnd
    {
    public:
        // Bytes that crossed the wire, sent at the PC's line rate.
        virtual void OnBytesFromPc(const Bytes& bytes, DWORD pcBaudRate) = 0;
        // The PC has set its line (SetCommState).
        virtual void OnLineSet(DWORD pcBaudRate) = 0;

    protected:
        ~FarEnd() = default;
    };

    explicit StrictCommDriver(FarEnd* farEnd = nullptr);
    ~StrictCommDriver();
    StrictCommDriver(const StrictCommDriver&) = delete;
    StrictCommDriver& operator=(const StrictCommDriver&) = delete;

    // Bytes from the far end into the input queue after `afterMs`, raising line errors (CE_*).
    // Paced arrivals come in pieces, each after the one before, in the order they were given.
    void Arrive(const Bytes& bytes, DWORD lineErrors = 0, DWORD afterMs = 0);
    // From now on every arrival comes `bytesPerPiece` at a time, a piece every `intervalMs`.
    void PaceArrivals(std::size_t bytesPerPiece, DWORD intervalMs);
    // cbInQue leaves out what came in the latest tick of the wire.
    void LagInQueueCount();
    // A read under all-zero time-outs returns at once with what is queued, maybe nothing.
    void ReturnWaitsAtOnce();
    // The adapter is gone but its handle still answers: reads abort (ERROR_OPERATION_ABORTED),
    // ClearCommError reports an empty port, nothing more arrives.
    void Remove();
    // CancelIo, CancelIoEx and PURGE_TXABORT leave a write pending.
    void IgnoreWriteAborts();
    // PURGE_RXABORT leaves a pending read pending (Wine's serial layer).
    void IgnoreReadAborts();
    // The adapter's own FIFO: the first `bytes` of the output queue are not in cbOutQue and
    // FlushFileBuffers does not wait for them; the close drops what is still in it.
    void SetDeviceFifoBytes(std::size_t bytes);
    // Makes the next SetCommTimeouts calls fail.
    void FailSetCommTimeouts(unsigned times);
    void StallWire(bool stalled);
    // The wire stalls once this many bytes in all have crossed it.
    void StallWireAfter(std::size_t transmitted);
    void Unplug();
    // A driver whose cancellations never complete (only a purge ends a read).
    void IgnoreCancellation();
    // Makes the next SetCommState calls fail as a driver that refuses the line would.
    void FailSetCommState(unsigned times);
    void SetOutputQueueBytes(std::size_t bytes);
    // Reads fail from now on (ERROR_GEN_FAILURE), the rest of the port still answers.
    void FailReads();

    Bytes Transmitted() const;          // every byte that crossed the wire
    std::size_t DroppedAtClose() const; // bytes a close took from the output queue
    bool IsOpen() const;
    // Until a read is pending (the reader waits with nothing queued); false after the time.
    bool AwaitPendingRead(DWORD timeoutMs);
    // Until a write waits for room in the output queue; false after the time.
    bool AwaitPendingWrite(DWORD timeoutMs);
    // Until every byte that arrived has been read; false after the time.
    bool AwaitInputTaken(DWORD timeoutMs);
    std::size_t ReadCalls() const; // ReadFile calls so far
    // The time-outs of every SetCommTimeouts call so far, in order.
    std::vector<COMMTIMEOUTS> TimeoutsSet() const;
    DCB LineSettings() const;

    HANDLE OpenPort(const char* portName) override;
    BOOL GetCommState(HANDLE port, DCB* dcb) override;
    BOOL SetCommState(HANDLE port, DCB* dcb) override;
    BOOL GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) override;
    BOOL SetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) override;
    BOOL SetupComm(HANDLE port, DWORD inQueueBytes, DWORD outQueueBytes) override;
    BOOL ClearCommError(HANDLE port, DWORD* errors, COMSTAT* status) override;
    BOOL ReadFile(HANDLE port, void* buffer, DWORD size, DWORD* read,
                  OVERLAPPED* overlapped) override;
    BOOL WriteFile(HANDLE port, const void* bytes, DWORD count, DWORD* written,
                   OVERLAPPED* overlapped) override;
    BOOL GetOverlappedResult(HANDLE port, OVERLAPPED* overlapped, DWORD* transferred,
                             BOOL wait) override;
    BOOL CancelIo(HANDLE port) override;
    BOOL CancelIoEx(HANDLE port, OVERLAPPED* overlapped) override;
    BOOL PurgeComm(HANDLE port, DWORD flags) override;
    BOOL FlushFileBuffers(HANDLE port) override;
    BOOL CloseHandle(HANDLE port) override;

private:
    using Clock = std::chrono::steady_clock;
    enum class Kind
    {
        Read,
        Write
    };
    struct Request
    {
        Kind kind;
        OVERLAPPED* overlapped;
        DWORD thread;
        std::uint8_t* buffer;      // a read's
        const std::uint8_t* bytes; // a write's
        DWORD size;
        DWORD done;
        bool timed;
        Clock::time_point deadline;
        bool firstByte = false; // a read that returns on its first byte
    };
    struct Heard // bytes the far end has yet to be told of, at the rate they were sent
    {
        DWORD baud;
        Bytes bytes;
    };
    struct Arrival
    {
        Clock::time_point due;
        Bytes bytes;
        DWORD errors;
    };

    // Checks the handle and the device; sets the last error and returns false if the call fails.
    bool Usable(HANDLE port, DWORD unpluggedError) const;
    BOOL Fail(DWORD error) const;
    // Until `holds` (called with the lock held) holds; false after the time.
    bool Await(const std::function<bool()>& holds, DWORD timeoutMs);
    bool HasRequest(Kind kind) const;
    // Queues an overlapped request and completes what it can at once.
    BOOL Submit(const Request& request, DWORD* transferred);
    // Starts an overlapped request: its event reset, its record pending.
    static void Begin(OVERLAPPED* overlapped);
    void Complete(std::list<Request>::iterator request, DWORD error);
    // Completes what the queues and the history now allow.
    void Progress(Clock::time_point now);
    void Cancel(bool (*matches)(const Request&, const void*), const void* key);
    // Moves due arrivals into the input queue and what the line has had time for onto it.
    void Transmit(Clock::time_point now);
    void WireLoop();

    FarEnd* m_farEnd;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_quit = false;
    bool m_open = false;
    bool m_unplugged = false;
    bool m_stalled = false;
    std::size_t m_stallAfter = SIZE_MAX;
    bool m_ignoreCancel = false;
    bool m_ignoreWriteAborts = false;
    bool m_ignoreReadAborts = false;
    bool m_lagInQueue = false;
    bool m_waitsAtOnce = false;
    bool m_removed = false;
    std::size_t m_pieceBytes = 0; // 0: arrivals come whole
    DWORD m_pieceIntervalMs = 0;
    Clock::time_point m_lastDue{};
    std::size_t m_uncounted = 0; // bytes of the latest tick that cbInQue leaves out
    std::size_t m_inputQueueBytes = 4096;
    std::size_t m_deviceFifoBytes = 0;
    std::size_t m_readCalls = 0;
    unsigned m_failSetCommTimeouts = 0;
    unsigned m_failSetCommState = 0;
    bool m_failReads = false;
    unsigned m_generation = 0;
    DCB m_dcb{};
    COMMTIMEOUTS m_timeouts{}; // all 0 until set: a read then waits for its whole size
    std::vector<COMMTIMEOUTS> m_timeoutsSet;
    DWORD m_errors = 0;
    std::deque<std::uint8_t> m_input;
    std::deque<std::uint8_t> m_output;
    std::size_t m_outputQueueBytes = 4096;
    std::list<Request> m_requests;
    std::list<Arrival> m_arrivals;
    Bytes m_transmitted;
    std::deque<Heard> m_unheard;
    std::size_t m_droppedAtClose = 0;
    double m_lineCredit = 0;                      // characters the line may still send in this tick
    Clock::time_point m_lineSince = Clock::now(); // when the line's credit was last counted
    std::thread m_wire;
};
