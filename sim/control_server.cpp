#include "sim/control_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace sim
{
namespace
{

constexpr int kListenBacklog = 4;
constexpr std::size_t kReadSize = 65536;

} // namespace

bool ControlServer::Listen(unsigned short port, std::string& error)
{
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener)
    {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int yes = 1;
    ::setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener.Get(), kListenBacklog) != 0)
    {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t length = sizeof(address);
    ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_listener = std::move(listener);
    return true;
}

void ControlServer::Accept()
{
    if (m_client)
    {
        return;
    }
    const int client = ::accept4(m_listener.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (client < 0)
    {
        return; // the peer gave up before we came to it
    }
    m_client.Reset(client);
    const int yes = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
    m_input.clear();
    m_output.clear();
    m_outputSent = 0;
}

bool ControlServer::ReadClient()
{
    char buffer[kReadSize];
    for (;;)
    {
        const ssize_t count = ::recv(m_client.Get(), buffer, sizeof(buffer), 0);
        if (count > 0)
        {
            m_input.append(buffer, static_cast<std::size_t>(count));
            if (m_input.size() > kMaxCommandLength && m_input.find('\n') == std::string::npos)
            {
                DropClient(); // no line ends: not one of our clients
                return false;
            }
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        {
            return true;
        }
        if (count < 0 && errno == EINTR)
        {
            continue;
        }
        DropClient();
        return false;
    }
}

bool ControlServer::NextLine(std::string& line)
{
    const std::size_t end = m_input.find('\n');
    if (end == std::string::npos)
    {
        return false;
    }
    line = m_input.substr(0, end);
    m_input.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r')
    {
        line.pop_back();
    }
    return true;
}

void ControlServer::SendLine(const std::string& line)
{
    if (!m_client)
    {
        return;
    }
    m_output += line;
    m_output += '\n';
}

void ControlServer::FlushOutput()
{
    while (m_client && m_outputSent < m_output.size())
    {
        const ssize_t count = ::send(m_client.Get(), m_output.data() + m_outputSent,
                                     m_output.size() - m_outputSent, MSG_NOSIGNAL);
        if (count > 0)
        {
            m_outputSent += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR)
        {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        {
            return; // the loop waits for POLLOUT
        }
        DropClient();
        return;
    }
    m_output.clear();
    m_outputSent = 0;
}

void ControlServer::DropClient()
{
    m_client.Reset();
    m_input.clear();
    m_output.clear();
    m_outputSent = 0;
}

} // namespace sim
