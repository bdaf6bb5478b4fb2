#include "protocol/model_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{

std::vector<std::string> Lines(const ReportLines& lines)
{
    return std::vector<std::string>(lines.text, lines.text + lines.count);
}

ParameterRecord RecordWithProduct(const char* productId)
{
    ParameterRecord record{};
    std::memcpy(record.product_id, productId, std::strlen(productId));
    return record;
}

TEST(ModelFamily, OnlyTheThreeLegacyModelsAreNotExtended)
{
    for (const char* legacy : {"RT50", "RT80", "RT30"})
    {
        EXPECT_FALSE(IsExtendedModel(legacy)) << legacy;
    }
    for (const char* extended : {"RT37", "RT37X", "RT47", "RT47X"})
    {
        EXPECT_TRUE(IsExtendedModel(extended)) << extended;
    }
}

TEST(ModelFamily, CompatibilityByMobileId)
{
    struct Row
    {
        const char* model;
        const char* mobileId;
        bool compatible;
    };
    const Row rows[] = {
        {"RT47X", "RT47X", true},  {"RT47", "RT47 ", true},  {"RT37", "RT37 ", true},
        {"RT37X", "RT47 ", true}, // any extended model takes any extended handset
        {"RT47", "RT37X", false}, // "RT37X" is not in the extended family
        {"RT37X", "RT37X", false}, {"RT47", "RT50 ", false}, {"RT50", "RT47 ", false},
        {"RT80", "RT47X", false},  {"RT30", "RT37 ", false}, {"RT50", "RT50 ", true},
        {"RT80", "RT37X", true}, // outside the family, so it fits a legacy model
        {"RT47", "RT47", false}, // mobile ids are five characters; "RT47\0" is none of them
    };
    for (const Row& row : rows)
    {
        EXPECT_EQ(IsCompatibleHandset(row.model, row.mobileId), row.compatible)
            << row.model << " / '" << row.mobileId << "'";
    }
}

TEST(ImageModel, SecondCharacterNeverMatters)
{
    EXPECT_TRUE(CheckImageModel(RecordWithProduct("RT47-1234"), "R 47").match);
    EXPECT_TRUE(CheckImageModel(RecordWithProduct("RX47-1234"), "R 47").match);
    EXPECT_TRUE(CheckImageModel(RecordWithProduct("RT47"), "RQ47").match);
    EXPECT_TRUE(CheckImageModel(RecordWithProduct("RT47"), "R 47").lines.count == 0);
}

TEST(ImageModel, MismatchReportShowsBothCodesBlanked)
{
    const ImageModelCheck check = CheckImageModel(RecordWithProduct("RT50-77"), "R 47");
    EXPECT_FALSE(check.match);
    EXPECT_EQ(Lines(check.lines), (std::vector<std::string>{
                                      "Image File Model Number Mismatch...",
                                      "PC: R 47",
                                      "MS: R 50",
                                  }));
}

TEST(LanguagePackModel, FirstFiveCharactersAgainstMobileId)
{
    EXPECT_EQ(CheckLanguagePackModel("RT47X..?", "RT47X").verdict, LpModelVerdict::Match);
    EXPECT_EQ(CheckLanguagePackModel("RT37 abc", "RT37 ").verdict, LpModelVerdict::Match);
}

TEST(LanguagePackModel, Rt47PackIntoRt47XAsksForConfirmation)
{
    const LpModelCheck check = CheckLanguagePackModel("RT47 xyz", "RT47X");
    EXPECT_EQ(check.verdict, LpModelVerdict::ConfirmRt47IntoRt47X);
    EXPECT_EQ(check.lines.count, 0u);
}

TEST(LanguagePackModel, Rt47XPackIntoRt47IsAPlainMismatch)
{
    const LpModelCheck check = CheckLanguagePackModel("RT47X   ", "RT47 ");
    EXPECT_EQ(check.verdict, LpModelVerdict::Refused);
    EXPECT_EQ(Lines(check.lines), (std::vector<std::string>{
                                      "Language Pack File Model Number Mismatch...",
                                      "PC: RT47X",
                                      "MS: RT47 ",
                                  }));
}

TEST(LanguagePackModel, OtherMismatchesAreRefused)
{
    EXPECT_EQ(CheckLanguagePackModel("RT37 ...", "RT47X").verdict, LpModelVerdict::Refused);
    EXPECT_EQ(CheckLanguagePackModel("RT47 ...", "RT37 ").verdict, LpModelVerdict::Refused);
}

TEST(ChecksumLines, ExtendedModelShowsBothFiguresInRequestLayout)
{
    const std::uint8_t answer[6] = {'>', 'c', 0x12, 0x34, 0xAB, 0xCD};
    const ReportLines lines = ChecksumLines(0x1234, 0xABCD, answer, true, true, true);
    EXPECT_EQ(Lines(lines), (std::vector<std::string>{
                                "PC CRC Checksum: 0xabcd1234",
                                "MS CRC Checksum: 0xabcd1234",
                                "Code CRC Checksum: 0x1234",
                                "Lang. Pack CRC Checksum: 0xabcd",
                            }));
}

TEST(ChecksumLines, LegacyModelMainOnly)
{
    const std::uint8_t answer[6] = {'>', 'C', 0x0F, 0xF0, 0x55, 0x66}; // last two not its figures
    const ReportLines lines = ChecksumLines(0x0FF1, 0, answer, false, true, false);
    EXPECT_EQ(Lines(lines), (std::vector<std::string>{
                                "PC CRC Checksum: 0x00000ff1",
                                "MS CRC Checksum: 0x00000ff0",
                                "Code CRC Checksum: 0x0ff1",
                            }));
}

TEST(ParameterDump, EveryFieldOnItsLine)
{
    ParameterRecord record{};
    std::memcpy(record.commandEcho, ">p", 2);
    std::memcpy(record.product_id, "RT47-ABCDEFGHIJK", 16); // all 16 used: no NUL of its own
    std::memcpy(record.dwnld_id, "DL", 2);
    record.block_size = 1024;
    record.flash_id = 0x00C2AB12;
    record.window_size = 1;
    record.encode = 0x0A;
    record.flash_numb = 2;
    record.spare_1 = 0xFF;
    record.flash_2_id = 0xDEADBEEF;
    std::memcpy(record.mobile_id, "RT47X", 5);
    std::memcpy(record.spare, "spare-bytes", 11);

    EXPECT_EQ(Lines(ParameterDumpLines(record)), (std::vector<std::string>{
                                                     "### Parameter Exchange Debug Info",
                                                     "Command RX:  >p",
                                                     "product_id[16]: RT47-ABCDEFGHIJK",
                                                     "dwnld_id[16]: DL",
                                                     "block_size: 1024",
                                                     "flash_id: 0x00c2ab12",
                                                     "window_size: 1",
                                                     "encode: 0x0a",
                                                     "flash_numb: 0x02",
                                                     "spare_1: 0xff",
                                                     "flash_2_id: 0xdeadbeef",
                                                     "mobile_id[5]: RT47X",
                                                     "spare[11]: spare-bytes",
                                                     "############################",
                                                 }));
}

} // namespace
