// The production line's locked preset mode: the program started with /P runs a stored preset
// without any choice by the operator, and refuses a preset that is not stored.
#include "tests/e2e/e2e_support.h"

#include "preset_store.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace e2e;

namespace
{
const char kRt47[4] = {'R', 'T', '4', '7'};

// A stored text's length value: four digits.
std::string LengthOf(const std::string& text)
{
    char digits[8] = {};
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(text.size()));
    return digits;
}

class PresetMode : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Connect()) << "no simulator on the control port";
        sim.Do("RESET");
    }

    Simulator sim;
    Operator op;
};

TEST_F(PresetMode, StoredPresetDownloadsWithOnePressAndIsNotWritten)
{
    const ReleaseFile image = MakeImage("preset_mode.rel", 70, kRt47);
    preset_store::Values line = preset_store::IdleDevelopment();
    for (auto& [name, text] : line)
    {
        if (name == "MainCodeDownload")
            text = "1";
        if (name == "MobileModel")
            text = "RT47";
        if (name == "ImageFilenameLength")
            text = LengthOf(image.path);
        if (name == "ImageFilename")
            text = image.path;
    }
    preset_store::SeedIdleDevelopment();
    preset_store::Write("Line7", line);

    ASSERT_TRUE(op.Launch(ProgramPath(), "/PLine7"));
    EXPECT_TRUE(op.NoMessageBoxWithin(500));
    EXPECT_FALSE(op.IsEnabled(kImageFileBox));
    EXPECT_EQ(op.ChosenText(kModelList), "RT47");
    op.Click(kStartButton);
    EXPECT_TRUE(op.WaitForLine(kReportList, "Download completed successfully...", kDownloadMs))
        << Join(op.Lines(kReportList));
    EXPECT_TRUE(op.Close());
    EXPECT_EQ(preset_store::Read("Line7", "ImageNoOfRecentFiles").value_or(""), "0000");
    EXPECT_EQ(preset_store::ValueNames("Line7").size(), line.size());

    std::vector<std::uint8_t> flash = sim.Flash("main");
    flash.resize(image.blocks.size(), 0xFF);
    EXPECT_EQ(flash, image.blocks);
}

TEST_F(PresetMode, UnknownPresetEndsTheProgramWithExitCodeOne)
{
    preset_store::SeedIdleDevelopment();
    // The message comes before the window is shown: do not wait for the window.
    op.Launch(ProgramPath(), "/PNoSuchLine", 1);
    FoundMessageBox box;
    ASSERT_TRUE(op.WaitForMessageBox(box, kStepMs));
    EXPECT_EQ(box.text, "Preset not found. Check the registry !!!");
    EXPECT_EQ(box.caption, "TervoloPLUS");
    op.Answer(box, IDOK);
    DWORD exitCode = 0;
    ASSERT_TRUE(op.WaitForExit(exitCode, kStepMs));
    EXPECT_EQ(exitCode, 1u);
    EXPECT_FALSE(preset_store::Exists("NoSuchLine"));
}

TEST_F(PresetMode, SecondPresetOptionEndsTheProgramWithExitCodeOne)
{
    preset_store::SeedIdleDevelopment();
    op.Launch(ProgramPath(), "/PLine7 /PLine8", 1);
    FoundMessageBox box;
    ASSERT_TRUE(op.WaitForMessageBox(box, kStepMs));
    EXPECT_EQ(box.text, "Invalid arguments!");
    op.Answer(box, IDOK);
    DWORD exitCode = 0;
    ASSERT_TRUE(op.WaitForExit(exitCode, kStepMs));
    EXPECT_EQ(exitCode, 1u);
}
} // namespace
