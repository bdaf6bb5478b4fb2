// A station's job from a stored preset: read as the main window reads it (defaults for what the
// preset lacks, the baud list's order, only the sections it sends), and refused with a message
// for what a station cannot run; and the order ports are offered in.
#include "station/port_order.h"
#include "station/preset_job.h"

#include <gtest/gtest.h>

#include <map>

namespace
{
using Values = std::map<std::string, std::string>;

PresetLookup LookupOf(const Values& values)
{
    // The file names are asked for as texts with their length, the rest as plain values.
    return [values](const char* name, bool withLength) -> std::optional<std::string>
    {
        const bool fileName = std::string(name).find("Filename") != std::string::npos;
        EXPECT_EQ(fileName, withLength) << name;
        const auto found = values.find(name);
        return found == values.end() ? std::nullopt : std::optional<std::string>(found->second);
    };
}

const Values kLine = {{"MainCodeDownload", "1"},          {"LanguagePackDownload", "1"},
                      {"MobileModel", "RT47X"},           {"BaudRate", "2"},
                      {"ImageFilename", "C:\\fw\\a.rel"}, {"LPFilename", "C:\\fw\\lp.rel"}};

TEST(PresetJob, TakesWhatTheMainWindowWouldLoadOnTheGivenPorts)
{
    JobFile job;
    std::string error;
    ASSERT_TRUE(JobFromPreset("Line 1", LookupOf(kLine), {"COM3", "COM23"}, job, error)) << error;
    JobFile expected;
    expected.model = "RT47X";
    expected.baudRate = 38400;
    expected.mainCode = expected.languagePack = true;
    expected.imagePath = "C:\\fw\\a.rel";
    expected.lpPath = "C:\\fw\\lp.rel";
    expected.ports = {"COM3", "COM23"};
    expected.station = true;
    EXPECT_EQ(expected, job) << JobText(job);

    // A rate of no list position ("-1" reads as none) and a missing one take the first, 115200;
    // a section switched off leaves its file behind.
    for (const char* baud : {"-1", "9", ""})
    {
        Values values = kLine;
        values["LanguagePackDownload"] = "0";
        values["BaudRate"] = baud;
        if (*baud == '\0')
        {
            values.erase("BaudRate");
        }
        ASSERT_TRUE(JobFromPreset("Line 1", LookupOf(values), {"COM1"}, job, error)) << error;
        EXPECT_EQ(115200u, job.baudRate) << baud;
        EXPECT_FALSE(job.languagePack);
        EXPECT_EQ("", job.lpPath);
    }
}

TEST(PresetJob, WhatAStationCannotRunIsRefusedWithItsReason)
{
    struct Case
    {
        const char* drop; // a value the preset lacks
        const char* set;  // and one it has other
        const char* text;
        std::size_t ports;
        const char* error;
    };
    for (const Case& c : {
             Case{"MainCodeDownload", "", "", 1, "Preset \"Line 1\" is not stored."},
             Case{"", "", "", 0, "Preset \"Line 1\": a station runs on one to eight ports."},
             Case{"", "", "", 9, "Preset \"Line 1\": a station runs on one to eight ports."},
             Case{"MobileModel", "", "", 1, "Preset \"Line 1\" has no model."},
             Case{"ImageFilename", "", "", 1,
                  "Preset \"Line 1\" sends the main code but names no image file."},
             Case{"", "LPFilename", "", 1,
                  "Preset \"Line 1\" sends the language pack but names no language-pack file."},
         })
    {
        Values values = kLine;
        values.erase(c.drop);
        if (*c.set != '\0')
        {
            values[c.set] = c.text;
        }
        JobFile job;
        std::string error;
        EXPECT_FALSE(JobFromPreset("Line 1", LookupOf(values),
                                   std::vector<std::string>(c.ports, "COM1"), job, error));
        EXPECT_EQ(c.error, error);
    }
}

TEST(PresetJob, TheCommandLineNamesThePresetAfterSlashPAndThenItsPorts)
{
    std::string preset;
    std::vector<std::string> ports;
    ASSERT_TRUE(ParsePresetArguments({"/PLine 1", "COM3", "COM23"}, preset, ports));
    EXPECT_EQ("Line 1", preset);
    EXPECT_EQ((std::vector<std::string>{"COM3", "COM23"}), ports);
    for (const std::vector<std::string>& other :
         {std::vector<std::string>{}, {"/P"}, {"C:\\jobs\\line3.json"}})
    {
        EXPECT_FALSE(ParsePresetArguments(other, preset, ports));
    }
}
} // namespace

namespace
{
TEST(PortOrder, NumbersSortAsNumbersAndEachPortComesOnce)
{
    std::vector<std::string> ports = {"COM23", "COM3",         "com3", "COM10",
                                      "COM1",  "/dev/ttyUSB1", "COM2"};
    SortPortNames(ports);
    EXPECT_EQ((std::vector<std::string>{"/dev/ttyUSB1", "COM1", "COM2", "COM3", "COM10", "COM23"}),
              ports);
}
} // namespace
