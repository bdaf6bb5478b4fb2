#include "files/conversion_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace
{
std::string WithoutDotMot(const std::string& path)
{
    const std::string name = FileNameOf(path);
    return name.substr(0, name.size() - 4);
}

SourceNames MainCodeNames()
{
    SourceNames names;
    EXPECT_TRUE(DeriveSourceNames("D:\\Builds\\main code.abs", "D:\\BUILDS\\MAINCO~1.ABS", names));
    return names;
}

TEST(ConversionNamesTest, SourceAndChosenNames)
{
    const SourceNames names = MainCodeNames();
    EXPECT_EQ(names.shortBase, "MAINCO~1");
    EXPECT_EQ(names.extension, ".abs");
    EXPECT_EQ(names.longBase, "main code");
    EXPECT_EQ(FolderOf("D:\\Builds\\main code.abs"), "D:\\Builds\\");
    EXPECT_EQ(FileNameOf("D:\\Builds\\main code.abs"), "main code.abs");

    EXPECT_EQ(ChosenBaseName("E:\\out\\out.bin"), "out");
    EXPECT_EQ(ChosenBaseName("E:\\out\\main code.rel"), "main code");
    EXPECT_EQ(ChosenBaseName("E:\\out\\v1.2\\release"),
              "release"); // a dot in a folder is no extension
    EXPECT_EQ(ChosenBaseName("E:\\out\\my.image.rel"), "my.image");

    SourceNames none;
    EXPECT_FALSE(DeriveSourceNames("D:\\.abs", "D:\\.ABS", none)); // nothing before the extension
    EXPECT_FALSE(DeriveSourceNames("D:\\abs", "D:\\ABS", none));
}

// The short-name question answered with the long path, as on volumes without 8.3 names.
TEST(ConversionNamesTest, UnsafeOrEmptyShortNamesGetAGeneratedBaseAndOnlyTheFolderOrExtensionRefuse)
{
    const std::string temp = "C:\\WINDOWS\\Temp\\";
    SourceNames names;
    ASSERT_EQ(PlanSourceNames("D:\\Builds\\main code.abs", "D:\\BUILDS\\MAINCO~1.ABS", temp, names),
              ConversionNameFault::None);
    EXPECT_EQ(names.shortBase, "MAINCO~1"); // a real short name is kept

    const std::string generated = GeneratedBaseName("D:\\Builds\\main code.mot");
    EXPECT_EQ(generated.size(), 8u);
    EXPECT_TRUE(std::all_of(generated.begin(), generated.end(),
                            [](unsigned char c) { return std::isalnum(c) != 0; }));
    EXPECT_EQ(GeneratedBaseName("d:\\builds\\MAIN CODE.MOT"), generated);
    EXPECT_NE(GeneratedBaseName("D:\\Builds\\main code2.mot"), generated);
    for (const char* path :
         {"D:\\Builds\\main code.mot", "D:\\a&calc.mot", "D:\\50%.mot", "D:\\(1).mot", "D:\\.mot"})
    {
        ASSERT_EQ(PlanSourceNames(path, path, temp, names), ConversionNameFault::None) << path;
        EXPECT_EQ(names.shortBase, GeneratedBaseName(path)) << path;
        EXPECT_EQ(names.extension, ".mot") << path;
        EXPECT_EQ(names.longBase, WithoutDotMot(path)) << path;
        // The generated name keeps the longest temporary folder that fitted before.
        EXPECT_EQ(
            ConversionCommandLine(temp, names, true, LanguagePackNone).size(),
            ConversionCommandLine(temp, {"MAINCO~1", ".mot", ""}, true, LanguagePackNone).size());
    }

    EXPECT_EQ(PlanSourceNames("D:\\a.mot", "D:\\A.MOT", "C:\\My Temp\\", names),
              ConversionNameFault::TempFolder);
    EXPECT_EQ(PlanSourceNames("D:\\a&mot", "D:\\a&mot", temp, names),
              ConversionNameFault::FileName);
    EXPECT_EQ(PlanSourceNames("D:\\mot", "D:\\mot", temp, names), ConversionNameFault::FileName);
}

TEST(ConversionCommandTest, SevenArgumentsForAnImageEightForALanguagePack)
{
    const SourceNames names = MainCodeNames();
    EXPECT_EQ(ConversionCommandLine("C:\\WINDOWS\\Temp\\", names, true, LanguagePackNone),
              "tervolo.bat C:\\WINDOWS\\Temp\\ MAINCO~1 .abs C:\\WINDOWS\\Temp\\ MAINCO~1 RT50 "
              "IMAGE.CMD");
    const std::string lead = "tervolo.bat T\\ MAINCO~1 .abs T\\ MAINCO~1 RT50 ";
    EXPECT_EQ(ConversionCommandLine("T\\", names, false, LanguagePackRt47X),
              lead + "RT47X_LP.CMD 2048");
    EXPECT_EQ(ConversionCommandLine("T\\", names, false, LanguagePackRt37),
              lead + "RT37_LP.CMD 576");
    EXPECT_EQ(ConversionCommandLine("T\\", names, false, LanguagePackRt47),
              lead + "RT47_LP.CMD 448");
    // The language-pack type means nothing for an image.
    EXPECT_EQ(ConversionCommandLine("T\\", names, true, LanguagePackRt47), lead + "IMAGE.CMD");
}

TEST(ConversionCommandTest, LimitIs126Characters)
{
    EXPECT_TRUE(CommandLineFits(std::string(126, 'x')));
    EXPECT_FALSE(CommandLineFits(std::string(127, 'x')));
}

TEST(ConversionCommandTest, OnlyCharactersTheInterpreterPassesOnAreInert)
{
    EXPECT_TRUE(IsInertForInterpreter("C:\\WINDOWS\\Temp\\"));
    EXPECT_TRUE(IsInertForInterpreter("MAINCO~1"));
    EXPECT_TRUE(IsInertForInterpreter("A_B-C$D#E@F'G{H}I`J"));
    EXPECT_TRUE(IsInertForInterpreter("\xC4\xD6")); // letters of the ANSI code page
    for (const char* acted : {"A&CALC", "A^B", "A%PATH%", "A(B", "A)B", "A!B", "A B", "A|B", "A<B",
                              "A>B", "A\"B", "A,B", "A;B", "A=B", "A\tB", "A\nB"})
    {
        EXPECT_FALSE(IsInertForInterpreter(acted)) << acted;
    }
}
} // namespace
