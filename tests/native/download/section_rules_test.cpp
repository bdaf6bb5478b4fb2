// What a click on a section's picture button does to the three sections.
#include "download/section_rules.h"
#include "protocol/model_check.h"

#include <gtest/gtest.h>

#include <ostream>

std::ostream& operator<<(std::ostream& out, const SectionFlags& f)
{
    return out << "boot " << f.bootCode << " main " << f.mainCode << " lp " << f.languagePack;
}

namespace
{

constexpr SectionFlags Flags(bool boot, bool main, bool languagePack)
{
    SectionFlags flags;
    flags.bootCode = boot;
    flags.mainCode = main;
    flags.languagePack = languagePack;
    return flags;
}

TEST(SectionRulesTest, BootCodeTurnsOnWithTheMainCodeAndOffAlone)
{
    EXPECT_EQ(AfterBootCodeClick(Flags(0, 0, 1)), Flags(1, 1, 1));
    EXPECT_EQ(AfterBootCodeClick(Flags(0, 1, 0)), Flags(1, 1, 0));
    EXPECT_EQ(AfterBootCodeClick(Flags(1, 1, 0)), Flags(0, 1, 0));
}

TEST(SectionRulesTest, MainCodeStaysWhileBootCodeIsOn)
{
    EXPECT_EQ(AfterMainCodeClick(Flags(1, 1, 0)), Flags(1, 1, 0));
    EXPECT_EQ(AfterMainCodeClick(Flags(0, 1, 1)), Flags(0, 0, 1));
    EXPECT_EQ(AfterMainCodeClick(Flags(0, 0, 0)), Flags(0, 1, 0));
}

TEST(SectionRulesTest, LanguagePackTurnsOnOnlyForAModelThatTakesOne)
{
    EXPECT_EQ(AfterLanguagePackClick(Flags(0, 1, 0), true), Flags(0, 1, 1));
    EXPECT_EQ(AfterLanguagePackClick(Flags(0, 1, 1), true), Flags(0, 1, 0));
    EXPECT_EQ(AfterLanguagePackClick(Flags(1, 1, 0), false), Flags(1, 1, 0));
    EXPECT_EQ(AfterLanguagePackClick(Flags(0, 0, 1), false), Flags(0, 0, 0));
    for (const char* legacy : {"RT50", "RT80", "RT30"})
    {
        EXPECT_FALSE(IsExtendedModel(legacy)) << legacy;
    }
    for (const char* extended : {"RT47", "RT37X"})
    {
        EXPECT_TRUE(IsExtendedModel(extended)) << extended;
    }
}

} // namespace
