// Measures what the serial layer alone costs: echoes every chunk that arrives on COM1 with two
// bytes, either waiting with WaitCommEvent (as the program's reader does) or polling ReadFile.
//   serial_latency_probe.exe wait|poll   (the peer is bench/serial_latency_peer.py)
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const bool wait = argc < 2 || std::strcmp(argv[1], "poll") != 0;
    HANDLE port =
        CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
    {
        std::printf("COM1 cannot be opened\n");
        return 1;
    }
    COMMTIMEOUTS timeouts = {MAXDWORD, 0, 0, 0, 0};
    SetCommTimeouts(port, &timeouts);
    const int kEchoes = 200;
    const DWORD kGiveUpMs = 30000;
    int echoed = 0;
    const DWORD start = GetTickCount();
    while (echoed < kEchoes && GetTickCount() - start < kGiveUpMs)
    {
        if (wait)
        {
            DWORD events = 0;
            SetCommMask(port, EV_RXCHAR | EV_ERR);
            if (!WaitCommEvent(port, &events, nullptr))
                continue;
        }
        char buffer[300];
        DWORD read = 0;
        if (ReadFile(port, buffer, sizeof buffer, &read, nullptr) && read > 0)
        {
            DWORD written = 0;
            WriteFile(port, "<w", 2, &written, nullptr);
            ++echoed;
        }
    }
    std::printf("%d echoes\n", echoed);
    CloseHandle(port);
    return 0;
}
