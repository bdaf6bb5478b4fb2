#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
CommandLineChoices Parse(std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "D:\\Tools\\TervoloPLUS.exe");
    return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLineTest, NoArgumentsIsDevelopment)
{
    const CommandLineChoices c = Parse({});
    EXPECT_EQ(c.startMode, StartModeDevelopment);
    EXPECT_EQ(c.presetName, "Development");
    EXPECT_FALSE(c.diagnostics);
    EXPECT_FALSE(c.presetChosen);
    EXPECT_FALSE(c.invalid);
    EXPECT_FALSE(c.fileFromCommandLine);
}

TEST(CommandLineTest, DiagnosticsAloneIsDevelopmentInEitherCase)
{
    for (const char* option : {"/D", "/d"})
    {
        const CommandLineChoices c = Parse({option});
        EXPECT_TRUE(c.diagnostics) << option;
        EXPECT_EQ(c.startMode, StartModeDevelopment) << option;
    }
}

TEST(CommandLineTest, DiagnosticsWithAnIgnoredWordLeavesStartModeUnset)
{
    const CommandLineChoices c = Parse({"/D", "readme"});
    EXPECT_TRUE(c.diagnostics);
    EXPECT_EQ(c.startMode, StartModeUnset);
    EXPECT_EQ(c.presetName, "Development");
    EXPECT_TRUE(c.imagePath.empty());
}

TEST(CommandLineTest, PresetNameIsTheRestOfTheArgument)
{
    const CommandLineChoices c = Parse({"/PLine 3"});
    EXPECT_EQ(c.startMode, StartModePreset);
    EXPECT_TRUE(c.presetChosen);
    EXPECT_EQ(c.presetName, "Line 3");
    EXPECT_FALSE(c.invalid);

    EXPECT_EQ(Parse({"/pLine3"}).presetName, "Line3");
    EXPECT_EQ(Parse({"/P"}).presetName, "");
}

TEST(CommandLineTest, DiagnosticsMayComeBeforeOrAfterAPreset)
{
    for (const auto& arguments :
         {std::vector<const char*>{"/D", "/PLine3"}, std::vector<const char*>{"/PLine3", "/D"}})
    {
        const CommandLineChoices c = Parse(arguments);
        EXPECT_FALSE(c.invalid);
        EXPECT_TRUE(c.diagnostics);
        EXPECT_EQ(c.startMode, StartModePreset);
        EXPECT_EQ(c.presetName, "Line3");
    }
}

TEST(CommandLineTest, PresetMixedWithAFileOrASecondPresetIsInvalid)
{
    const CommandLineChoices presetThenFile = Parse({"/PLine3", "D:\\rel\\main.rel"});
    EXPECT_TRUE(presetThenFile.invalid);
    EXPECT_TRUE(presetThenFile.presetChosen); // the caption had already changed

    const CommandLineChoices fileThenPreset = Parse({"D:\\rel\\main.rel", "/PLine3"});
    EXPECT_TRUE(fileThenPreset.invalid);
    EXPECT_FALSE(fileThenPreset.presetChosen);

    const CommandLineChoices twoPresets = Parse({"/PA", "/PB"});
    EXPECT_TRUE(twoPresets.invalid);
    EXPECT_EQ(twoPresets.presetName, "A");
}

TEST(CommandLineTest, AnyWordAfterAPresetIsInvalidEvenWithoutPathCharacters)
{
    EXPECT_TRUE(Parse({"/PLine3", "readme"}).invalid);
}

TEST(CommandLineTest, ImageFileSelectsDevelopmentAndKeepsItsSpelling)
{
    const CommandLineChoices c = Parse({"D:\\Rel\\Main.rel"});
    EXPECT_EQ(c.startMode, StartModeDevelopment);
    EXPECT_TRUE(c.fileFromCommandLine);
    EXPECT_EQ(c.imagePath, "D:\\Rel\\Main.rel");
    EXPECT_TRUE(c.lpPath.empty());
    EXPECT_EQ(c.presetName, "Development");
}

TEST(CommandLineTest, LanguagePackIsKnownByItsMarkerInAnyCase)
{
    const CommandLineChoices c = Parse({"D:\\lp\\LPT47_v2.rel"});
    EXPECT_EQ(c.lpPath, "D:\\lp\\LPT47_v2.rel");
    EXPECT_TRUE(c.imagePath.empty());
    EXPECT_TRUE(c.fileFromCommandLine);

    EXPECT_TRUE(NamesLanguagePack("d:\\x\\lpt37.abs"));
    EXPECT_TRUE(NamesLanguagePack("D:\\LPT47X\\pack.rel"));
    EXPECT_FALSE(NamesLanguagePack("D:\\lp\\LPT50.rel"));
}

TEST(CommandLineTest, ImageAndLanguagePackTogetherLaterReplacesEarlier)
{
    const CommandLineChoices c =
        Parse({"a.rel", "D:\\lp\\lpt37_old.rel", "b.rel", "D:\\lp\\lpt37_new.rel"});
    EXPECT_EQ(c.imagePath, "b.rel");
    EXPECT_EQ(c.lpPath, "D:\\lp\\lpt37_new.rel");
}

TEST(CommandLineTest, ForwardSlashPathIsAnIgnoredOption)
{
    const CommandLineChoices c = Parse({"D:/rel/main.rel"});
    EXPECT_EQ(c.startMode, StartModeUnset);
    EXPECT_TRUE(c.imagePath.empty());
    EXPECT_FALSE(c.invalid);
}

TEST(CommandLineTest, WordWithoutBackslashOrFullStopIsIgnored)
{
    const CommandLineChoices c = Parse({"main"});
    EXPECT_EQ(c.startMode, StartModeUnset);
    EXPECT_FALSE(c.fileFromCommandLine);
}

TEST(CommandLineTest, ArgumentsAreCutTo499Characters)
{
    const std::string longPath = "D:\\" + std::string(600, 'a') + ".rel";
    const CommandLineChoices c = Parse({longPath.c_str()});
    EXPECT_EQ(c.imagePath, longPath.substr(0, 499));

    const std::string longPreset = "/P" + std::string(600, 'b');
    EXPECT_EQ(Parse({longPreset.c_str()}).presetName.size(), 497u);
}
} // namespace
