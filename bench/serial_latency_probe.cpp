// Measures what the serial layer alone costs: echoes every chunk that arrives on COM1 with two
// bytes. "overlapped" waits as the program's reader does (overlapped WaitCommEvent and ReadFile,
// overlapped write); "wait" is the same with synchronous calls; "poll" polls ReadFile.
//   serial_latency_probe.exe overlapped|wait|poll   (the peer is bench/serial_latency_peer.py)
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace
{
constexpr int kEchoes = 200;
constexpr DWORD kGiveUpMs = 30000;
const char kEcho[] = "<w";

// Completes an overlapped call that went pending; true when it succeeded.
bool Finish(HANDLE port, BOOL started, OVERLAPPED& overlapped, DWORD& transferred)
{
    if (started)
        return true;
    return GetLastError() == ERROR_IO_PENDING &&
           GetOverlappedResult(port, &overlapped, &transferred, TRUE);
}
} // namespace

int main(int argc, char** argv)
{
    const char* mode = argc < 2 ? "overlapped" : argv[1];
    const bool overlappedIo = std::strcmp(mode, "overlapped") == 0;
    const bool wait = overlappedIo || std::strcmp(mode, "wait") == 0;
    HANDLE port = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              overlappedIo ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
    {
        std::printf("COM1 cannot be opened\n");
        return 1;
    }
    COMMTIMEOUTS timeouts = {MAXDWORD, 0, 0, 0, 0};
    SetCommTimeouts(port, &timeouts);
    HANDLE readEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE writeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    int echoed = 0;
    const DWORD start = GetTickCount();
    while (echoed < kEchoes && GetTickCount() - start < kGiveUpMs)
    {
        OVERLAPPED overlapped{};
        overlapped.hEvent = readEvent;
        OVERLAPPED* record = overlappedIo ? &overlapped : nullptr;
        DWORD transferred = 0;
        if (wait)
        {
            DWORD events = 0;
            SetCommMask(port, EV_RXCHAR | EV_ERR);
            if (!Finish(port, WaitCommEvent(port, &events, record), overlapped, transferred))
                continue;
        }
        char buffer[300];
        DWORD read = 0;
        overlapped = OVERLAPPED{};
        overlapped.hEvent = readEvent;
        if (Finish(port, ReadFile(port, buffer, sizeof buffer, &read, record), overlapped, read) &&
            read > 0)
        {
            OVERLAPPED writing{};
            writing.hEvent = writeEvent;
            DWORD written = 0;
            Finish(port, WriteFile(port, kEcho, 2, &written, overlappedIo ? &writing : nullptr),
                   writing, written);
            ++echoed;
        }
    }
    std::printf("%d echoes\n", echoed);
    CloseHandle(readEvent);
    CloseHandle(writeEvent);
    CloseHandle(port);
    return 0;
}
