// Misbehaviour asked of the simulated handset. Faults add up until they are cleared.
#pragma once

#include "sim/handset_protocol.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim
{

// The moments at which the handset answers.
enum class StepKind
{
    Signal,   // ">i"
    Param,    // ">p" record
    Erase,    // ">e" / ">E"
    Override, // ">o"
    Block,    // ">w" / ">W"
    Checksum, // ">c" / ">C"
};

struct Step
{
    StepKind kind = StepKind::Signal;
    Section section = Section::Main; // of a block
    std::uint32_t block = 0;         // of a block
};

// A step as a fault names it: "signal", "param", "erase", "override", "checksum", "block"
// (every block), "block:<n>" (main block n) or "lpblock:<n>" (language-pack block n).
struct StepPattern
{
    StepKind kind = StepKind::Signal;
    bool anyBlock = true;
    Section section = Section::Main;
    std::uint32_t block = 0;

    bool Matches(const Step& step) const;
};

bool ParseStepPattern(std::string_view text, StepPattern& pattern);

// How the answer at one step is to go out.
struct AnswerShape
{
    bool silent = false;   // no answer at all
    bool replaced = false; // `replacement` instead of the right answer
    std::vector<std::uint8_t> replacement;
    std::uint32_t delayMs = 0;           // wait before the first byte
    std::vector<std::size_t> splitSizes; // write in pieces of these sizes, the rest last
};

class FaultPlan
{
public:
    // Adds one fault from the words after FAULT; on failure says why in `error`.
    bool Add(const std::vector<std::string>& words, std::string& error);
    void Clear();

    // Each call that returns true uses up one time of the fault.
    bool TakeWriteFailure(Section section, std::uint32_t block);
    bool TakeEraseFailure();

    bool StraySignalAnswer() const { return m_straySignalAnswer; }
    bool ChecksumAlwaysBad() const { return m_checksumAlwaysBad; }

    // The shape of the answer at this step; uses up one time of each fault that applies.
    AnswerShape TakeAnswerShape(const Step& step);

private:
    enum class ShapeKind
    {
        Garbage,
        Silence,
        Split,
        Delay,
    };

    static constexpr int kAlways = -1;

    struct ShapeFault
    {
        ShapeKind kind;
        StepPattern step;
        int timesLeft; // or kAlways
        std::vector<std::uint8_t> garbage;
        std::vector<std::size_t> splitSizes;
        std::uint32_t delayMs = 0;
    };

    struct WriteFailure
    {
        Section section;
        std::uint32_t block;
        unsigned timesLeft;
    };

    bool AddShapeFault(ShapeKind kind, const std::vector<std::string>& words, std::string& error);
    ShapeFault* FindShapeFault(ShapeKind kind, const Step& step);

    std::vector<ShapeFault> m_shapeFaults;
    std::vector<WriteFailure> m_writeFailures;
    unsigned m_eraseFailuresLeft = 0;
    bool m_straySignalAnswer = false;
    bool m_checksumAlwaysBad = false;
};

} // namespace sim
