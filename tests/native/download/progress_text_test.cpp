#include "download/progress_text.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string Text(const ProgressText& t)
{
    return t.c_str();
}

TEST(ImageRegionTest, BootRegionIsBlocksZeroToSixtyThree)
{
    EXPECT_EQ(RegionOfImageBlock(0, 200), ImageRegion::Boot);
    EXPECT_EQ(RegionOfImageBlock(63, 200), ImageRegion::Boot);
    EXPECT_EQ(RegionOfImageBlock(64, 200), ImageRegion::Main);
    // The boot region does not depend on the file's size.
    EXPECT_EQ(RegionOfImageBlock(10, 3), ImageRegion::Boot);
}

TEST(ImageRegionTest, MainRegionEndsAtTheLastBlockOfTheFile)
{
    EXPECT_EQ(RegionOfImageBlock(199, 200), ImageRegion::Main);
    EXPECT_EQ(RegionOfImageBlock(200, 200), ImageRegion::Invalid);
    EXPECT_EQ(RegionOfImageBlock(64, 65), ImageRegion::Main);
    // An image without main-code blocks has no main region at all.
    EXPECT_EQ(RegionOfImageBlock(64, 64), ImageRegion::Invalid);
    EXPECT_EQ(RegionOfImageBlock(64, 0), ImageRegion::Invalid);
}

TEST(ImageRegionTest, LanguagePackBlocksRunToTheLastBlockOfTheFile)
{
    EXPECT_TRUE(IsLanguagePackBlock(0, 1));
    EXPECT_TRUE(IsLanguagePackBlock(47, 48));
    EXPECT_FALSE(IsLanguagePackBlock(48, 48));
    EXPECT_FALSE(IsLanguagePackBlock(0, 0));
}

TEST(BootPercentTest, ReadsZeroUntilTheLastBootBlock)
{
    EXPECT_EQ(Text(BootPercentText(0)), "0%");
    EXPECT_EQ(Text(BootPercentText(31)), "0%");
    EXPECT_EQ(Text(BootPercentText(62)), "0%");
    EXPECT_EQ(Text(BootPercentText(63)), "100%");
}

TEST(MainPercentTest, FirstMainBlockReadsZeroPaddedToThreeCharacters)
{
    EXPECT_EQ(Text(MainPercentText(64, 200)), "  0%");
    EXPECT_EQ(Text(MainPercentText(199, 200)), "100%");
}

TEST(MainPercentTest, IntermediateBlocksAreRoundedToWholePercent)
{
    // 101 main blocks (64..164): block 114 is half-way.
    EXPECT_EQ(Text(MainPercentText(114, 165)), " 50%");
    // 4 main blocks (64..67): thirds round to 33% and 67%.
    EXPECT_EQ(Text(MainPercentText(65, 68)), " 33%");
    EXPECT_EQ(Text(MainPercentText(66, 68)), " 67%");
    EXPECT_EQ(Text(MainPercentText(67, 68)), "100%");
}

TEST(MainPercentTest, SingleMainBlockReadsFullInsteadOfDividingByZero)
{
    EXPECT_EQ(Text(MainPercentText(64, 65)), "100%");
}

TEST(LanguagePackPercentTest, RunsFromZeroToFull)
{
    EXPECT_EQ(Text(LanguagePackPercentText(0, 48)), "  0%");
    EXPECT_EQ(Text(LanguagePackPercentText(47, 48)), "100%");
    EXPECT_EQ(Text(LanguagePackPercentText(1, 3)), " 50%");
    EXPECT_EQ(Text(LanguagePackPercentText(1, 7)), " 17%");
}

TEST(LanguagePackPercentTest, SingleBlockReadsFullInsteadOfDividingByZero)
{
    EXPECT_EQ(Text(LanguagePackPercentText(0, 1)), "100%");
}

TEST(SendingBlockTest, ShowsTheBlockAndTheLastBlockNumberInHex)
{
    EXPECT_EQ(Text(SendingBlockText(0, 200)), "Sending Block 0x0000 of 0x00c7");
    EXPECT_EQ(Text(SendingBlockText(0x105, 0x200)), "Sending Block 0x0105 of 0x01ff");
    // Numbers beyond four digits take more.
    EXPECT_EQ(Text(SendingBlockText(0x12345, 0x20000)), "Sending Block 0x12345 of 0x1ffff");
}

// Both front ends render this: the bar follows the block's region, a number outside its file
// moves none, and the line always names the section's last block.
TEST(BlockProgressTest, BarAndTextsFollowTheSectionAndRegion)
{
    const BlockProgress boot = ProgressOfBlock(Section::MainCode, 63, 129);
    EXPECT_TRUE(boot.inFile);
    EXPECT_EQ(boot.bar, ProgressBar::BootCode);
    EXPECT_STREQ(boot.percent.c_str(), "100%");
    EXPECT_STREQ(boot.sendingLine.c_str(), "Sending Block 0x003f of 0x0080");

    const BlockProgress main = ProgressOfBlock(Section::MainCode, 64, 129);
    EXPECT_EQ(main.bar, ProgressBar::MainCode);
    EXPECT_STREQ(main.percent.c_str(), "  0%");

    const BlockProgress pack = ProgressOfBlock(Section::LanguagePack, 3, 4);
    EXPECT_EQ(pack.bar, ProgressBar::LanguagePack);
    EXPECT_STREQ(pack.percent.c_str(), "100%");

    EXPECT_FALSE(ProgressOfBlock(Section::MainCode, 129, 129).inFile);
    const BlockProgress outside = ProgressOfBlock(Section::LanguagePack, 4, 4);
    EXPECT_FALSE(outside.inFile);
    EXPECT_STREQ(outside.sendingLine.c_str(), "Sending Block 0x0004 of 0x0003");
}

TEST(ElapsedTimeTest, SplitsWholeSecondsIntoMinutesAndSeconds)
{
    EXPECT_EQ(Text(ElapsedTimeText(0.0)), "00m00s");
    EXPECT_EQ(Text(ElapsedTimeText(75.0)), "01m15s");
    EXPECT_EQ(Text(ElapsedTimeText(3600.0)), "60m00s");
    EXPECT_EQ(Text(ElapsedTimeText(6000.0)), "100m00s");
}

TEST(ElapsedTimeTest, DropsTheFraction)
{
    EXPECT_EQ(Text(ElapsedTimeText(59.999)), "00m59s");
    EXPECT_EQ(Text(ElapsedTimeText(0.5)), "00m00s");
}

TEST(ElapsedTimeTest, ClockBelowZeroReadsZero)
{
    EXPECT_EQ(Text(ElapsedTimeText(-3.0)), "00m00s");
}
} // namespace
