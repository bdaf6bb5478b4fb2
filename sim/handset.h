// The simulated handset: takes complete command frames and says what to answer. It knows
// nothing of the pseudo-terminal; timing and line speed are the caller's business.
#pragma once

#include "sim/fault_plan.h"
#include "sim/flash_image.h"
#include "sim/handset_record.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim
{

// The gap between the pieces of an answer that a split fault cuts.
constexpr std::uint32_t kDefaultSplitGapMs = 50;

// One write to the line.
struct AnswerPiece
{
    std::uint32_t waitMs = 0; // before this piece, after the previous one (or the frame)
    std::vector<std::uint8_t> bytes;
};

struct Reply
{
    std::vector<AnswerPiece> pieces; // empty: no answer
    bool blockAcknowledged = false;  // the answer is ">w", block stored
    // The answer goes out at a new line rate: the PC hears it only once it has reopened its
    // port at that rate.
    bool afterRateChange = false;
    std::string note; // what the handset made of the frame, for people
};

enum class HandsetMode
{
    Handset, // answer the protocol
    Raw,     // answer nothing
};

class Handset
{
public:
    explicit Handset(const HandsetRecord& record = HandsetRecord());

    // One complete frame ('<', letter, rest). The line rate may change ('<' 'p').
    Reply OnFrame(const std::vector<std::uint8_t>& frame);

    // Back to a handset fresh from the box with this record: flash erased, faults cleared,
    // line at 19200 baud, handset mode.
    void Reset(const HandsetRecord& record);
    // A new connection: line back to 19200 baud, download type forgotten; flash kept.
    void Replug();

    HandsetRecord& Record() { return m_record; }
    FaultPlan& Faults() { return m_faults; }
    FlashImage& Flash(Section section);
    const FlashImage& Flash(Section section) const;

    HandsetMode Mode() const { return m_mode; }
    void SetMode(HandsetMode mode) { m_mode = mode; }

    std::uint32_t LineRate() const { return m_lineRate; }
    std::uint8_t DownloadTypeCode() const { return m_downloadTypeCode; }
    std::uint8_t LastEraseLetter() const { return m_lastEraseLetter; } // 0 before any erase

    std::uint32_t SplitGapMs() const { return m_splitGapMs; }
    void SetSplitGapMs(std::uint32_t gap) { m_splitGapMs = gap; }

private:
    std::vector<std::uint8_t> AnswerToProtocolChange(const std::vector<std::uint8_t>& frame,
                                                     std::string& note);
    std::vector<std::uint8_t> AnswerToErase(std::uint8_t letter, std::string& note);
    std::vector<std::uint8_t> AnswerToBlock(const std::vector<std::uint8_t>& frame, Step& step,
                                            std::string& note);
    std::vector<std::uint8_t> AnswerToChecksum(const std::vector<std::uint8_t>& frame,
                                               std::string& note);
    Reply Shape(const Step& step, std::vector<std::uint8_t> answer, std::string note);

    HandsetRecord m_record;
    FaultPlan m_faults;
    FlashImage m_mainFlash;
    FlashImage m_lpFlash;
    HandsetMode m_mode = HandsetMode::Handset;
    std::uint32_t m_lineRate = kSignallingBaudRate;
    std::uint8_t m_downloadTypeCode = 0; // none yet: every section counts
    std::uint8_t m_lastEraseLetter = 0;
    std::uint32_t m_splitGapMs = kDefaultSplitGapMs;
};

} // namespace sim
