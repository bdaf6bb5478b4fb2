// The listening end of the control channel: TCP on 127.0.0.1, one client at a time, text
// lines both ways. A second client waits in the listen queue until the first has gone.
#pragma once

#include "sim/unique_fd.h"

#include <cstddef>
#include <string>

namespace sim
{

constexpr unsigned short kDefaultControlPort = 24747;
constexpr std::size_t kMaxCommandLength = 1 << 20; // a SEND of a few blocks fits

class ControlServer
{
public:
    // Port 0 takes any free port; Port() tells which.
    bool Listen(unsigned short port, std::string& error);
    unsigned short Port() const { return m_port; }

    int ListenFd() const { return m_listener.Get(); }
    int ClientFd() const { return m_client.Get(); }
    bool HasClient() const { return static_cast<bool>(m_client); }

    void Accept();
    // Takes what the client sent; false once the client has gone (it is then dropped).
    bool ReadClient();
    // The next complete line without its end (LF, CR LF); false if none is complete.
    bool NextLine(std::string& line);

    void SendLine(const std::string& line); // queued; FlushOutput writes it
    bool WantsToWrite() const { return m_outputSent < m_output.size(); }
    void FlushOutput(); // drops the client on an error

    void DropClient();

private:
    UniqueFd m_listener;
    UniqueFd m_client;
    unsigned short m_port = 0;
    std::string m_input;
    std::string m_output;
    std::size_t m_outputSent = 0;
};

} // namespace sim
