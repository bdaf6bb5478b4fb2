// The download engine: the conversation with the handset from the first ">i" to the verdict.
// It runs on its host's thread only. Everything it does to the outside world goes through
// EngineHost: the window's download session and the console program's port session implement
// it, tests implement it with a fake.
#pragma once

#include "protocol/frames.h"

#include <cstddef>
#include <cstdint>

struct ReportLines;

enum class DownloadState : int
{
    Signalling = 1,
    MainTransfer = 3,
    ParameterExchange = 4,
    LpOverride = 5,
    MainErase = 6,
    LpErase = 7,
    LpTransfer = 8,
    ChecksumWait = 9,
};

// The download's timers, by id; every host runs the same three.
constexpr unsigned kSignalTimer = 1;  // 50 ms: '<' 'i'
constexpr unsigned kElapsedTimer = 2; // 1000 ms: elapsed-time display
constexpr unsigned kGangTimer = 3;    // 1000 ms: gang-mode wait
// An answer the reads brought only in part: the rest gets this long (an adapter's latency timer
// is 16 ms at most by default), then what came is judged as it stands.
constexpr unsigned kAnswerTimer = 4;
constexpr unsigned kLastDownloadTimer = kAnswerTimer;
constexpr unsigned kAnswerWaitMs = 100;
constexpr unsigned kSignalPeriodMs = 50;
constexpr unsigned kSecondMs = 1000;

// How a download that the handset saw to its end came out. A stop by the operator is the host's
// own doing and never reaches the engine as a verdict.
enum class DownloadVerdict
{
    Passed,  // the handset's checksums agree
    Failed,  // they disagree
    Aborted, // the engine gave up; the report line before the abort's says why
};

// What the engine needs from its host: the serial channel, the files and the operator's view.
class EngineHost
{
public:
    virtual ~EngineHost() = default;

    virtual bool DownloadRunning() const = 0;

    // Serial channel.
    virtual void WritePort(const std::uint8_t* bytes, std::size_t count) = 0; // one write
    // The signalling tick's write. It calls the handset rather than answering it, so a host that
    // times the handset's silence does not count it; otherwise it is an ordinary write.
    virtual void WriteSignal(const std::uint8_t* bytes, std::size_t count)
    {
        WritePort(bytes, count);
    }
    virtual void PurgePort() = 0; // PurgeComm(15)
    // Close the channel, drop the notifications its reader left in the queue, open a new
    // channel on the same port at this rate, 8N1.
    virtual void ReopenChannel(std::uint32_t baudRate) = 0;

    // Block senders: send this block of the section; false when the block was blank.
    virtual bool SendBlock(Section section, std::uint32_t block) = 0;
    virtual std::uint16_t SectionCrc(Section section) = 0; // CrcX25 of the section's file

    // The operator's view.
    virtual void AddReportLine(const char* text) = 0;
    virtual void ShowMessage(const char* text) = 0; // owned box, application's caption, OK
    // Owner-less, task-modal box captioned "TervoloPLUS": OK/Cancel or Yes/No.
    // Returns true for OK or Yes.
    virtual bool AskOkCancel(const char* text) = 0;
    virtual bool AskYesNo(const char* text) = 0;
    virtual void StartTimer(unsigned id, unsigned periodMs) = 0;
    virtual void StopTimer(unsigned id) = 0;
    virtual void RestartStopwatch() = 0;
    virtual void ShowElapsedTime() = 0;
    virtual void Pause(unsigned milliseconds) = 0; // the host's thread sleeps

    // The stop routine (StartStopDownload) and its start-request flag.
    virtual void ClearStartRequest() = 0;
    virtual void StartStopDownload() = 0;

    // The download's milestones, told as they happen, for hosts that keep a record of the
    // outcome. Each comes just before its report line; a host that only shows the lines can
    // ignore them.
    virtual void HandsetIdentified(const ParameterRecord& record) { (void)record; }
    virtual void ProtocolChanged() {}
    virtual void LastBlockAnswered() {}
    virtual void Concluded(DownloadVerdict verdict) { (void)verdict; }
};

// Settings of one download, put in place by the download start.
struct DownloadSetup
{
    bool bootCode = false;
    bool mainCode = false;
    bool languagePack = false;
    int baudIndex = 0; // 0 = 115200, 1 = 57600, 2 = 38400, 3 = 19200
    bool gangMode = false;
    bool diagnostics = false;
    char modelName[8] = {};  // text of the chosen model, "RT50" ... "RT47X"
    char imageModel[4] = {}; // model code of the image file, second character a blank
    char lpModel[8] = {};    // model field of the language-pack file
    std::uint32_t mainBlockCount = 0;
    std::uint32_t lpBlockCount = 0;
};

// What one notification of the reader tells the engine: the bytes just read, where they lie in
// the channel's receive buffer, and how far the reader had come when the notification was taken.
struct ReceivedBytes
{
    const std::uint8_t* bufferStart = nullptr; // the channel's receive buffer
    const std::uint8_t* chunk = nullptr;       // the bytes just read, inside that buffer
    std::size_t count = 0;
    std::uint32_t endIndex = 0; // the reader's write index: the end of the data received so far
};

class CDownloadEngine
{
public:
    explicit CDownloadEngine(EngineHost& host) : m_host(host) {}

    // Puts the engine into its first state for a new download.
    void Begin(const DownloadSetup& setup);

    // One read of the channel's reader. A notification that arrives inside a message box of the
    // engine's own handling waits and is replayed after it, but only into the state it arrived in;
    // one for a channel, download or state that has gone meanwhile is dropped.
    void OnSerialData(const ReceivedBytes& received);
    // A tick of one of the download's timers, whichever host runs them: timer 1 writes the
    // signal, timer 2 shows the elapsed time, timer 3 counts the gang wait down and shows it,
    // timer 4 ends the wait for the rest of an answer.
    void OnTimerTick(unsigned timerId);
    // Timer 3. Also redisplays the elapsed time (not while it is ignored: inside a handling,
    // or once the first block went out).
    void OnGangTick();
    // Ends the download as failed; the box comes after the stop. Once per download.
    void Abort();

    // Clears the CRC figures and the request's CRC bytes (every end of a download).
    void ClearChecksums();

    DownloadState State() const { return m_state; }
    unsigned RetryCount() const { return m_retryCount; }
    unsigned RxTotal() const { return m_rxTotal; }
    std::uint32_t BlockIndex() const { return m_blockIndex; }
    unsigned MainCrc() const { return m_mainCrc; }
    unsigned LpCrc() const { return m_lpCrc; }
    int GangCountdown() const { return m_gangCountdown; }
    const ChecksumRequest& Request() const { return m_checksumRequest; }
    bool ParamResponseSeen() const { return m_paramResponseSeen; }
    bool ParamResponseBusy() const { return m_paramResponseBusy; }

    // True while a notification or a tick is being handled (message boxes inside the handling
    // run nested message loops).
    bool Handling() const { return m_depth > 0; }
    // Notifications that arrived during the handling and wait to be replayed after it.
    std::size_t PendingNotifications() const { return m_deferredCount; }
    // Bytes of an answer that came only in part and wait for the rest.
    std::size_t PartialAnswerBytes() const { return m_partialCount; }

private:
    // A notification that arrived while another was being handled.
    struct DeferredNotification
    {
        ReceivedBytes received;
        unsigned channelEpoch; // m_channelEpoch when it arrived
        DownloadState state;   // m_state when it arrived
    };
    static constexpr std::size_t kDeferredCapacity = 32;
    static constexpr std::size_t kPartialCapacity = kLongestJudgedAnswer;

    // What a state's rule judges: the newest chunk, or an answer gathered over several reads,
    // and the same number of bytes ending at the end of received data (which some rules take).
    struct Answer
    {
        const std::uint8_t* bytes;
        std::size_t count;
        const std::uint8_t* latest;
    };

    // Counts handling depth for the lifetime of one entry into the engine.
    class HandlingScope
    {
    public:
        explicit HandlingScope(int& depth) : m_depth(depth) { ++m_depth; }
        ~HandlingScope() { --m_depth; }
        HandlingScope(const HandlingScope&) = delete;
        HandlingScope& operator=(const HandlingScope&) = delete;

    private:
        int& m_depth;
    };

    bool Running() const;
    bool Alive() const;
    void NewChannelEpoch();
    void Defer(const ReceivedBytes& received);
    void ReplayDeferred();
    void Handle(const ReceivedBytes& received);
    bool GatherPartialAnswer(const ReceivedBytes& received);
    void OnAnswerWaitOver();
    void JudgeGathered(const ReceivedBytes& received);
    void Judge(const Answer& answer, const ReceivedBytes& received);
    void DropPartialAnswer();
    bool SettlePauseWanted(const ReceivedBytes& received) const;

    void OnSignalling(const Answer& answer);
    void OnParameterExchange(const ReceivedBytes& received);
    void ProcessParameterRecord(const std::uint8_t* recordBytes);
    bool AcceptImageModel(const ParameterRecord& record);
    void AcceptLanguagePackModel(const ParameterRecord& record);
    void OnLpOverride(const Answer& answer);
    void OnErase(const Answer& answer);
    void OnTransfer(const Answer& answer);
    void OnChecksumWait(const Answer& answer);
    void GangTick();

    void EraseStep();
    void WaitForErase();
    void SendEraseCommand();
    void EnterLpOverride();
    void StartSection(Section section);
    void SendFromCurrentBlock();
    void CompleteSection(Section section);
    void EndWithVerdict();
    void AddLines(const ReportLines& lines);
    Section TransferSection() const;

    // Tests reach states no download can.
    friend class EngineTestAccess;

    EngineHost& m_host;
    DownloadState m_state = DownloadState::Signalling;
    unsigned m_retryCount = 0;
    unsigned m_rxTotal = 0;
    std::uint32_t m_blockIndex = 0;
    unsigned m_mainCrc = 0;
    unsigned m_lpCrc = 0;
    bool m_modelAccepted = false;
    bool m_gangPromptShown = false;
    int m_gangCountdown = 60;
    ChecksumRequest m_checksumRequest;
    DownloadSetup m_setup;
    // The handset's parameter answer: seen at the start of the receive buffer, and being
    // handled. They live as long as the engine; a download start leaves them as they are.
    bool m_paramResponseSeen = false;
    bool m_paramResponseBusy = false;
    int m_depth = 0;
    bool m_active = false;          // the engine has not ended the current download itself
    bool m_gangWaiting = false;     // timer 3 counts down to the first block
    unsigned m_downloadId = 0;      // changes with every Begin
    unsigned m_handledDownload = 0; // m_downloadId when the current handling began
    unsigned m_channelEpoch = 0;    // changes with every Begin and every reopened channel
    DeferredNotification m_deferred[kDeferredCapacity] = {};
    // The start of an answer that the reads brought only in part (a USB adapter hands bytes over
    // in packets), judged whole once the rest comes or when timer 4 ends the wait.
    std::uint8_t m_partial[kPartialCapacity] = {};
    std::size_t m_partialCount = 0; // timer 4 runs while it is not 0
    std::size_t m_deferredHead = 0;
    std::size_t m_deferredCount = 0;
};
