// The communications calls of the Win32 channel, one method per Win32 call with its arguments
// and results. The channel reaches its port only through this, so its tests can put a model of
// a Windows serial driver in the place of the real one.
#pragma once

#include <windows.h>

namespace serial
{

class CommApi
{
public:
    // CreateFileA for overlapped reading and writing, no sharing, an existing device.
    virtual HANDLE OpenPort(const char* portName) = 0;
    virtual BOOL GetCommState(HANDLE port, DCB* dcb) = 0;
    virtual BOOL SetCommState(HANDLE port, DCB* dcb) = 0;
    virtual BOOL GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL SetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL SetupComm(HANDLE port, DWORD inQueueBytes, DWORD outQueueBytes) = 0;
    virtual BOOL ClearCommError(HANDLE port, DWORD* errors, COMSTAT* status) = 0;
    virtual BOOL ReadFile(HANDLE port, void* buffer, DWORD size, DWORD* read,
                          OVERLAPPED* overlapped) = 0;
    virtual BOOL WriteFile(HANDLE port, const void* bytes, DWORD count, DWORD* written,
                           OVERLAPPED* overlapped) = 0;
    virtual BOOL GetOverlappedResult(HANDLE port, OVERLAPPED* overlapped, DWORD* transferred,
                                     BOOL wait) = 0;
    virtual BOOL CancelIo(HANDLE port) = 0;
    virtual BOOL CancelIoEx(HANDLE port, OVERLAPPED* overlapped) = 0;
    virtual BOOL PurgeComm(HANDLE port, DWORD flags) = 0;
    virtual BOOL FlushFileBuffers(HANDLE port) = 0;
    virtual BOOL CloseHandle(HANDLE port) = 0;

protected:
    ~CommApi() = default;
};

// The calls of kernel32 themselves.
CommApi& Win32CommApi();

} // namespace serial
