// Drives a running TervoloPLUS.exe from another process, as an operator would: it picks list
// entries, types paths, presses buttons, answers message boxes and reads the report window.
#pragma once

#include "res/resource.h"
#include "tests/support/message_boxes.h"

#include <windows.h>

#include <string>
#include <vector>

using FoundMessageBox = SeenMessageBox;

class Operator
{
public:
    Operator() = default;
    Operator(const Operator&) = delete;
    Operator& operator=(const Operator&) = delete;
    ~Operator();

    // Starts the program (a Unix path is turned into its Z: form) and waits for its window, the
    // dialog with the control `markerId` (by default the main window's port list).
    bool Launch(const std::string& exePath, const std::string& arguments = "",
                unsigned timeoutMs = 60000, int markerId = IDC_COM_PORT);
    // Closes the window (answering Yes to the question of a running download) and waits.
    bool Close(unsigned timeoutMs = 30000);
    bool WaitForExit(DWORD& exitCode, unsigned timeoutMs);

    HWND MainWindow() const { return m_main; }
    HWND Control(int id) const;
    bool IsEnabled(int id) const;

    // Selects the entry with this text and tells the window, as a mouse choice would.
    bool Choose(int comboId, const std::string& text);
    std::string ChosenText(int comboId) const;
    // The text a control shows, such as a file box's path.
    std::string Text(int controlId) const;
    void SetText(int comboId, const std::string& text);
    void SetCheck(int checkBoxId, bool checked);
    // A click whose handler cannot raise a box: waits until it has been handled.
    void ClickAndWait(int buttonId);
    // A click whose handler may raise a box: posted, returns at once.
    void Click(int buttonId);
    // Sets boot, main and language-pack sections through the section buttons.
    bool SetSections(bool boot, bool main, bool languagePack);

    std::vector<std::string> Lines(int listBoxId) const;
    std::string LastLine(int listBoxId) const;
    bool WaitForLine(int listBoxId, const std::string& text, unsigned timeoutMs) const;
    // True once no download runs: the port list is enabled again.
    bool WaitIdle(unsigned timeoutMs) const;

    // A message box of the program, visible now or within the time-out.
    bool WaitForMessageBox(FoundMessageBox& box, unsigned timeoutMs) const;
    bool NoMessageBoxWithin(unsigned milliseconds) const;
    // Presses a button of the box (IDOK, IDCANCEL, IDYES, IDNO) and waits until it is gone.
    bool Answer(const FoundMessageBox& box, int buttonId, unsigned timeoutMs = 10000);
    // Waits for a box with this text and presses the button; false on a different box.
    bool Expect(const std::string& text, int buttonId, unsigned timeoutMs,
                std::string* seen = nullptr);
    // Waits for the program's Save As dialog, types the path and presses Save; false when none
    // came or it did not close. proposed receives the name the dialog offered.
    bool SaveAs(const std::string& path, unsigned timeoutMs, std::string* proposed = nullptr);

private:
    PROCESS_INFORMATION m_process{};
    HWND m_main = nullptr;
};

std::string ToWindowsPath(const std::string& path);
