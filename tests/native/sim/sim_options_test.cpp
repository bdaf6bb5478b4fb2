#include "scratch_folder.h"
#include "sim/sim_options.h"
#include "sim/wine_ports.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace sim
{
namespace
{

TEST(CommandLine, AllOptions)
{
    CliOptions options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--link", "/tmp/x/com1", "--control=5000", "--mobile-id", "RT50",
                                  "--product-id", "RT50-ABC", "--pace", "--verbose", "--transcript",
                                  "/tmp/t.txt", "--adapter", "ftdi:2"},
                                 options, error))
        << error;
    EXPECT_EQ("/tmp/x/com1", options.config.linkPath);
    EXPECT_EQ(5000, options.config.controlPort);
    EXPECT_EQ("RT50 ", options.config.record.MobileId());
    EXPECT_EQ(std::string("RT50-ABC\0\0\0\0\0\0\0\0", 16),
              options.config.record.FieldText("product_id"));
    EXPECT_TRUE(options.config.pace);
    EXPECT_TRUE(options.config.verbose);
    EXPECT_EQ("/tmp/t.txt", options.config.transcriptPath);
    EXPECT_EQ(AdapterKind::Ftdi, options.config.adapter.kind);
    EXPECT_EQ(2u, options.config.adapter.latencyMs);
    EXPECT_FALSE(options.help);
}

TEST(CommandLine, Defaults)
{
    CliOptions options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({}, options, error));
    EXPECT_EQ(kDefaultControlPort, options.config.controlPort);
    EXPECT_EQ("RT47 ", options.config.record.MobileId());
    EXPECT_TRUE(options.config.linkPath.empty());
    EXPECT_FALSE(options.config.pace);
}

TEST(CommandLine, WinePrefixGivesTheDefaultLink)
{
    CliOptions options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--wine-prefix", "/p", "--com", "3"}, options, error));
    EXPECT_EQ("/p/tervolo-ports/com3", options.config.linkPath);
    EXPECT_EQ(3, options.comNumber);
}

TEST(CommandLine, BadOptionsAreRefusedWithAReason)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--link"},
        {"--control", "70000"},
        {"--control", "abc"},
        {"--com", "2"},
        {"--wine-prefix", "/p"},
        {"--wine-prefix", "/p", "--com", "0"},
        {"--mobile-id", "RT47XX"},
        {"--product-id", "12345678901234567"},
        {"--pace=yes"},
        {"--adapter", "ftdi:0"},
        {"--link="},
        {"positional"},
    };
    for (const std::vector<std::string>& args : bad)
    {
        CliOptions options;
        std::string error;
        EXPECT_FALSE(ParseCommandLine(args, options, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

constexpr char kSystemReg[] = "WINE REGISTRY Version 2\n"
                              "[Software\\\\Wine\\\\Drives] 1700000000\n"
                              "\"COM1\"=\"/elsewhere\"\n"
                              "\n"
                              "[Software\\\\Wine\\\\Ports] 1700000001\n"
                              "#time=1da2b3c4d5e6f70\n"
                              "\"com1\"=\"/prefix/tervolo-ports/com1\"\r\n"
                              "\"COM2\"=\"/dev/ttyS0\"\n"
                              "\n"
                              "[Software\\\\Wine\\\\Other] 1700000002\n"
                              "\"COM3\"=\"/prefix/tervolo-ports/com3\"\n";

TEST(SystemReg, FindsThePortInThePortsKeyOnly)
{
    EXPECT_TRUE(SystemRegMapsPort(kSystemReg, 1, "/prefix/tervolo-ports/com1"));
    EXPECT_FALSE(SystemRegMapsPort(kSystemReg, 1, "/elsewhere"));
    EXPECT_FALSE(SystemRegMapsPort(kSystemReg, 2, "/prefix/tervolo-ports/com2"));
    EXPECT_FALSE(SystemRegMapsPort(kSystemReg, 3, "/prefix/tervolo-ports/com3"));
    EXPECT_FALSE(SystemRegMapsPort("", 1, "/prefix/tervolo-ports/com1"));
}

// A scratch folder with stand-ins for wine and wineserver that write down how they ran.
class FakeWine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.empty());
        tools.wine = WriteScript("wine", 0);
        tools.wineserver = WriteScript("wineserver", 1);
    }

    std::string WriteScript(const std::string& name, int exitCode)
    {
        std::ostringstream script;
        script << "#!/bin/sh\n"
               << "{ printf '%s' \"" << name << " WINEPREFIX=$WINEPREFIX\"; "
               << "for a in \"$@\"; do printf ' [%s]' \"$a\"; done; echo; } >> " << folder
               << "/calls.txt\n"
               << "exit " << exitCode << "\n";
        const std::string path = scratch.Write(name, script.str());
        ::chmod(path.c_str(), 0755);
        return path;
    }

    std::string Calls() const { return ReadFile(scratch.File("calls.txt")); }

    ScratchFolder scratch{"sim-wine"};
    const std::string folder = scratch.Path();
    WineTools tools;
};

TEST_F(FakeWine, AddsTheValueAndStopsTheServer)
{
    std::string error;
    const std::string target = "/x/it's \"quoted\" $HOME; ls";
    EXPECT_EQ(WinePortOutcome::Added, EnsureWinePort(folder, 4, target, tools, error)) << error;
    EXPECT_EQ("wine WINEPREFIX=" + folder +
                  " [reg] [add] [HKLM\\Software\\Wine\\Ports] [/v] [COM4] [/t] [REG_SZ] [/d] [" +
                  target + "] [/f]\n" + "wineserver WINEPREFIX=" + folder + " [-k]\n",
              Calls());
}

TEST_F(FakeWine, NothingRunsWhenThePrefixAlreadyHasIt)
{
    scratch.Write("system.reg", kSystemReg);
    std::string error;
    EXPECT_EQ(WinePortOutcome::AlreadyMapped,
              EnsureWinePort(folder, 1, "/prefix/tervolo-ports/com1", tools, error));
    EXPECT_EQ("", Calls());
}

TEST_F(FakeWine, FailureOfRegAddIsReported)
{
    tools.wine = WriteScript("wine", 3);
    std::string error;
    EXPECT_EQ(WinePortOutcome::Failed, EnsureWinePort(folder, 1, "/t", tools, error));
    EXPECT_NE(std::string::npos, error.find('3'));
    EXPECT_EQ(std::string::npos, Calls().find("wineserver"));
}

TEST_F(FakeWine, MissingProgramIsReported)
{
    tools.wine = folder + "/no-such-wine";
    std::string error;
    EXPECT_EQ(WinePortOutcome::Failed, EnsureWinePort(folder, 1, "/t", tools, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace sim
