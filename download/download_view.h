// What a download session shows, and the only way it reaches the window: report lines, the three
// bars with their percentage boxes, the time box, the settings a running download locks, the
// Start picture, message boxes and the window's timers.
#pragma once

#include "download/progress_text.h"
#include "files/file_class.h"

#include <cstdint>

enum class BoxButtons
{
    Ok,
    OkCancel,
    YesNo,
};

enum class BoxOwner
{
    Window,        // owned by the window
    None,          // no owner
    NoneTaskModal, // no owner, and the whole program waits for it
};

enum class BoxAnswer
{
    Ok,
    Cancel,
    Yes,
    No,
};

struct BoxRequest
{
    const char* text = "";
    const char* caption = nullptr; // nullptr: the application's name
    BoxButtons buttons = BoxButtons::Ok;
    BoxOwner owner = BoxOwner::Window;
};

class DownloadView
{
public:
    // The progress report window.
    virtual void AddReportLine(const char* text) = 0;
    virtual void ReplaceLastReportLine(const char* text) = 0;
    virtual void ClearReport() = 0;

    // Bars and their percentage boxes.
    virtual void SetProgressRange(ProgressBar bar, std::uint16_t lower, std::uint16_t upper) = 0;
    virtual void SetProgress(ProgressBar bar, int position) = 0;
    virtual void ShowPercent(ProgressBar bar, const char* text) = 0; // replaces the box's line
    // Every box back to "0%", every bar to 0.
    virtual void ResetProgress() = 0;

    // The Download Time box: its one line replaced, or the box emptied and given this line.
    virtual void ShowDownloadTime(const char* text) = 0;
    virtual void ResetDownloadTime(const char* text) = 0;

    // The settings a running download must not change, and the Start/Stop picture.
    virtual void LockSettings() = 0;
    virtual void UnlockSettings() = 0;
    virtual void ShowRunning(bool running) = 0;

    virtual BoxAnswer ShowBox(const BoxRequest& box) = 0;

    // Timers of the window: their ticks come back through the session's OnTimer.
    virtual void StartTimer(unsigned id, unsigned periodMs) = 0;
    virtual void StopTimer(unsigned id) = 0;

    // Decides whether the file at `path` is sent, converting it first where it must be; on
    // success `path` names the release file to send. The box of a refusal with a message of its
    // own has been shown.
    virtual bool CheckDownloadFile(FileCheckResult& result, char* path, bool isImage) = 0;

    // Ends the program: the few failures after which the download cannot go on safely. Only the
    // program itself may end the process.
    virtual void EndProgram(int exitCode) = 0;

protected:
    ~DownloadView() = default;
};
