// tervolo-sim: a handset for TervoloPLUS on a pseudo-terminal.
#include "sim/sim_options.h"
#include "sim/simulator.h"
#include "sim/wine_ports.h"

#include <csignal>
#include <iostream>

namespace
{

constexpr int kExitFailure = 1;

sim::Simulator* g_simulator = nullptr;
volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void OnStopSignal(int)
{
    g_stopRequested = 1;
    if (g_simulator != nullptr)
    {
        g_simulator->RequestStop();
    }
}

void InstallSignalHandlers()
{
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN); // a vanished client shows as an error on its socket
}

} // namespace

int main(int argc, char** argv)
{
    sim::CliOptions options;
    std::string error;
    if (!sim::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), options, error))
    {
        std::cerr << "tervolo-sim: " << error << "\nTry 'tervolo-sim --help'.\n";
        return sim::kExitBadOption;
    }
    if (options.help)
    {
        std::cout << sim::kUsageText;
        return 0;
    }
    if (options.version)
    {
        std::cout << sim::kVersionText;
        return 0;
    }

    // The Wine mapping comes first: the control port accepting connections tells scripts
    // that everything is in place, and a wineserver -k after that would hit their programs.
    if (!options.winePrefix.empty())
    {
        const sim::WinePortOutcome outcome =
            sim::EnsureWinePort(options.winePrefix, options.comNumber, options.config.linkPath,
                                sim::WineTools(), error);
        const std::string port = "COM" + std::to_string(options.comNumber);
        if (outcome == sim::WinePortOutcome::Failed)
        {
            std::cerr << "tervolo-sim: cannot map " << port << " in " << options.winePrefix << ": "
                      << error << '\n';
            return kExitFailure;
        }
        std::cout << "tervolo-sim: " << port << " of " << options.winePrefix
                  << (outcome == sim::WinePortOutcome::Added ? " now maps to "
                                                             : " already maps to ")
                  << options.config.linkPath << std::endl;
    }

    sim::Simulator simulator(options.config, std::cout);
    InstallSignalHandlers();
    if (!simulator.Start(error))
    {
        std::cerr << "tervolo-sim: " << error << '\n';
        return kExitFailure;
    }
    g_simulator = &simulator;
    if (g_stopRequested)
    {
        simulator.RequestStop();
    }

    std::cout << "tervolo-sim: ready pts=" << simulator.SlavePath()
              << " link=" << (options.config.linkPath.empty() ? "-" : options.config.linkPath)
              << " control=127.0.0.1:" << simulator.ControlPort() << std::endl;
    const int code = simulator.Run();
    g_simulator = nullptr;
    return code;
}
