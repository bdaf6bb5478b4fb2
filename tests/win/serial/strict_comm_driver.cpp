#include "strict_comm_driver.h"

#include <algorithm>

namespace
{
// Handles of the model's port: never a real handle, a new value at every open.
constexpr std::uintptr_t kHandleBase = 0x7E570000;
constexpr unsigned kBitsPerCharacter = 10; // start bit, 8 data bits, stop bit
constexpr auto kWireTick = std::chrono::milliseconds(1);
} // namespace

StrictCommDriver::StrictCommDriver(FarEnd* farEnd) : m_farEnd(farEnd)
{
    m_dcb.DCBlength = sizeof(DCB);
    m_dcb.BaudRate = CBR_9600;
    m_dcb.fBinary = 1;
    m_dcb.ByteSize = 8;
    m_dcb.XonChar = 0x11;
    m_dcb.XoffChar = 0x13;
    m_wire = std::thread([this] { WireLoop(); });
}

StrictCommDriver::~StrictCommDriver()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
    }
    m_changed.notify_all();
    m_wire.join();
}

void StrictCommDriver::Arrive(const Bytes& bytes, DWORD lineErrors, DWORD afterMs)
{
    std::lock_guard<std::mutex> hold(m_lock);
    // Never before an earlier arrival: the wire keeps their order.
    Clock::time_point due = std::max(Clock::now() + std::chrono::milliseconds(afterMs), m_lastDue);
    const std::size_t piece =
        m_pieceBytes == 0 ? std::max<std::size_t>(bytes.size(), 1) : m_pieceBytes;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
    {
        const auto end =
            bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at + piece, bytes.size()));
        m_arrivals.push_back({due, Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at), end),
                              at == 0 ? lineErrors : 0});
        m_lastDue = due;
        due += std::chrono::milliseconds(m_pieceIntervalMs);
    }
    if (bytes.empty())
        m_errors |= lineErrors;
    m_changed.notify_all();
}

void StrictCommDriver::PaceArrivals(std::size_t bytesPerPiece, DWORD intervalMs)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_pieceBytes = bytesPerPiece;
    m_pieceIntervalMs = intervalMs;
}

void StrictCommDriver::LagInQueueCount()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_lagInQueue = true;
}

void StrictCommDriver::ReturnWaitsAtOnce()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_waitsAtOnce = true;
}

void StrictCommDriver::Remove()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_removed = true;
    m_input.clear();
    m_arrivals.clear();
    Cancel([](const Request& r, const void*) { return r.kind == Kind::Read; }, nullptr);
}

void StrictCommDriver::IgnoreWriteAborts()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_ignoreWriteAborts = true;
}

void StrictCommDriver::IgnoreReadAborts()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_ignoreReadAborts = true;
}

void StrictCommDriver::SetDeviceFifoBytes(std::size_t bytes)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_deviceFifoBytes = bytes;
}

void StrictCommDriver::FailSetCommTimeouts(unsigned times)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_failSetCommTimeouts = times;
}

std::size_t StrictCommDriver::ReadCalls() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_readCalls;
}

void StrictCommDriver::StallWire(bool stalled)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_stalled = stalled;
    m_changed.notify_all();
}

void StrictCommDriver::StallWireAfter(std::size_t transmitted)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_stallAfter = transmitted;
}

void StrictCommDriver::Unplug()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_unplugged = true;
    while (!m_requests.empty())
        Complete(m_requests.begin(), ERROR_GEN_FAILURE);
    m_changed.notify_all();
}

void StrictCommDriver::IgnoreCancellation()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_ignoreCancel = true;
}

void StrictCommDriver::FailSetCommState(unsigned times)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_failSetCommState = times;
}

void StrictCommDriver::FailReads()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_failReads = true;
}

void StrictCommDriver::SetOutputQueueBytes(std::size_t bytes)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_outputQueueBytes = bytes;
}

Bytes StrictCommDriver::Transmitted() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_transmitted;
}

std::size_t StrictCommDriver::DroppedAtClose() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_droppedAtClose;
}

bool StrictCommDriver::IsOpen() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_open;
}

bool StrictCommDriver::AwaitPendingRead(DWORD timeoutMs)
{
    return Await([this] { return HasRequest(Kind::Read); }, timeoutMs);
}

bool StrictCommDriver::AwaitPendingWrite(DWORD timeoutMs)
{
    return Await([this] { return HasRequest(Kind::Write); }, timeoutMs);
}

bool StrictCommDriver::AwaitInputTaken(DWORD timeoutMs)
{
    return Await([this] { return m_arrivals.empty() && m_input.empty(); }, timeoutMs);
}

bool StrictCommDriver::Await(const std::function<bool()>& holds, DWORD timeoutMs)
{
    std::unique_lock<std::mutex> hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), holds);
}

bool StrictCommDriver::HasRequest(Kind kind) const
{
    return std::any_of(m_requests.begin(), m_requests.end(),
                       [kind](const Request& r) { return r.kind == kind; });
}

std::vector<COMMTIMEOUTS> StrictCommDriver::TimeoutsSet() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_timeoutsSet;
}

DCB StrictCommDriver::LineSettings() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_dcb;
}

bool StrictCommDriver::Usable(HANDLE port, DWORD unpluggedError) const
{
    if (!m_open || port != reinterpret_cast<HANDLE>(kHandleBase + m_generation))
        return Fail(ERROR_INVALID_HANDLE);
    if (m_unplugged)
        return Fail(unpluggedError);
    return true;
}

BOOL StrictCommDriver::Fail(DWORD error) const
{
    SetLastError(error);
    return FALSE;
}

void StrictCommDriver::Begin(OVERLAPPED* overlapped)
{
    if (overlapped->hEvent != nullptr)
        ResetEvent(overlapped->hEvent);
    overlapped->Internal = STATUS_PENDING;
    overlapped->InternalHigh = 0;
}

void StrictCommDriver::Complete(std::list<Request>::iterator request, DWORD error)
{
    OVERLAPPED* overlapped = request->overlapped;
    overlapped->InternalHigh = request->done;
    overlapped->Internal = error;
    m_requests.erase(request);
    if (overlapped->hEvent != nullptr)
        SetEvent(overlapped->hEvent);
    m_changed.notify_all();
}

void StrictCommDriver::Progress(Clock::time_point now)
{
    bool writeWaiting = false; // writes keep their order
    for (auto it = m_requests.begin(); it != m_requests.end();)
    {
        const auto next = std::next(it);
        Request& r = *it;
        if (r.kind == Kind::Read)
        {
            while (r.done < r.size && !m_input.empty())
            {
                r.buffer[r.done++] = m_input.front();
                m_input.pop_front();
            }
            if (r.done == r.size || (r.firstByte && r.done > 0) || (r.timed && now >= r.deadline))
                Complete(it, ERROR_SUCCESS);
        }
        else if (r.kind == Kind::Write && !writeWaiting)
        {
            while (r.done < r.size && m_output.size() < m_outputQueueBytes)
                m_output.push_back(r.bytes[r.done++]);
            writeWaiting = r.done < r.size;
            if (!writeWaiting)
                Complete(it, ERROR_SUCCESS);
        }
        it = next;
    }
}

void StrictCommDriver::Cancel(bool (*matches)(const Request&, const void*), const void* key)
{
    for (auto it = m_requests.begin(); it != m_requests.end();)
    {
        const auto next = std::next(it);
        if (matches(*it, key) && !(m_ignoreWriteAborts && it->kind == Kind::Write))
            Complete(it, ERROR_OPERATION_ABORTED);
        it = next;
    }
}

void StrictCommDriver::Transmit(Clock::time_point now)
{
    const double seconds = std::chrono::duration<double>(now - m_lineSince).count();
    m_lineSince = now;
    m_uncounted = 0;
    // Arrivals are kept in the order they are due.
    while (!m_arrivals.empty() && m_arrivals.front().due <= now)
    {
        const Arrival& arrival = m_arrivals.front();
        if (m_open && !m_unplugged && !m_removed)
        {
            const std::size_t room =
                m_input.size() < m_inputQueueBytes ? m_inputQueueBytes - m_input.size() : 0;
            const std::size_t taken = std::min(room, arrival.bytes.size());
            m_input.insert(m_input.end(), arrival.bytes.begin(),
                           arrival.bytes.begin() + static_cast<std::ptrdiff_t>(taken));
            m_uncounted += taken;
            m_errors |= arrival.errors | (taken < arrival.bytes.size() ? CE_RXOVER : 0);
        }
        m_arrivals.pop_front();
    }
    Bytes sent;
    if (m_open && !m_stalled && !m_unplugged && !m_output.empty())
    {
        m_lineCredit += seconds * m_dcb.BaudRate / kBitsPerCharacter;
        while (m_lineCredit >= 1 && !m_output.empty())
        {
            m_stalled = m_transmitted.size() + sent.size() >= m_stallAfter;
            if (m_stalled)
                break;
            sent.push_back(m_output.front());
            m_output.pop_front();
            m_lineCredit -= 1;
        }
    }
    if (m_output.empty())
        m_lineCredit = 0;
    m_transmitted.insert(m_transmitted.end(), sent.begin(), sent.end());
    if (!sent.empty())
        m_unheard.push_back({m_dcb.BaudRate, sent});
}

void StrictCommDriver::WireLoop()
{
    std::unique_lock<std::mutex> hold(m_lock);
    while (!m_quit)
    {
        m_changed.wait_for(hold, kWireTick);
        const Clock::time_point now = Clock::now();
        Transmit(now);
        Progress(now);
        if (m_unheard.empty())
            continue;
        // Only this thread tells the far end, so it hears the bytes in the order they were sent.
        std::deque<Heard> heard;
        heard.swap(m_unheard);
        m_changed.notify_all();
        if (m_farEnd != nullptr)
        {
            hold.unlock();
            for (const Heard& piece : heard)
                m_farEnd->OnBytesFromPc(piece.bytes, piece.baud);
            hold.lock();
        }
    }
}

HANDLE StrictCommDriver::OpenPort(const char*)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_open)
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (m_unplugged)
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    m_open = true;
    ++m_generation;
    return reinterpret_cast<HANDLE>(kHandleBase + m_generation);
}

BOOL StrictCommDriver::GetCommState(HANDLE port, DCB* dcb)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Usable(port, ERROR_BAD_COMMAND))
        return FALSE;
    *dcb = m_dcb;
    return TRUE;
}

BOOL StrictCommDriver::SetCommState(HANDLE port, DCB* dcb)
{
    DWORD baud = 0;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!Usable(port, ERROR_BAD_COMMAND))
            return FALSE;
        if (m_failSetCommState > 0)
        {
            --m_failSetCommState;
            return Fail(ERROR_GEN_FAILURE);
        }
        if (dcb->XonChar == dcb->XoffChar || dcb->BaudRate == 0 || dcb->ByteSize < 5 ||
            dcb->ByteSize > 8)
            return Fail(ERROR_INVALID_PARAMETER);
        m_dcb = *dcb;
        baud = m_dcb.BaudRate;
    }
    if (m_farEnd != nullptr)
        m_farEnd->OnLineSet(baud);
    return TRUE;
}

BOOL StrictCommDriver::GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Usable(port, ERROR_BAD_COMMAND))
        return FALSE;
    *timeouts = m_timeouts;
    return TRUE;
}

BOOL StrictCommDriver::SetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Usable(port, ERROR_BAD_COMMAND))
        return FALSE;
    if (m_failSetCommTimeouts > 0)
    {
        --m_failSetCommTimeouts;
        return Fail(ERROR_GEN_FAILURE);
    }
    // Both MAXDWORD multipliers and a MAXDWORD constant is a combination drivers refuse.
    if (timeouts->ReadIntervalTimeout == MAXDWORD &&
        timeouts->ReadTotalTimeoutMultiplier == MAXDWORD &&
        timeouts->ReadTotalTimeoutConstant == MAXDWORD)
        return Fail(ERROR_INVALID_PARAMETER);
    m_timeouts = *timeouts;
    m_timeoutsSet.push_back(*timeouts);
    return TRUE;
}

BOOL StrictCommDriver::SetupComm(HANDLE port, DWORD inQueueBytes, DWORD)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Usable(port, ERROR_BAD_COMMAND))
        return FALSE;
    m_inputQueueBytes = inQueueBytes;
    return TRUE;
}

BOOL StrictCommDriver::ClearCommError(HANDLE port, DWORD* errors, COMSTAT* status)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Usable(port, ERROR_BAD_COMMAND))
        return FALSE;
    *errors = m_errors;
    m_errors = 0;
    *status = COMSTAT{};
    const std::size_t uncounted = m_lagInQueue ? std::min(m_uncounted, m_input.size()) : 0;
    status->cbInQue = static_cast<DWORD>(m_input.size() - uncounted);
    const std::size_t inFifo = std::min(m_deviceFifoBytes, m_output.size());
    DWORD outgoing = static_cast<DWORD>(m_output.size() - inFifo);
    for (const Request& r : m_requests)
        outgoing += r.kind == Kind::Write ? r.size - r.done : 0;
    status->cbOutQue = outgoing;
    return TRUE;
}

BOOL StrictCommDriver::ReadFile(HANDLE port, void* buffer, DWORD size, DWORD* read,
                                OVERLAPPED* overlapped)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Usable(port, ERROR_GEN_FAILURE))
        return FALSE;
    ++m_readCalls;
    if (read != nullptr)
        *read = 0; // "potentially erroneous" for an overlapped read: here always 0
    if (m_failReads)
        return Fail(ERROR_GEN_FAILURE);
    if (m_removed)
        return Fail(ERROR_OPERATION_ABORTED);
    const COMMTIMEOUTS& t = m_timeouts;
    const bool noTimeouts = t.ReadIntervalTimeout == 0 && t.ReadTotalTimeoutMultiplier == 0 &&
                            t.ReadTotalTimeoutConstant == 0;
    const bool atOnce = (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
                         t.ReadTotalTimeoutConstant == 0) ||
                        (m_waitsAtOnce && noTimeouts);
    const bool firstByte =
        t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD;
    const DWORD totalMs = firstByte
                              ? t.ReadTotalTimeoutConstant
                              : t.ReadTotalTimeoutMultiplier * size + t.ReadTotalTimeoutConstant;
    return Submit({Kind::Read, overlapped, GetCurrentThreadId(), static_cast<std::uint8_t*>(buffer),
                   nullptr, size, 0, atOnce || totalMs != 0,
                   Clock::now() + std::chrono::milliseconds(totalMs), firstByte},
                  nullptr);
}

BOOL StrictCommDriver::WriteFile(HANDLE port, const void* bytes, DWORD count, DWORD* written,
                                 OVERLAPPED* overlapped)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Usable(port, ERROR_GEN_FAILURE))
        return FALSE;
    if (written != nullptr)
        *written = 0; // as for a read
    return Submit({Kind::Write,
                   overlapped,
                   GetCurrentThreadId(),
                   nullptr,
                   static_cast<const std::uint8_t*>(bytes),
                   count,
                   0,
                   false,
                   {}},
                  nullptr);
}

BOOL StrictCommDriver::Submit(const Request& request, DWORD* transferred)
{
    Begin(request.overlapped);
    m_requests.push_back(request);
    Progress(Clock::now());
    m_changed.notify_all();
    if (request.overlapped->Internal == STATUS_PENDING)
        return Fail(ERROR_IO_PENDING);
    if (transferred != nullptr)
        *transferred = static_cast<DWORD>(request.overlapped->InternalHigh);
    return TRUE;
}

BOOL StrictCommDriver::GetOverlappedResult(HANDLE, OVERLAPPED* overlapped, DWORD* transferred,
                                           BOOL wait)
{
    for (;;)
    {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (overlapped->Internal != STATUS_PENDING)
            {
                *transferred = static_cast<DWORD>(overlapped->InternalHigh);
                const DWORD error = static_cast<DWORD>(overlapped->Internal);
                return error == ERROR_SUCCESS ? TRUE : Fail(error);
            }
            if (!wait)
                return Fail(ERROR_IO_INCOMPLETE);
        }
        WaitForSingleObject(overlapped->hEvent, INFINITE);
    }
}

BOOL StrictCommDriver::CancelIo(HANDLE port)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Usable(port, ERROR_GEN_FAILURE))
        return FALSE;
    if (!m_ignoreCancel)
    {
        const DWORD thread = GetCurrentThreadId();
        Cancel([](const Request& r, const void* key)
               { return r.thread == *static_cast<const DWORD*>(key); },
               &thread);
    }
    return TRUE;
}

BOOL StrictCommDriver::CancelIoEx(HANDLE port, OVERLAPPED* overlapped)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Usable(port, ERROR_GEN_FAILURE))
        return FALSE;
    const bool found = std::any_of(m_requests.begin(), m_requests.end(),
                                   [overlapped](const Request& r)
                                   { return overlapped == nullptr || r.overlapped == overlapped; });
    if (!found)
        return Fail(ERROR_NOT_FOUND);
    if (!m_ignoreCancel)
        Cancel([](const Request& r, const void* key)
               { return key == nullptr || r.overlapped == key; },
               overlapped);
    return TRUE;
}

BOOL StrictCommDriver::PurgeComm(HANDLE port, DWORD flags)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!Usable(port, ERROR_GEN_FAILURE))
        return FALSE;
    if ((flags & PURGE_RXABORT) != 0 && !m_ignoreReadAborts)
        Cancel([](const Request& r, const void*) { return r.kind == Kind::Read; }, nullptr);
    if ((flags & PURGE_TXABORT) != 0)
        Cancel([](const Request& r, const void*) { return r.kind == Kind::Write; }, nullptr);
    if ((flags & PURGE_RXCLEAR) != 0)
        m_input.clear();
    if ((flags & PURGE_TXCLEAR) != 0)
        m_output.clear();
    return TRUE;
}

BOOL StrictCommDriver::FlushFileBuffers(HANDLE port)
{
    std::unique_lock<std::mutex> hold(m_lock);
    if (!Usable(port, ERROR_GEN_FAILURE))
        return FALSE;
    m_changed.wait(hold,
                   [this]
                   {
                       return m_unplugged || !m_open ||
                              (m_output.size() <= m_deviceFifoBytes &&
                               std::none_of(m_requests.begin(), m_requests.end(),
                                            [](const Request& r)
                                            { return r.kind == Kind::Write; }));
                   });
    return m_unplugged ? Fail(ERROR_GEN_FAILURE) : TRUE;
}

BOOL StrictCommDriver::CloseHandle(HANDLE port)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_open || port != reinterpret_cast<HANDLE>(kHandleBase + m_generation))
        return Fail(ERROR_INVALID_HANDLE);
    // What the line has had time for is out, whenever the wire last ticked.
    Transmit(Clock::now());
    m_droppedAtClose += m_output.size();
    m_output.clear();
    m_input.clear();
    // A driver that ignores cancellation leaves its requests unfinished; they are forgotten here
    // rather than completed into records their owner may have freed.
    if (m_ignoreCancel)
        m_requests.clear();
    Cancel([](const Request&, const void*) { return true; }, nullptr);
    m_requests.clear(); // writes whose aborts are ignored
    m_open = false;
    m_changed.notify_all();
    return TRUE;
}
