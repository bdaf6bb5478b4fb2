#include "conversion_support.h"

#include <cstdio>

namespace
{
constexpr std::size_t kRecordData = 32;
constexpr int kFileNameCombo = 0x47C; // cmb13 of the Explorer-style dialog
constexpr int kFileNameEdit = 0x480;  // edt1 of the older one
constexpr UINT kAnswerTimeoutMs = 10000;

HWND FileNameBox(HWND dialog)
{
    HWND box = GetDlgItem(dialog, kFileNameCombo);
    return box != nullptr ? box : GetDlgItem(dialog, kFileNameEdit);
}

std::string Record(char type, std::uint32_t address, const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> bytes{
        static_cast<std::uint8_t>(4 + size + 1), static_cast<std::uint8_t>(address >> 24),
        static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
        static_cast<std::uint8_t>(address)};
    bytes.insert(bytes.end(), data, data + size);
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    bytes.push_back(static_cast<std::uint8_t>(~sum));
    std::string line = std::string("S") + type;
    char hex[3];
    for (std::uint8_t b : bytes)
    {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line + "\r\n";
}
} // namespace

std::string MotorolaText(const std::vector<std::uint8_t>& bytes, std::uint32_t address)
{
    std::string text = "S0030000FC\r\n";
    for (std::size_t at = 0; at < bytes.size(); at += kRecordData)
    {
        const std::size_t size = bytes.size() - at < kRecordData ? bytes.size() - at : kRecordData;
        text += Record('3', address + static_cast<std::uint32_t>(at), bytes.data() + at, size);
    }
    return text + Record('7', 0, nullptr, 0);
}

bool IsFileDialog(HWND window)
{
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    return std::string(name) == "#32770" && IsWindowVisible(window) &&
           FileNameBox(window) != nullptr;
}

std::string FileDialogName(HWND dialog)
{
    // WM_GETTEXT itself: GetWindowText does not ask a window of another process.
    char text[MAX_PATH] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(FileNameBox(dialog), WM_GETTEXT, sizeof text,
                        reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                        &copied);
    return text;
}

void AnswerFileDialog(HWND dialog, const std::string& path)
{
    if (path.empty())
    {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(FileNameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                        SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &ignored);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}
