#include "download/progress_text.h"

#include <cstdio>
#include <limits>

namespace
{
constexpr unsigned kPercent = 100;
constexpr unsigned kSecondsPerMinute = 60;

ProgressText FullPercent()
{
    ProgressText out;
    std::snprintf(out.text, sizeof out.text, "%d%%", static_cast<int>(kPercent));
    return out;
}

ProgressText PaddedPercent(double share)
{
    ProgressText out;
    std::snprintf(out.text, sizeof out.text, "%3.0f%%", share * kPercent);
    return out;
}
} // namespace

ImageRegion RegionOfImageBlock(std::uint32_t block, std::uint32_t mainBlockCount)
{
    if (block <= kLastBootBlock)
    {
        return ImageRegion::Boot;
    }
    return block < mainBlockCount ? ImageRegion::Main : ImageRegion::Invalid;
}

bool IsLanguagePackBlock(std::uint32_t block, std::uint32_t lpBlockCount)
{
    return block < lpBlockCount;
}

BlockProgress ProgressOfBlock(Section section, std::uint32_t block, std::uint32_t blockCount)
{
    BlockProgress progress;
    if (section == Section::LanguagePack)
    {
        progress.inFile = IsLanguagePackBlock(block, blockCount);
        progress.bar = ProgressBar::LanguagePack;
        if (progress.inFile)
        {
            progress.percent = LanguagePackPercentText(block, blockCount);
        }
    }
    else
    {
        switch (RegionOfImageBlock(block, blockCount))
        {
        case ImageRegion::Boot:
            progress.inFile = true;
            progress.bar = ProgressBar::BootCode;
            progress.percent = BootPercentText(block);
            break;
        case ImageRegion::Main:
            progress.inFile = true;
            progress.bar = ProgressBar::MainCode;
            progress.percent = MainPercentText(block, blockCount);
            break;
        case ImageRegion::Invalid:
            break;
        }
    }
    progress.sendingLine = SendingBlockText(block, blockCount);
    return progress;
}

ProgressText BootPercentText(std::uint32_t block)
{
    ProgressText out;
    // The quotient first, in whole numbers: the box jumps from 0% to 100% at the last block.
    const unsigned percent = (block / kLastBootBlock) * kPercent;
    std::snprintf(out.text, sizeof out.text, "%d%%", static_cast<int>(percent));
    return out;
}

ProgressText MainPercentText(std::uint32_t block, std::uint32_t mainBlockCount)
{
    const std::uint32_t span = mainBlockCount - (kBootBlockCount + 1);
    if (span == 0)
    {
        return FullPercent();
    }
    return PaddedPercent(static_cast<double>(block - kBootBlockCount) / static_cast<double>(span));
}

ProgressText LanguagePackPercentText(std::uint32_t block, std::uint32_t lpBlockCount)
{
    const std::uint32_t span = lpBlockCount - 1;
    if (span == 0)
    {
        return FullPercent();
    }
    return PaddedPercent(static_cast<double>(block) / static_cast<double>(span));
}

ProgressText SendingBlockText(std::uint32_t block, std::uint32_t blockCount)
{
    ProgressText out;
    std::snprintf(out.text, sizeof out.text, "Sending Block 0x%04x of 0x%04x",
                  static_cast<unsigned>(block), static_cast<unsigned>(blockCount - 1));
    return out;
}

ProgressText ElapsedTimeText(double seconds)
{
    // Whole seconds, the fraction dropped; a clock that reads below zero shows zero.
    unsigned whole = 0;
    if (seconds >= static_cast<double>(std::numeric_limits<unsigned>::max()))
    {
        whole = std::numeric_limits<unsigned>::max();
    }
    else if (seconds > 0.0)
    {
        whole = static_cast<unsigned>(seconds);
    }
    ProgressText out;
    std::snprintf(out.text, sizeof out.text, "%02um%02us", whole / kSecondsPerMinute,
                  whole % kSecondsPerMinute);
    return out;
}

int FilledPixels(int position, std::uint16_t lower, std::uint16_t upper, int width)
{
    if (upper <= lower || position <= lower)
    {
        return 0;
    }
    if (position >= upper)
    {
        return width;
    }
    return static_cast<int>(static_cast<long long>(width) * (position - lower) / (upper - lower));
}
