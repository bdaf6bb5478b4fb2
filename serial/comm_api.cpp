#include "serial/comm_api.h"

namespace serial
{
namespace
{

class CWin32CommApi final : public CommApi
{
public:
    HANDLE OpenPort(const char* portName) override
    {
        return ::CreateFileA(portName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
    }
    BOOL GetCommState(HANDLE port, DCB* dcb) override { return ::GetCommState(port, dcb); }
    BOOL SetCommState(HANDLE port, DCB* dcb) override { return ::SetCommState(port, dcb); }
    BOOL GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) override
    {
        return ::GetCommTimeouts(port, timeouts);
    }
    BOOL SetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) override
    {
        return ::SetCommTimeouts(port, timeouts);
    }
    BOOL SetupComm(HANDLE port, DWORD inQueueBytes, DWORD outQueueBytes) override
    {
        return ::SetupComm(port, inQueueBytes, outQueueBytes);
    }
    BOOL ClearCommError(HANDLE port, DWORD* errors, COMSTAT* status) override
    {
        return ::ClearCommError(port, errors, status);
    }
    BOOL ReadFile(HANDLE port, void* buffer, DWORD size, DWORD* read,
                  OVERLAPPED* overlapped) override
    {
        return ::ReadFile(port, buffer, size, read, overlapped);
    }
    BOOL WriteFile(HANDLE port, const void* bytes, DWORD count, DWORD* written,
                   OVERLAPPED* overlapped) override
    {
        return ::WriteFile(port, bytes, count, written, overlapped);
    }
    BOOL GetOverlappedResult(HANDLE port, OVERLAPPED* overlapped, DWORD* transferred,
                             BOOL wait) override
    {
        return ::GetOverlappedResult(port, overlapped, transferred, wait);
    }
    BOOL CancelIo(HANDLE port) override { return ::CancelIo(port); }
    BOOL CancelIoEx(HANDLE port, OVERLAPPED* overlapped) override
    {
        return ::CancelIoEx(port, overlapped);
    }
    BOOL PurgeComm(HANDLE port, DWORD flags) override { return ::PurgeComm(port, flags); }
    BOOL FlushFileBuffers(HANDLE port) override { return ::FlushFileBuffers(port); }
    BOOL CloseHandle(HANDLE port) override { return ::CloseHandle(port); }
};

} // namespace

CommApi& Win32CommApi()
{
    static CWin32CommApi api;
    return api;
}

} // namespace serial
