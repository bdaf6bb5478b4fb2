// What one port's runner tells the program that shows it: typed events, on the port's thread, in
// the order they happen. The console's report and the station's tiles are two observers; none of
// them learns anything by reading the report's texts.
#pragma once

#include "protocol/frames.h"
#include "runner/download_record.h"

#include <cstdint>
#include <string>

// Where the engine is in a download, as a front end tells it apart.
enum class PortPhase
{
    Signalling,  // the signal goes out; no handset has answered yet
    Identifying, // a handset answered: rate change, parameter record, model checks
    Erasing,
    Sending,
    Checking, // every block is out: the handset's checksum verdict is awaited
};

enum class ReportKind
{
    Line,    // a line of the report, on the console and in the port's log
    Error,   // a failure of the port or its channel (the console shows it on standard error)
    LogNote, // a note for the port's log alone
};

struct BlockEvent
{
    enum class Stage
    {
        Ahead,   // about to be read and sent
        Read,    // read from its file: its "Sending Block" line stands
        Skipped, // all blank: not sent
        Sent,    // its frame was written
    };
    Stage stage = Stage::Ahead;
    Section section = Section::MainCode;
    std::uint32_t block = 0;
    std::uint32_t blockCount = 0; // of its section's file
    std::uint64_t blocksDone = 0; // of every section, this one included
    std::uint64_t blocksTotal = 0;
    TransferFigures transfer; // as they stand after this stage
};

class PortObserver
{
public:
    // A new download: nothing of it has been shown.
    virtual void DownloadBegun() = 0;
    virtual void PhaseChanged(PortPhase phase) = 0;
    virtual void ReportLine(ReportKind kind, const std::string& text) = 0;
    virtual void BlockProgressed(const BlockEvent& event) = 0;
    virtual void HandsetIdentified(const std::string& productId, const std::string& mobileId) = 0;
    // The download's elapsed time starts now, and ticks each second after.
    virtual void StopwatchRestarted() = 0;
    virtual void ElapsedTick(const TransferFigures& transfer) = 0;
    // The handset answered the last block: the transfer's figures are final.
    virtual void TransferEnded(const TransferFigures& transfer) = 0;
    virtual void DownloadEnded(const DownloadResult& result) = 0;
    // The port's thread ended by a failure of its own (`result` holds the reason), or could not
    // start: no more downloads come.
    virtual void PortFailed(const DownloadResult& result) = 0;
    // The download's journal line was written, or could not be.
    virtual void JournalWritten(bool written) = 0;

protected:
    ~PortObserver() = default;
};
