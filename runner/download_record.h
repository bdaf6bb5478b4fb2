// How one download on one port went, kept as it goes: what its exit code, its JSON object, its
// journal line and its station result line are made from.
#pragma once

#include "protocol/download_engine.h"

#include <chrono>
#include <optional>
#include <string>

inline double Seconds(std::chrono::steady_clock::duration span)
{
    return std::chrono::duration<double>(span).count();
}

// The transfer's figures: blocks written from the first block on, until the last block's answer.
struct TransferFigures
{
    using Clock = std::chrono::steady_clock;
    unsigned blocksSent = 0;
    Clock::time_point firstBlock;
    Clock::time_point transferEnd; // the last block's answer; firstBlock or before while it runs
};

// Blocks a second from the first block to the last answer, or to `until` before it.
double BlocksPerSecond(const TransferFigures& transfer, TransferFigures::Clock::time_point until);

// Why a download did not pass, as a front end advises the operator on it.
enum class FailureClass
{
    None,             // it passed
    NoAnswer,         // the handset fell silent
    ModelMismatch,    // a model question was answered No
    ChecksumMismatch, // the handset's checksums disagree: "Download FAILED..."
    PortError,        // the port could not be opened, or its channel was lost
    Stopped,          // the operator's stop
    Other,
};

// How one download on one port ended.
struct DownloadResult
{
    std::string productId; // the handset's, as far as it answered
    std::string mobileId;
    int exitCode = 0;
    std::string reason; // why it did not succeed
    FailureClass failure = FailureClass::None;
    double seconds = 0.0;
    unsigned blocks = 0; // block frames written
    double blocksPerSecond = 0.0;
    std::chrono::system_clock::time_point started; // wall clock, for the journal
    std::chrono::system_clock::time_point ended;
};

// A station's line after each download: "Result: <product id> <mobile id> <verdict> <seconds> s".
std::string ResultLine(const DownloadResult& result);

class CDownloadRecord
{
public:
    using Clock = std::chrono::steady_clock;

    // A new download starts now, with nothing known yet.
    void Begin();
    // The download has stopped: its time ends here.
    void End() { m_end = Clock::now(); }

    // A block frame is about to go out (the first starts the transfer's time), and has gone.
    void BlockGoingOut();
    void BlockWritten() { ++m_transfer.blocksSent; }
    // The transfer's time ends here, before the verdict's pause.
    void LastBlockAnswered() { m_transfer.transferEnd = Clock::now(); }
    void HandsetIdentified(const ParameterRecord& record);
    void HandsetAnswered() { m_handsetAnswered = true; }
    bool Answered() const { return m_handsetAnswered; }
    const std::string& ProductId() const { return m_productId; }
    const std::string& MobileId() const { return m_mobileId; }

    // The engine's verdict; an abort without a reason of the host's own takes `lastLine`, the
    // report line before the abort's.
    void Concluded(DownloadVerdict verdict, const std::string& lastLine);
    // Why the download is ending, in the host's own words (replaces an earlier one).
    void SetReason(const std::string& reason, FailureClass failure = FailureClass::Other)
    {
        m_reason = reason;
        m_failure = failure;
    }
    // The port could not be opened, or opened again; `error` is the channel's own text.
    void PortFailed() { m_portFailed = true; }
    void SetPortError(const std::string& error) { m_portError = error; }
    void Interrupted() { m_interrupted = true; }

    const TransferFigures& Transfer() const { return m_transfer; }
    DownloadResult Result() const;

private:
    Clock::time_point m_start;
    Clock::time_point m_end;
    TransferFigures m_transfer;
    std::optional<DownloadVerdict> m_verdict; // the engine's, once it concluded
    bool m_portFailed = false;
    bool m_interrupted = false;
    bool m_handsetAnswered = false;
    std::string m_portError;
    std::string m_reason;
    FailureClass m_failure = FailureClass::Other; // of an abort
    std::string m_productId;
    std::string m_mobileId;
};
