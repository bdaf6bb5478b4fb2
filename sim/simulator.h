// The simulator proper: one handset on one pseudo-terminal, driven by an event loop that
// waits on the line, the control channel and its own timers. Single-threaded; only
// RequestStop may be called from elsewhere (another thread or a signal handler).
#pragma once

#include "sim/adapter_profile.h"
#include "sim/control_server.h"
#include "sim/frame_assembler.h"
#include "sim/handset.h"
#include "sim/pty_port.h"
#include "sim/turnaround_stats.h"
#include "sim/unique_fd.h"

#include <cstdint>
#include <deque>
#include <fstream>
#include <map>
#include <poll.h>
#include <mutex>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace sim
{

struct SimConfig
{
    std::string linkPath; // empty: no link
    unsigned short controlPort = kDefaultControlPort;
    HandsetRecord record; // the record at start-up and after RESET
    bool pace = false;
    AdapterProfile adapter; // how the answers reach the PC; at start-up and after RESET
    bool verbose = false;
    // How long the answer to '<' 'p' waits for the PC to reopen its port at the new rate
    // before it goes out all the same; 0: at once.
    std::uint32_t reopenWaitMs = 1000;
    std::string transcriptPath; // empty: none
};

class Simulator
{
public:
    Simulator(const SimConfig& config, std::ostream& out);

    // Creates the terminal, the link, the control listener and the transcript file.
    bool Start(std::string& error);
    // Serves until RequestStop; returns the exit code.
    int Run();
    void RequestStop();

    unsigned short ControlPort() const { return m_control.Port(); }
    // Any thread: the terminal the PC opens now (empty while unplugged). A copy, since the
    // simulator's thread replaces it at a replug.
    std::string SlavePath() const;

private:
    // The control-command fuzz target (tests/fuzz) runs Execute without a terminal or a client.
    friend class SimulatorFuzzAccess;

    // A piece of the PC's stream waiting for its line time (pacing).
    struct Incoming
    {
        std::int64_t dueUs;
        std::vector<std::uint8_t> bytes;
        std::int64_t arrivedUs; // when it was read from the terminal
    };

    // A write to the line waiting for its time.
    struct Outgoing
    {
        std::int64_t dueUs;
        std::vector<std::uint8_t> bytes;
        std::size_t written = 0;
        bool blockAcknowledgement = false;
        // Least time between the end of the previous write and the end of this one: a
        // split gap, and the line time when pacing. Late writes thus never squeeze the next.
        std::int64_t afterPreviousUs = 0;
        // The last write of an answer: when its last byte left the handset (-1: not one).
        std::int64_t answerDueUs = -1;
    };

    struct TimedBytes
    {
        std::uint64_t timeUs; // since the epoch
        std::vector<std::uint8_t> bytes;
        bool garbage = false; // in the transcript: bytes outside any frame
    };

    // An answer that waits for the PC to reopen its port.
    struct HeldReply
    {
        bool active = false;
        sim::Reply reply;
        std::int64_t arrivedUs = 0; // of the frame answered
        std::int64_t deadlineUs = 0;
    };

    // A WAITFRAME or WAITBYTES whose answer is still due.
    struct PendingWait
    {
        bool active = false;
        bool forBytes = false;
        std::uint8_t letter = 0;
        std::uint64_t count = 0;
        std::int64_t deadlineUs = 0;
    };

    // Line.
    void SetPace(bool on); // on the simulator's thread
    bool Plug(std::string& error);
    void Unplug();
    void ReadFromLine();
    void DeliverDue(std::int64_t nowUs);
    // timeUs: when the bytes count as received; arrivedUs: when they were read.
    void Deliver(const std::vector<std::uint8_t>& bytes, std::int64_t timeUs,
                 std::int64_t arrivedUs);
    void OnFrame(const ReceivedRecord& frame, std::int64_t timeUs, std::int64_t arrivedUs);
    void QueueReply(const sim::Reply& reply, std::int64_t afterUs);
    void ReleaseHeldReply(const char* why);
    void WatchPortUse();
    // Queues a write `waitMs` after `afterUs` (then the time this write is due); a piece
    // that continues the previous write keeps its gap after that write's actual end. The
    // last piece of an answer (`endsAnswer`) is timed for the answer delays.
    void QueueWrite(std::uint32_t waitMs, std::vector<std::uint8_t> bytes, bool acknowledgement,
                    bool continuesPrevious, bool endsAnswer, std::int64_t& afterUs);
    // The same write handed over in the packets of the adapter profile.
    void QueueThroughAdapter(std::vector<std::uint8_t> bytes, std::int64_t lineStartUs,
                             std::int64_t lineEndUs, bool acknowledgement, bool endsAnswer);
    void WriteDue(std::int64_t nowUs);
    void OnWritten(const Outgoing& piece, std::int64_t timeUs);
    std::int64_t NextDeadline() const;

    // The descriptors Run waits on, and what it does once one of them is ready.
    enum PollSlot
    {
        kPollWake,
        kPollLine,
        kPollPortUse,
        kPollListener,
        kPollClient,
        kPollCount
    };
    void WatchedDescriptors(pollfd* fds) const;
    void Serve(const pollfd* fds);

    // Control channel (control_commands.cpp). Each command handler gets the words of the
    // line (the command first) and the line itself, and answers through Respond.
    using Words = std::vector<std::string>;
    using CommandHandler = void (Simulator::*)(const Words& words, const std::string& line);
    struct Command
    {
        const char* name;
        CommandHandler handler;
    };
    static const Command kCommands[];

    void ServeClient();
    void Execute(const std::string& line);
    void CheckPendingWait(std::int64_t nowUs);
    void Respond(const std::string& line) { m_control.SendLine(line); }

    void OnReset(const Words& words, const std::string& line);
    void OnSet(const Words& words, const std::string& line);
    void OnSetStr(const Words& words, const std::string& line);
    void OnSetNum(const Words& words, const std::string& line);
    void OnMode(const Words& words, const std::string& line);
    void OnFault(const Words& words, const std::string& line);
    void OnPace(const Words& words, const std::string& line);
    void OnAdapter(const Words& words, const std::string& line);
    void OnSend(const Words& words, const std::string& line);
    void OnReceived(const Words& words, const std::string& line);
    void OnTranscript(const Words& words, const std::string& line);
    void OnAnswers(const Words& words, const std::string& line);
    void OnWaitFrame(const Words& words, const std::string& line);
    void OnWaitBytes(const Words& words, const std::string& line);
    void OnFlash(const Words& words, const std::string& line);
    void OnDump(const Words& words, const std::string& line);
    void OnLine(const Words& words, const std::string& line);
    void OnUnplug(const Words& words, const std::string& line);
    void OnPlug(const Words& words, const std::string& line);
    void OnStats(const Words& words, const std::string& line);
    void OnStatus(const Words& words, const std::string& line);
    void OnHelp(const Words& words, const std::string& line);

    // Records and people.
    std::uint64_t SinceEpochUs(std::int64_t timeUs) const;
    void Log(const std::string& kind, std::uint64_t timeUs, const std::vector<std::uint8_t>& bytes);
    void Say(std::int64_t timeUs, const std::string& text);
    void SayFigures(); // at the end of the run: the turnarounds and answer delays

    SimConfig m_config;
    std::ostream& m_out;
    UniqueFd m_wakeRead; // RequestStop writes to m_wakeWrite
    UniqueFd m_wakeWrite;
    PtyPort m_port;
    mutable std::mutex m_slavePathLock;
    std::string m_slavePath; // m_port's, for other threads; guarded by m_slavePathLock
    PortLink m_link;
    ControlServer m_control;
    std::ofstream m_transcriptFile;

    Handset m_handset;
    FrameAssembler m_assembler;
    bool m_pace = false;
    AdapterProfile m_adapter;
    std::mt19937 m_adapterRandom; // seeded from m_adapter.seed: the same run cuts the same
    std::int64_t m_epochUs = 0;   // RESET or start
    std::deque<Incoming> m_incoming;
    std::deque<Outgoing> m_outgoing;
    bool m_lineFull = false; // the head of m_outgoing waits for room in the terminal
    HeldReply m_held;
    std::uint32_t m_reopenWaitMs = 0;
    std::int64_t m_rxLineFreeUs = 0; // when the PC's last byte has crossed the paced line
    std::int64_t m_txLineFreeUs = 0; // when our last byte has crossed it

    std::vector<std::uint8_t> m_received;
    std::vector<TimedBytes> m_transcript; // frames and garbage, in order
    std::vector<TimedBytes> m_answers;
    std::map<std::uint8_t, std::uint64_t> m_framesByLetter;
    std::uint64_t m_frameCount = 0;
    std::uint64_t m_garbageBytes = 0;
    std::uint64_t m_answerCount = 0;
    TurnaroundStats m_turnarounds;
    TurnaroundStats m_answerDelays;       // answer handed to the PC, after its last byte left us
    bool m_acknowledgementOnLine = false; // ">w" written, next frame not yet in
    std::int64_t m_acknowledgementUs = 0;

    PendingWait m_wait;
    bool m_pcClosedPort = false;               // seen closing, not yet seen opening again
    std::int64_t m_pcReopenedUs = -1;          // when we last saw it open its port after a close
    std::int64_t m_previousFrameArrivedUs = 0; // when the frame before the newest was read
};

} // namespace sim
