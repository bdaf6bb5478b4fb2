// The command line of tervolo-sim.
#pragma once

#include "sim/simulator.h"

#include <string>
#include <vector>

namespace sim
{

constexpr int kExitBadOption = 2;
constexpr int kMaxComNumber = 255;

struct CliOptions
{
    SimConfig config;
    std::string winePrefix; // empty: leave Wine alone
    int comNumber = 0;
    bool help = false;
    bool version = false;
};

extern const char kUsageText[];
// "tervolo-sim <version>", the build's one version setting, for --version.
extern const char kVersionText[];

// Fills `options` from the arguments after the program name; false with `error` on a bad
// option. With a Wine prefix and no --link the link is DIR/tervolo-ports/com<N>.
bool ParseCommandLine(const std::vector<std::string>& args, CliOptions& options,
                      std::string& error);

} // namespace sim
