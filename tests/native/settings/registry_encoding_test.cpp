// The texts the settings are stored as, and reading them back.
#include "settings/preset_names.h"
#include "settings/registry_encoding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
TEST(RegistryEncoding, FlagsAreOneOrZeroAndOnlyALeadingOneReadsAsOn)
{
    EXPECT_STREQ(FlagText(true), "1");
    EXPECT_STREQ(FlagText(false), "0");
    EXPECT_TRUE(FlagFromText("1"));
    EXPECT_TRUE(FlagFromText("10"));
    EXPECT_FALSE(FlagFromText("0"));
    EXPECT_FALSE(FlagFromText(""));
    EXPECT_FALSE(FlagFromText("y"));
}

TEST(RegistryEncoding, IndexesRoundTripAndNoSelectionSelectsNothing)
{
    EXPECT_EQ(IndexText(0), "0");
    EXPECT_EQ(IndexText(7), "7");
    EXPECT_EQ(IndexText(-1), "-1");
    EXPECT_EQ(IndexFromText("3"), 3);
    EXPECT_EQ(IndexFromText("-1"), -3); // the character "-" minus "0"
    EXPECT_EQ(SelectableIndex(IndexFromText("-1"), 8), -1);
    EXPECT_EQ(SelectableIndex(7, 8), 7);
    EXPECT_EQ(SelectableIndex(9, 4), -1);
}

TEST(RegistryEncoding, LengthsHaveAtLeastFourDigitsAndReadBack)
{
    EXPECT_EQ(LengthText(23), "0023");
    EXPECT_EQ(LengthText(0), "0000");
    EXPECT_EQ(LengthText(499), "0499");
    std::size_t length = 99;
    ASSERT_TRUE(LengthFromText("0012", length));
    EXPECT_EQ(length, 12u);
    EXPECT_FALSE(LengthFromText("", length));
    EXPECT_FALSE(LengthFromText("x12", length));
    // A length beyond every buffer stays a bounded number.
    ASSERT_TRUE(LengthFromText("99999999999999999999", length));
    EXPECT_LT(length, 10 * kRegistryTextSize);
    EXPECT_EQ(LengthValueName("ImageAbsBrowseDirectory"), "ImageAbsBrowseDirectoryLength");
}

TEST(RegistryEncoding, TextLongerThanItsBufferIsCutAndTerminated)
{
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_FALSE(CopyCut(buffer, 6, "RT47XYZ", 8));
    EXPECT_STREQ(buffer, "RT47X");
    EXPECT_EQ(buffer[6], '#'); // nothing written past the room given
    // A stored text without its terminating zero is still a text.
    EXPECT_TRUE(CopyCut(buffer, 6, "RT47", 4));
    EXPECT_STREQ(buffer, "RT47");
    EXPECT_TRUE(CopyCut(buffer, 6, "RT50\0junk", 9));
    EXPECT_STREQ(buffer, "RT50");
    // A folder of 12 characters is read with 13 bytes; a stored length past the buffer is capped.
    EXPECT_EQ(TextReadSize(12, kRegistryTextSize), 13u);
    EXPECT_EQ(TextReadSize(9999, kRegistryTextSize), kRegistryTextSize);
}

TEST(PresetNames, NamesTheRegistryCannotHoldAreRefused)
{
    EXPECT_EQ(PresetNameProblem("Line 3", 6), nullptr);
    EXPECT_NE(PresetNameProblem("Line\\3", 6), nullptr);
    const std::string longest(kMaxKeyNameLength, 'a');
    EXPECT_EQ(PresetNameProblem(longest.c_str(), longest.size()), nullptr);
    EXPECT_NE(PresetNameProblem(longest.c_str(), longest.size() + 1), nullptr);
    EXPECT_NE(PresetNameProblem("a", 600), nullptr); // the length typed, not what fits
    EXPECT_TRUE(IsReservedPreset("Development"));
    EXPECT_FALSE(IsReservedPreset("development"));
}
} // namespace
