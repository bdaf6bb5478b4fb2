#include "sim_session.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>

namespace
{
constexpr unsigned short kDefaultControlPort = 47001;

unsigned short ControlPort()
{
    const char* text = std::getenv("TERVOLO_SIM_CONTROL");
    if (text == nullptr || *text == '\0')
        return kDefaultControlPort;
    return static_cast<unsigned short>(std::atoi(text));
}

std::string Hex(const std::string& bytes)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes)
    {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}
} // namespace

struct SimSession::Impl
{
    SOCKET socket = INVALID_SOCKET;
    std::string pending;
};

SimSession::SimSession() : m_impl(new Impl)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    m_impl->socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(ControlPort());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(m_impl->socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
    {
        closesocket(m_impl->socket);
        m_impl->socket = INVALID_SOCKET;
    }
}

SimSession::~SimSession()
{
    if (m_impl->socket != INVALID_SOCKET)
        closesocket(m_impl->socket);
    delete m_impl;
    WSACleanup();
}

bool SimSession::Connected() const
{
    return m_impl->socket != INVALID_SOCKET;
}

std::string SimSession::Command(const std::string& line)
{
    if (!Connected())
        return "ERR not connected";
    const std::string out = line + "\n";
    if (send(m_impl->socket, out.data(), static_cast<int>(out.size()), 0) !=
        static_cast<int>(out.size()))
        return "ERR send";
    for (;;)
    {
        const std::size_t end = m_impl->pending.find('\n');
        if (end != std::string::npos)
        {
            std::string answer = m_impl->pending.substr(0, end);
            m_impl->pending.erase(0, end + 1);
            if (!answer.empty() && answer.back() == '\r')
                answer.pop_back();
            if (answer.compare(0, 2, "OK") == 0 || answer.compare(0, 3, "ERR") == 0)
                return answer;
            continue;
        }
        char buffer[4096];
        const int got = recv(m_impl->socket, buffer, sizeof(buffer), 0);
        if (got <= 0)
            return "ERR closed";
        m_impl->pending.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string SimSession::Send(const std::string& bytes)
{
    return Command("SEND " + Hex(bytes));
}
