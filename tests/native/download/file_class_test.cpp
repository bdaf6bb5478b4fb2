#include "files/file_class.h"

#include <gtest/gtest.h>

namespace
{
TEST(ReleaseExtensionTest, LastThreeCharactersDecideInEitherCase)
{
    EXPECT_TRUE(HasReleaseExtension("D:\\rel\\main.rel"));
    EXPECT_TRUE(HasReleaseExtension("D:\\rel\\MAIN.REL"));
    EXPECT_TRUE(HasReleaseExtension("main.Rel"));
    EXPECT_TRUE(HasReleaseExtension("rel"));
}

TEST(ReleaseExtensionTest, OtherEndingsAreNotReleaseFiles)
{
    EXPECT_FALSE(HasReleaseExtension("D:\\rel\\main.abs"));
    EXPECT_FALSE(HasReleaseExtension("D:\\images\\main.mot"));
    EXPECT_FALSE(HasReleaseExtension("main.rel "));
    EXPECT_FALSE(HasReleaseExtension("el"));
    EXPECT_FALSE(HasReleaseExtension(""));
}
} // namespace
