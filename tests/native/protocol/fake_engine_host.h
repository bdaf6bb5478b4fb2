// A stand-in for the main window, the serial channel and the release files, as the download
// engine sees them. It records everything the engine does and owns a receive buffer that is
// filled the way the channel's reader fills it.
#pragma once

#include "protocol/download_engine.h"
#include "guarded_rx_buffer.h"
#include "handset_answers.h"
#include "serial/receive_buffer.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

inline std::ostream& operator<<(std::ostream& out, DownloadState state)
{
    return out << static_cast<int>(state);
}

// States no download reaches, and a parameter answer held back from an earlier download.
class EngineTestAccess
{
public:
    static void SetState(CDownloadEngine& engine, int state)
    {
        engine.m_state = static_cast<DownloadState>(state);
    }
    static void SetParamResponseBusy(CDownloadEngine& engine, bool busy)
    {
        engine.m_paramResponseBusy = busy;
    }
};

enum class HostCall
{
    Write,
    Purge,
    Reopen,
    SendBlock,
    SectionCrc,
    Report,
    Message,
    AskOkCancel,
    AskYesNo,
    StartTimer,
    StopTimer,
    RestartStopwatch,
    ShowElapsedTime,
    Pause,
    ClearStartRequest,
    StartStop,
};

struct HostEvent
{
    HostCall call;
    std::string text;    // report line, message or question
    Bytes bytes;         // what went out on the port (a whole frame for a written block)
    unsigned value = 0;  // timer id, pause in ms, baud rate, block number
    unsigned period = 0; // timer period in ms
    Section section = Section::MainCode;
    bool written = false; // SendBlock: a frame went out
    unsigned step = 0;    // the outside event (notification or tick) that led to it
};

// The blocks of one release file. Block content is made up from the block number; blank
// blocks are all 0xFF.
struct FakeSectionFile
{
    std::uint32_t blockCount = 0;
    std::set<std::uint32_t> blank;
    std::uint8_t salt = 0;

    Bytes Block(std::uint32_t n) const;
};

class FakeEngineHost : public EngineHost
{
public:
    explicit FakeEngineHost(GuardedRxBuffer::Guard guard = GuardedRxBuffer::Guard::AfterEnd);

    CDownloadEngine engine{*this};

    // The operator's start: a channel at 19200 baud, the engine in its first state, timer 1.
    void Start(const DownloadSetup& setup);

    // The reader: one read stored at the write index, and the notification it posts.
    struct Notification
    {
        std::size_t count;
        const std::uint8_t* chunk;
    };
    Notification Store(const Bytes& bytes);
    void Post(Notification notification);
    // Stores and posts bytes as the reader would: reads of at most 300 bytes, none running past
    // the end of the buffer.
    void Receive(const Bytes& bytes);
    void Receive(const char* text);
    void PostEmpty();
    void Tick();

    // What the engine did.
    std::vector<HostEvent> events;
    std::vector<std::string> Reports() const;
    std::vector<std::string> Messages() const;
    std::vector<Bytes> Writes() const; // commands and written block frames, in order
    std::vector<std::uint32_t> SentBlocks(Section section) const;
    std::size_t Count(HostCall call) const;
    std::size_t CountReport(const std::string& text) const;
    // The engine's milestones for hosts that keep a record ("identified <mobile_id>", "protocol
    // changed", "last block", "verdict <n>"), each with the report line that came next.
    std::vector<std::string> MilestonesAndTheirLines() const;
    void ClearEvents()
    {
        events.clear();
        m_milestones.clear();
    }

    // Faults of the engine that the fake notices on the way: acting after its download ended,
    // a block outside its file, a second abort box in one download.
    std::vector<std::string> violations;

    // Answers of the operator and what happens inside a box or a block sender, where the
    // window runs nested message loops.
    bool okCancelAnswer = true;
    bool yesNoAnswer = true;
    std::function<void(const std::string& text)> insideBox;
    std::function<void(Section section, std::uint32_t block)> insideSendBlock;

    FakeSectionFile image;
    FakeSectionFile languagePack;

    bool running = false;
    bool startRequested = false;
    std::set<unsigned> timers;
    std::uint32_t writeIndex = 0;
    unsigned downloads = 0;
    std::size_t nestingDepth = 0; // outside events posted from inside a box or sender

    // EngineHost
    bool DownloadRunning() const override { return running; }
    void WritePort(const std::uint8_t* bytes, std::size_t count) override;
    void PurgePort() override;
    void ReopenChannel(std::uint32_t baudRate) override;
    bool SendBlock(Section section, std::uint32_t block) override;
    std::uint16_t SectionCrc(Section section) override;
    void AddReportLine(const char* text) override;
    void ShowMessage(const char* text) override;
    bool AskOkCancel(const char* text) override;
    bool AskYesNo(const char* text) override;
    void StartTimer(unsigned id, unsigned periodMs) override;
    void StopTimer(unsigned id) override;
    void RestartStopwatch() override;
    void ShowElapsedTime() override;
    void Pause(unsigned milliseconds) override;
    void ClearStartRequest() override;
    void StartStopDownload() override;
    void HandsetIdentified(const ParameterRecord& record) override;
    void ProtocolChanged() override;
    void LastBlockAnswered() override;
    void Concluded(DownloadVerdict verdict) override;

private:
    HostEvent& Record(HostCall call);
    void RequireRunning(const char* what);
    void RunInsideBox(const std::string& text);
    void OpenChannel();

    class OutsideEvent;

    GuardedRxBuffer m_buffers[2];
    int m_current = 0;
    bool m_channelOpen = false;
    unsigned m_step = 0;
    unsigned m_abortBoxes = 0;
    struct Milestone
    {
        std::string text;
        std::size_t reportsBefore;
    };
    std::vector<Milestone> m_milestones;
    void RecordMilestone(const std::string& text);
};

// Test data.
DownloadSetup MakeSetup(bool bootCode, bool mainCode, bool languagePack, const char* model);
Bytes Concat(const Bytes& a, const Bytes& b);
// Whether a purge follows a write within one outside event: the purge would abort the write
// or drop its answer. Unless strict, a purge after a pause (the answer had time to arrive and
// is handled) and the purge of an abort are let pass: with notifications replayed after a box,
// one outside event holds several handlings.
bool PurgeFollowsWrite(const std::vector<HostEvent>& events, bool strict);
