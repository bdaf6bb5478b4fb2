// Stand-ins for the window and the machine of a download session. The view keeps what the
// window would show (its report lines, bars, boxes and timers) and answers boxes as scripted;
// the platform opens fake channels, measures real files and runs a clock the test sets.
#pragma once

#include "download/download_platform.h"
#include "download/download_view.h"
#include "allocation_counter.h"
#include "guarded_rx_buffer.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct ShownBox
{
    std::string text;
    std::string caption; // "" for the application's name
    BoxButtons buttons;
    BoxOwner owner;
};

struct BarState
{
    std::uint16_t lower = 0;
    std::uint16_t upper = 100;
    int position = 0;
};

class FakeDownloadView : public DownloadView
{
public:
    std::vector<std::string> report;
    std::map<ProgressBar, BarState> bars;
    std::map<ProgressBar, std::string> percent;
    std::string downloadTime;
    bool locked = false;
    bool runningPicture = false;
    std::vector<ShownBox> boxes;
    std::deque<BoxAnswer> answers; // popped per box; Ok (or Yes) when empty
    // Run once while the next box is open, as the window's message loop runs under a box.
    std::function<void()> whileNextBoxOpen;
    std::set<unsigned> timers;

    std::vector<std::string> BoxTexts() const;

    // The records are the test's, not the session's: their allocations are not counted.
    void AddReportLine(const char* text) override
    {
        NotCounted scope;
        report.push_back(text);
    }
    void ReplaceLastReportLine(const char* text) override;
    void ClearReport() override { report.clear(); }
    void SetProgressRange(ProgressBar bar, std::uint16_t lower, std::uint16_t upper) override;
    void SetProgress(ProgressBar bar, int position) override
    {
        NotCounted scope;
        bars[bar].position = position;
    }
    void ShowPercent(ProgressBar bar, const char* text) override
    {
        NotCounted scope;
        percent[bar] = text;
    }
    void ResetProgress() override;
    void ShowDownloadTime(const char* text) override { downloadTime = text; }
    void ResetDownloadTime(const char* text) override { downloadTime = text; }
    void LockSettings() override { locked = true; }
    void UnlockSettings() override { locked = false; }
    void ShowRunning(bool running) override { runningPicture = running; }
    BoxAnswer ShowBox(const BoxRequest& box) override;
    void StartTimer(unsigned id, unsigned) override { timers.insert(id); }
    void StopTimer(unsigned id) override { timers.erase(id); }
    // Accepts ".rel" files and refuses other extensions, as the window does before converting.
    bool CheckDownloadFile(FileCheckResult& result, char* path, bool isImage) override;
    void EndProgram(int exitCode) override { programEnd = exitCode; }
    int programEnd = -1; // the exit code asked for, -1 while the program goes on
};

// What went on at one channel the session opened. It outlives the channel, which the session
// destroys when it closes it.
struct ChannelRecord
{
    explicit ChannelRecord(const char* port, std::uint32_t baud) : portName(port), baudRate(baud)
    {
        buffer.Open();
    }

    std::string portName;
    std::uint32_t baudRate;
    bool open = true; // false: the port could not be opened
    bool closed = false;
    unsigned purges = 0;
    std::vector<Bytes> writes;                // one entry per Write call
    std::size_t writeLimit = ~std::size_t{0}; // a port that takes fewer bytes than asked
    GuardedRxBuffer buffer{GuardedRxBuffer::Guard::AfterEnd};
    std::uint32_t writeIndex = 0;
    std::size_t handledBytes = 0; // what the session said it has done with
};

class FakeDownloadPlatform : public DownloadPlatform
{
public:
    std::set<std::string> busyPorts;    // cannot be opened now
    std::set<std::string> failingPorts; // pass the check, but their channel does not open
    std::set<std::string> lockedFiles;  // held by another program: no shared read
    std::vector<std::unique_ptr<ChannelRecord>> channels; // every channel opened, in order
    std::vector<StoredRead> queued;                       // notifications not yet handled
    std::size_t droppedNotifications = 0;
    unsigned stopwatchRestarts = 0;
    double elapsedSeconds = 0;
    std::vector<unsigned> pauses;

    ChannelRecord& Channel() { return *channels.back(); }
    // The reader of the newest channel stores bytes read by read and queues a notification for
    // each read, as the window's message queue would hold them.
    void Arrive(const Bytes& bytes);

    bool PortCanBeOpened(const char* portName) override { return busyPorts.count(portName) == 0; }
    std::unique_ptr<SerialChannel> OpenChannel(const char* portName, std::uint32_t baudRate,
                                               serial::FailureReport& report) override;
    void DropQueuedNotifications() override;
    bool FileExists(const char* path) override;
    bool SharedReadLength(const char* path, std::uint64_t& length) override;
    void RestartStopwatch() override;
    double ElapsedSeconds() override { return elapsedSeconds; }
    void Pause(unsigned milliseconds) override { pauses.push_back(milliseconds); }
};
