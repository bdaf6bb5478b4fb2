// Helpers of the console program's tests: release files, handsets (the simulator on its own
// thread, one per port) and the program run as a child process.
#pragma once

#include "../sim/sim_test_support.h"
#include "release_content.h"
#include "scratch_folder.h"

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cli::test
{

constexpr int kRunPatienceMs = 60000; // generous: a download here takes about two seconds

// Writes a release file and returns its blocks as the handset should end up holding them
// (the header dropped, whole blocks only). An image carries `model` in its product field.
std::vector<std::uint8_t> WriteImage(const std::string& path, std::uint32_t blocks,
                                     const std::string& model, unsigned seed);
std::vector<std::uint8_t> WriteLanguagePack(const std::string& path, std::uint32_t blocks,
                                            const std::string& model, unsigned seed);

// One simulated handset on its own pty, reached at `Port()`, controlled through `Control()`.
class Handset
{
public:
    Handset(const std::string& folder, const std::string& name);
    bool Ready() const { return m_simulator->Started() && m_connected; }
    const std::string& Port() const { return m_port; }
    sim::test::ControlClient& Control() { return m_control; }
    // The last line of the answer to a control command.
    std::string Ask(const std::string& command) { return m_control.Last(command); }
    // The section's flash ("main" or "lp") as the handset holds it.
    std::vector<std::uint8_t> Flash(const std::string& section);
    // A number out of STATS.
    long Stat(const std::string& key);

private:
    std::string m_folder;
    std::string m_port;
    std::unique_ptr<sim::test::RunningSimulator> m_simulator;
    sim::test::ControlClient m_control;
    bool m_connected = false;
};

// tervolo-cli run as a child, its standard output and error in files.
class CliRun
{
public:
    CliRun(const std::string& folder, std::vector<std::string> args);
    ~CliRun();
    // The exit status, or -1 when it did not end in time (it is then killed).
    int Wait(int timeoutMs = kRunPatienceMs);
    void Signal(int signal);
    std::string Out() const;
    std::string Err() const;

private:
    pid_t m_pid = -1;
    int m_status = -1;
    std::string m_outPath;
    std::string m_errPath;
};

// Whether `text` holds `line` as one whole line.
bool HasLine(const std::string& text, const std::string& line);

} // namespace cli::test
