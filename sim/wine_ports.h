// Makes a Wine prefix map a COM port onto the simulator's link. Wine's mount manager reads
// HKLM\Software\Wine\Ports only when the wine server starts, so a new value needs the server
// of the prefix stopped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim
{

struct WineTools
{
    std::string wine = "wine";
    std::string wineserver = "wineserver";
};

// True if the text of a prefix's system.reg maps COM<com> to `target`.
bool SystemRegMapsPort(std::string_view systemReg, int com, const std::string& target);

// Runs a program (looked up in PATH) with extra environment variables, its standard output
// sent to our standard error, and waits for it. Returns its exit code, or -1 with `error`.
int RunProgram(const std::vector<std::string>& argv,
               const std::vector<std::string>& extraEnvironment, std::string& error);

enum class WinePortOutcome
{
    AlreadyMapped,
    Added,
    Failed,
};

// Checks DIR/system.reg first; otherwise adds the value with `wine reg add` and stops the
// prefix's wine server with `wineserver -k`.
WinePortOutcome EnsureWinePort(const std::string& prefix, int com, const std::string& target,
                               const WineTools& tools, std::string& error);

} // namespace sim
