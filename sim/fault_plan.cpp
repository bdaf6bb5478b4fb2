#include "sim/fault_plan.h"

#include "sim/hex_text.h"

#include <limits>
#include <utility>

namespace sim
{
namespace
{

constexpr std::uint64_t kMaxTimes = 1000000;
constexpr std::uint64_t kMaxDelayMs = 600000;
constexpr std::uint64_t kMaxBlockNumber = 0x3FFF; // 14 bits: 0x40 of the high byte is the LP flag

struct NamedStep
{
    const char* name;
    StepKind kind;
};

constexpr NamedStep kPlainSteps[] = {
    {"signal", StepKind::Signal},     {"param", StepKind::Param},       {"erase", StepKind::Erase},
    {"override", StepKind::Override}, {"checksum", StepKind::Checksum}, {"block", StepKind::Block},
};

constexpr std::string_view kMainBlockPrefix = "block:";
constexpr std::string_view kLpBlockPrefix = "lpblock:";

bool ParseBlockNumber(std::string_view text, std::uint32_t& block)
{
    std::uint64_t value = 0;
    if (!ParseUnsigned(text, value) || value > kMaxBlockNumber)
    {
        return false;
    }
    block = static_cast<std::uint32_t>(value);
    return true;
}

bool ParseSection(std::string_view text, Section& section)
{
    if (text == "main")
    {
        section = Section::Main;
        return true;
    }
    if (text == "lp")
    {
        section = Section::LanguagePack;
        return true;
    }
    return false;
}

// "always", or a count of at least 1.
bool ParseTimes(std::string_view text, int always, int& times)
{
    if (text == "always")
    {
        times = always;
        return true;
    }
    std::uint64_t value = 0;
    if (!ParseUnsigned(text, value) || value == 0 || value > kMaxTimes)
    {
        return false;
    }
    times = static_cast<int>(value);
    return true;
}

bool ParseSizes(std::string_view text, std::vector<std::size_t>& sizes)
{
    sizes.clear();
    while (!text.empty())
    {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        std::uint64_t size = 0;
        if (!ParseUnsigned(item, size) || size == 0 || size > std::numeric_limits<int>::max())
        {
            return false;
        }
        sizes.push_back(static_cast<std::size_t>(size));
        if (comma == std::string_view::npos)
        {
            break;
        }
        text.remove_prefix(comma + 1);
        if (text.empty())
        {
            return false; // trailing comma
        }
    }
    return !sizes.empty();
}

} // namespace

bool StepPattern::Matches(const Step& step) const
{
    if (step.kind != kind)
    {
        return false;
    }
    return kind != StepKind::Block || anyBlock || (step.section == section && step.block == block);
}

bool ParseStepPattern(std::string_view text, StepPattern& pattern)
{
    for (const NamedStep& named : kPlainSteps)
    {
        if (text == named.name)
        {
            pattern = StepPattern{};
            pattern.kind = named.kind;
            return true;
        }
    }
    Section section = Section::Main;
    if (text.substr(0, kMainBlockPrefix.size()) == kMainBlockPrefix)
    {
        text.remove_prefix(kMainBlockPrefix.size());
    }
    else if (text.substr(0, kLpBlockPrefix.size()) == kLpBlockPrefix)
    {
        text.remove_prefix(kLpBlockPrefix.size());
        section = Section::LanguagePack;
    }
    else
    {
        return false;
    }
    std::uint32_t block = 0;
    if (!ParseBlockNumber(text, block))
    {
        return false;
    }
    pattern = StepPattern{StepKind::Block, false, section, block};
    return true;
}

bool FaultPlan::Add(const std::vector<std::string>& words, std::string& error)
{
    if (words.empty())
    {
        error = "missing fault kind";
        return false;
    }
    const std::string& kind = words[0];
    const std::size_t argCount = words.size() - 1;
    if (kind == "stray_i" || kind == "checksum_bad")
    {
        if (argCount != 0)
        {
            error = kind + " takes no arguments";
            return false;
        }
        (kind == "stray_i" ? m_straySignalAnswer : m_checksumAlwaysBad) = true;
        return true;
    }
    if (kind == "erase_fail")
    {
        int times = 1;
        if (argCount > 1 || (argCount == 1 && !ParseTimes(words[1], 1, times)))
        {
            error = "usage: erase_fail <times>";
            return false;
        }
        m_eraseFailuresLeft += static_cast<unsigned>(times);
        return true;
    }
    if (kind == "write_fail")
    {
        WriteFailure failure{Section::Main, 0, 1};
        int times = 1;
        if ((argCount != 2 && argCount != 3) || !ParseSection(words[1], failure.section) ||
            !ParseBlockNumber(words[2], failure.block) ||
            (argCount == 3 && !ParseTimes(words[3], 1, times)))
        {
            error = "usage: write_fail <main|lp> <block> <times>";
            return false;
        }
        failure.timesLeft = static_cast<unsigned>(times);
        m_writeFailures.push_back(failure);
        return true;
    }
    static const std::pair<const char*, ShapeKind> kShapeFaults[] = {
        {"garbage", ShapeKind::Garbage},
        {"silence", ShapeKind::Silence},
        {"split", ShapeKind::Split},
        {"delay", ShapeKind::Delay}};
    for (const auto& [name, shape] : kShapeFaults)
    {
        if (kind == name)
        {
            return AddShapeFault(shape, words, error);
        }
    }
    error = "unknown fault " + kind;
    return false;
}

bool FaultPlan::AddShapeFault(ShapeKind kind, const std::vector<std::string>& words,
                              std::string& error)
{
    // words: kind, step, [value], [times|always]
    const bool takesValue = kind != ShapeKind::Silence;
    const std::size_t fixedWords = takesValue ? 3 : 2;
    static const char* const kUsage[] = {
        "usage: garbage <step> <hex> [times|always]",
        "usage: silence <step> [times|always]",
        "usage: split <step> <n1,n2,...> [times|always]",
        "usage: delay <step> <ms> [times|always]",
    };
    error = kUsage[static_cast<int>(kind)];
    if (words.size() != fixedWords && words.size() != fixedWords + 1)
    {
        return false;
    }
    ShapeFault fault{kind, StepPattern{}, 1, {}, {}, 0};
    if (!ParseStepPattern(words[1], fault.step))
    {
        error = "unknown step " + words[1];
        return false;
    }
    if (words.size() == fixedWords + 1 && !ParseTimes(words[fixedWords], kAlways, fault.timesLeft))
    {
        return false;
    }
    std::uint64_t delayMs = 0;
    switch (kind)
    {
    case ShapeKind::Garbage:
        if (!ParseHex(words[2], fault.garbage))
        {
            return false;
        }
        break;
    case ShapeKind::Split:
        if (!ParseSizes(words[2], fault.splitSizes))
        {
            return false;
        }
        break;
    case ShapeKind::Delay:
        if (!ParseUnsigned(words[2], delayMs) || delayMs > kMaxDelayMs)
        {
            return false;
        }
        fault.delayMs = static_cast<std::uint32_t>(delayMs);
        break;
    case ShapeKind::Silence:
        break;
    }
    error.clear();
    m_shapeFaults.push_back(std::move(fault));
    return true;
}

void FaultPlan::Clear()
{
    *this = FaultPlan();
}

bool FaultPlan::TakeWriteFailure(Section section, std::uint32_t block)
{
    for (WriteFailure& failure : m_writeFailures)
    {
        if (failure.section == section && failure.block == block && failure.timesLeft > 0)
        {
            --failure.timesLeft;
            return true;
        }
    }
    return false;
}

bool FaultPlan::TakeEraseFailure()
{
    if (m_eraseFailuresLeft == 0)
    {
        return false;
    }
    --m_eraseFailuresLeft;
    return true;
}

FaultPlan::ShapeFault* FaultPlan::FindShapeFault(ShapeKind kind, const Step& step)
{
    for (ShapeFault& fault : m_shapeFaults)
    {
        if (fault.kind == kind && fault.timesLeft != 0 && fault.step.Matches(step))
        {
            if (fault.timesLeft != kAlways)
            {
                --fault.timesLeft;
            }
            return &fault;
        }
    }
    return nullptr;
}

AnswerShape FaultPlan::TakeAnswerShape(const Step& step)
{
    AnswerShape shape;
    if (FindShapeFault(ShapeKind::Silence, step) != nullptr)
    {
        shape.silent = true;
    }
    if (const ShapeFault* garbage = FindShapeFault(ShapeKind::Garbage, step))
    {
        shape.replaced = true;
        shape.replacement = garbage->garbage;
    }
    if (const ShapeFault* delay = FindShapeFault(ShapeKind::Delay, step))
    {
        shape.delayMs = delay->delayMs;
    }
    if (const ShapeFault* split = FindShapeFault(ShapeKind::Split, step))
    {
        shape.splitSizes = split->splitSizes;
    }
    return shape;
}

} // namespace sim
