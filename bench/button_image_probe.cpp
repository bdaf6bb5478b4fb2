// Where the window's memory goes under Wine: a button given a picture by BM_SETIMAGE again and
// again, as the window gives its Start button the Start and Stop pictures at every download,
// with nothing else of the program. Two pictures of each size take turns; the process's own
// working set is read before and after the calls.
//   button_image_probe.exe [CALLS] [WIDTHxHEIGHT ...]     (default 2000 calls, 148x52 90x30)
// One line per size:
//   RESULT probe=button_image comctl32=6 width=148 height=52 calls=2000 kib_per_call=30.2
//          picture_kib=30.1 working_set_kib_before=... working_set_kib_after=...
// picture_kib is one copy of the picture at 4 bytes a pixel. Built twice by bench/CMakeLists.txt:
// with the program's manifest (comctl32 version 6, as the window runs) and without it (version 5).
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
constexpr unsigned kDefaultCalls = 2000;
constexpr unsigned kWarmUpCalls = 20; // the button's first pictures and the heap's first pages
constexpr int kButtonId = 100;
constexpr double kBytesPerPixel = 4.0; // a picture compatible with the 32-bit screen

struct Size
{
    int width = 0;
    int height = 0;
};

// 6 when `button` is comctl32 version 6's (it knows BCM_GETIDEALSIZE), else 5 (user32's own).
// DllGetVersion cannot tell: Wine's comctl32 answers 5 in both.
unsigned ButtonVersion(HWND button)
{
    SIZE ideal = {};
    return ::SendMessageA(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) ? 6 : 5;
}

double WorkingSetKib()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return static_cast<double>(counters.WorkingSetSize) / 1024.0;
}

// Lets the button paint what it was given, as the window's message loop does between downloads.
void Pump()
{
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
    {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

// A picture as LoadBitmap gives one: compatible with the screen, filled.
HBITMAP MakePicture(const Size& size, COLORREF colour)
{
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, size.width, size.height);
    HDC memory = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    HBRUSH brush = ::CreateSolidBrush(colour);
    RECT all = {0, 0, size.width, size.height};
    ::FillRect(memory, &all, brush);
    ::DeleteObject(brush);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return bitmap;
}

// One size: its pictures on a new button, `calls` times after the warm-up. False on a failure.
bool Probe(const Size& size, unsigned calls)
{
    HWND window = ::CreateWindowExA(0, "STATIC", "button_image_probe", WS_OVERLAPPEDWINDOW, 0, 0,
                                    size.width + 40, size.height + 60, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
    HWND button = ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_BITMAP, 10, 10,
                                    size.width, size.height, window,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)),
                                    ::GetModuleHandleA(nullptr), nullptr);
    HBITMAP pictures[2] = {MakePicture(size, RGB(0, 128, 0)), MakePicture(size, RGB(192, 0, 0))};
    if (window == nullptr || button == nullptr || pictures[0] == nullptr || pictures[1] == nullptr)
    {
        std::fprintf(stderr, "button_image_probe: cannot make the window or the pictures\n");
        return false;
    }
    ::ShowWindow(window, SW_SHOWNOACTIVATE);
    auto give = [&](unsigned call)
    {
        ::SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP,
                       reinterpret_cast<LPARAM>(pictures[call % 2]));
        Pump();
    };
    for (unsigned call = 0; call < kWarmUpCalls; ++call)
        give(call);
    const double before = WorkingSetKib();
    for (unsigned call = 0; call < calls; ++call)
        give(call);
    const double after = WorkingSetKib();
    std::printf("RESULT probe=button_image comctl32=%u width=%d height=%d calls=%u "
                "kib_per_call=%.2f picture_kib=%.2f working_set_kib_before=%.0f "
                "working_set_kib_after=%.0f\n",
                ButtonVersion(button), size.width, size.height, calls, (after - before) / calls,
                size.width * size.height * kBytesPerPixel / 1024.0, before, after);
    std::fflush(stdout);
    // The button is gone before its pictures: it never owned them.
    ::DestroyWindow(window);
    ::DeleteObject(pictures[0]);
    ::DeleteObject(pictures[1]);
    return before >= 0 && after >= 0;
}

bool ParseSize(const char* text, Size& size)
{
    char extra = 0;
    return std::sscanf(text, "%dx%d%c", &size.width, &size.height, &extra) == 2 && size.width > 0 &&
           size.height > 0;
}

} // namespace

int main(int argc, char** argv)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    unsigned calls = kDefaultCalls;
    std::vector<Size> sizes;
    for (int i = 1; i < argc; ++i)
    {
        Size size;
        if (ParseSize(argv[i], size))
            sizes.push_back(size);
        else if (std::atoi(argv[i]) > 0)
            calls = static_cast<unsigned>(std::atoi(argv[i]));
        else
        {
            std::fprintf(stderr, "usage: button_image_probe.exe [CALLS] [WIDTHxHEIGHT ...]\n");
            return 2;
        }
    }
    if (sizes.empty())
        sizes = {{148, 52}, {90, 30}}; // the Start and Stop pictures, and a smaller one
    for (const Size& size : sizes)
    {
        if (!Probe(size, calls))
            return 1;
    }
    return 0;
}
