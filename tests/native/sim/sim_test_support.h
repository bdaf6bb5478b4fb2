// Helpers of the tests that run the simulator for real: the simulator on its own thread,
// the PC's end of the line, and a control-channel client.
#pragma once

#include "scratch_folder.h"
#include "sim/simulator.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace sim::test
{

constexpr int kPatienceMs = 5000; // generous: only a broken simulator takes this long

std::vector<std::uint8_t> Bytes(const std::string& text);
std::vector<std::uint8_t> BlockFrame(bool languagePack, std::uint32_t block, std::uint8_t seed);

// A folder under /tmp that goes away with the object.
using ::ScratchFolder;

class RunningSimulator
{
public:
    explicit RunningSimulator(const SimConfig& config);
    ~RunningSimulator(); // stops and joins

    Simulator& Get() { return m_simulator; }
    bool Started() const { return m_started; }
    const std::string& StartError() const { return m_error; }

private:
    std::ostringstream m_log;
    Simulator m_simulator;
    bool m_started = false;
    std::string m_error;
    std::thread m_thread;
};

// The PC's side: the slave terminal opened raw at a rate.
class PcLine
{
public:
    PcLine() = default;
    ~PcLine() { Close(); }
    bool Open(const std::string& path, unsigned baudRate = 19200);
    void Close();
    int Fd() const { return m_fd; }

    bool Write(const std::vector<std::uint8_t>& bytes);
    bool WriteText(const std::string& text) { return Write(Bytes(text)); }
    // Reads until `count` bytes have come or the time is up; returns what came.
    std::vector<std::uint8_t> Read(std::size_t count, int timeoutMs = kPatienceMs);

private:
    int m_fd = -1;
};

class ControlClient
{
public:
    ~ControlClient();
    bool Connect(unsigned short port);
    void SendLine(const std::string& line);
    // Lines up to and including the one starting "OK" or "ERR"; empty on a time-out.
    std::vector<std::string> ReadAnswer(int timeoutMs = kPatienceMs);
    std::vector<std::string> Command(const std::string& line, int timeoutMs = kPatienceMs)
    {
        SendLine(line);
        return ReadAnswer(timeoutMs);
    }
    std::string Last(const std::string& line) // the final line of a command's answer
    {
        const std::vector<std::string> lines = Command(line);
        return lines.empty() ? std::string("(no answer)") : lines.back();
    }

private:
    int m_fd = -1;
    std::string m_pending;
};

} // namespace sim::test
