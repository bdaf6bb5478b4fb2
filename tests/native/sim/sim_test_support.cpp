#include "sim_test_support.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace sim::test
{
namespace
{

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

speed_t SpeedCode(unsigned baudRate)
{
    switch (baudRate)
    {
    case 115200:
        return B115200;
    case 57600:
        return B57600;
    case 38400:
        return B38400;
    default:
        return B19200;
    }
}

} // namespace

RunningSimulator::RunningSimulator(const SimConfig& config) : m_simulator(config, m_log)
{
    m_started = m_simulator.Start(m_error);
    if (m_started)
    {
        m_thread = std::thread([this]() { m_simulator.Run(); });
    }
}

RunningSimulator::~RunningSimulator()
{
    if (m_thread.joinable())
    {
        m_simulator.RequestStop();
        m_thread.join();
    }
}

bool PcLine::Open(const std::string& path, unsigned baudRate)
{
    Close();
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
    {
        return false;
    }
    termios settings{};
    if (::tcgetattr(m_fd, &settings) != 0)
    {
        return false;
    }
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, SpeedCode(baudRate));
    ::cfsetospeed(&settings, SpeedCode(baudRate));
    return ::tcsetattr(m_fd, TCSANOW, &settings) == 0;
}

void PcLine::Close()
{
    if (m_fd >= 0)
    {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool PcLine::Write(const std::vector<std::uint8_t>& bytes)
{
    std::size_t done = 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (done < bytes.size())
    {
        const ssize_t count = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (count > 0)
        {
            done += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR)
        {
            return false;
        }
        pollfd fd = {m_fd, POLLOUT, 0};
        if (::poll(&fd, 1, MillisecondsLeft(deadline)) <= 0)
        {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> PcLine::Read(std::size_t count, int timeoutMs)
{
    std::vector<std::uint8_t> bytes;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (bytes.size() < count)
    {
        pollfd fd = {m_fd, POLLIN, 0};
        if (::poll(&fd, 1, MillisecondsLeft(deadline)) <= 0)
        {
            break;
        }
        std::uint8_t buffer[4096];
        const ssize_t got = ::read(m_fd, buffer, std::min(sizeof(buffer), count - bytes.size()));
        if (got <= 0)
        {
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
            {
                continue;
            }
            break; // hung up
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

ControlClient::~ControlClient()
{
    if (m_fd >= 0)
    {
        ::close(m_fd);
    }
}

bool ControlClient::Connect(unsigned short port)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return m_fd >= 0 &&
           ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

void ControlClient::SendLine(const std::string& line)
{
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size())
    {
        const ssize_t count = ::send(m_fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (count <= 0)
        {
            return;
        }
        done += static_cast<std::size_t>(count);
    }
}

std::vector<std::string> ControlClient::ReadAnswer(int timeoutMs)
{
    std::vector<std::string> lines;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;)
    {
        std::size_t end = 0;
        while ((end = m_pending.find('\n')) != std::string::npos)
        {
            lines.push_back(m_pending.substr(0, end));
            m_pending.erase(0, end + 1);
            const std::string& line = lines.back();
            if (line.rfind("OK", 0) == 0 || line.rfind("ERR", 0) == 0)
            {
                return lines;
            }
        }
        pollfd fd = {m_fd, POLLIN, 0};
        if (::poll(&fd, 1, MillisecondsLeft(deadline)) <= 0)
        {
            return {};
        }
        char buffer[65536];
        const ssize_t count = ::recv(m_fd, buffer, sizeof(buffer), 0);
        if (count <= 0)
        {
            return {};
        }
        m_pending.append(buffer, static_cast<std::size_t>(count));
    }
}

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::uint8_t> BlockFrame(bool languagePack, std::uint32_t block, std::uint8_t seed)
{
    std::vector<std::uint8_t> frame = {
        '<', 'w', static_cast<std::uint8_t>((block >> 8) | (languagePack ? 0x40 : 0)),
        static_cast<std::uint8_t>(block & 0xFF)};
    for (std::size_t i = 0; i < kBlockDataSize; ++i)
    {
        frame.push_back(static_cast<std::uint8_t>(seed + i * 13));
    }
    return frame;
}

} // namespace sim::test
