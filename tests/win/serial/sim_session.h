#pragma once

#include <string>

// The simulator's control channel (sim/CONTROL.md) on 127.0.0.1 at the port named by
// TERVOLO_SIM_CONTROL (47001 by default).
class SimSession
{
public:
    SimSession();
    ~SimSession();
    SimSession(const SimSession&) = delete;
    SimSession& operator=(const SimSession&) = delete;

    bool Connected() const;
    // Sends one command line and returns the final answer line ("OK ..." or "ERR ...").
    std::string Command(const std::string& line);
    // Sends bytes to the PC through the simulator's SEND command.
    std::string Send(const std::string& bytes);

private:
    struct Impl;
    Impl* m_impl;
};
