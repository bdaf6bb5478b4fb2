#include "files/file_class.h"

#include <gtest/gtest.h>

namespace
{
TEST(FileClassTest, LastThreeCharactersDecideInEitherCase)
{
    EXPECT_EQ(TreatmentOf("D:\\rel\\main.rel"), FileTreatment::Send);
    EXPECT_EQ(TreatmentOf("main.Rel"), FileTreatment::Send);
    EXPECT_EQ(TreatmentOf("D:\\FIRMWARE.ABS"), FileTreatment::Convert);
    EXPECT_EQ(TreatmentOf("a.mot"), FileTreatment::Convert);
    EXPECT_EQ(TreatmentOf("a.LZH"), FileTreatment::Convert);
    EXPECT_EQ(TreatmentOf("fileabs"), FileTreatment::Convert); // no dot is asked for
    for (const char* refused : {"a.sre", "a.bin", "main.rel ", "el", "", "a.abs.txt"})
    {
        EXPECT_EQ(TreatmentOf(refused), FileTreatment::Refuse) << refused;
    }
    EXPECT_TRUE(HasReleaseExtension("MAIN.REL"));
    EXPECT_FALSE(HasReleaseExtension("main.mot"));
}

TEST(FileClassTest, LanguagePackMarkersInTheirOrderAnywhereInThePath)
{
    EXPECT_EQ(FindLanguagePackType("D:\\lp\\LPT47X_v1.rel"), LanguagePackRt47X);
    EXPECT_EQ(FindLanguagePackType("d:\\lp\\lpt47x.mot"), LanguagePackRt47X);
    EXPECT_EQ(FindLanguagePackType("D:\\lp\\LPT47_v2.abs"), LanguagePackRt47);
    EXPECT_EQ(FindLanguagePackType("D:\\lp\\LPT37X.rel"), LanguagePackRt37);
    EXPECT_EQ(FindLanguagePackType("D:\\LPT37 packs\\french.rel"), LanguagePackRt37);
    // A pack naming two markers takes the first of the table.
    EXPECT_EQ(FindLanguagePackType("D:\\LPT47\\LPT37.rel"), LanguagePackRt37);
    EXPECT_EQ(FindLanguagePackType("D:\\lp\\french.rel"), LanguagePackNone);
    EXPECT_EQ(FindLanguagePackType("D:\\lp\\LPT4.rel"), LanguagePackNone);
}
} // namespace
