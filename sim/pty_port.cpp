#include "sim/pty_port.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim
{
namespace
{

struct SpeedEntry
{
    speed_t code;
    std::uint32_t baudRate;
};

constexpr SpeedEntry kSpeeds[] = {
    {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
    {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
    {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

constexpr std::size_t kMaxPathLength = 4096;

std::string SystemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

bool MakeFolders(const std::string& folder, std::string& error)
{
    if (folder.empty())
    {
        return true;
    }
    std::size_t position = 0;
    while (position != std::string::npos)
    {
        position = folder.find('/', position + 1);
        const std::string part = folder.substr(0, position);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
        {
            error = SystemError("cannot create " + part);
            return false;
        }
    }
    return true;
}

std::string ReadLinkTarget(const std::string& path)
{
    char target[kMaxPathLength];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof(target) - 1);
    return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

} // namespace

LineSettings DescribeTermios(const termios& settings)
{
    LineSettings line;
    const speed_t speed = cfgetospeed(&settings);
    for (const SpeedEntry& entry : kSpeeds)
    {
        if (entry.code == speed)
        {
            line.baudRate = entry.baudRate;
        }
    }
    switch (settings.c_cflag & CSIZE)
    {
    case CS5:
        line.dataBits = 5;
        break;
    case CS6:
        line.dataBits = 6;
        break;
    case CS7:
        line.dataBits = 7;
        break;
    default:
        line.dataBits = 8;
        break;
    }
    if (settings.c_cflag & PARENB)
    {
        const bool odd = (settings.c_cflag & PARODD) != 0;
        if (settings.c_cflag & CMSPAR)
        {
            line.parity = odd ? "mark" : "space";
        }
        else
        {
            line.parity = odd ? "odd" : "even";
        }
    }
    line.stopBits = (settings.c_cflag & CSTOPB) ? 2 : 1;
    return line;
}

std::string FormatLineSettings(const LineSettings& line)
{
    return "baud=" + std::to_string(line.baudRate) + " bits=" + std::to_string(line.dataBits) +
           " parity=" + line.parity + " stop=" + std::to_string(line.stopBits);
}

bool PtyPort::Open(std::string& error)
{
    Close();
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master)
    {
        error = SystemError("posix_openpt");
        return false;
    }
    if (::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0)
    {
        error = SystemError("grantpt/unlockpt");
        return false;
    }
    char name[kMaxPathLength];
    if (::ptsname_r(master.Get(), name, sizeof(name)) != 0)
    {
        error = SystemError("ptsname_r");
        return false;
    }
    UniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave)
    {
        error = SystemError(std::string("cannot open ") + name);
        return false;
    }
    termios settings{};
    if (::tcgetattr(slave.Get(), &settings) != 0)
    {
        error = SystemError("tcgetattr");
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&settings, B19200);
    ::cfsetospeed(&settings, B19200);
    if (::tcsetattr(slave.Get(), TCSANOW, &settings) != 0)
    {
        error = SystemError("tcsetattr");
        return false;
    }
    const int flags = ::fcntl(master.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(master.Get(), F_SETFL, flags | O_NONBLOCK) != 0)
    {
        error = SystemError("fcntl");
        return false;
    }
    // Watched only after our own open, which must not count as the PC's.
    UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!watch || ::inotify_add_watch(watch.Get(), name, IN_OPEN | IN_CLOSE) < 0)
    {
        error = SystemError("inotify");
        return false;
    }
    m_master = std::move(master);
    m_slave = std::move(slave);
    m_watch = std::move(watch);
    m_slavePath = name;
    return true;
}

std::vector<PtyPort::Event> PtyPort::ReadEvents()
{
    std::vector<Event> events;
    alignas(inotify_event) char buffer[4096];
    for (;;)
    {
        const ssize_t count = ::read(m_watch.Get(), buffer, sizeof(buffer));
        if (count <= 0)
        {
            return events;
        }
        for (ssize_t offset = 0; offset < count;)
        {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            if (event->mask & IN_OPEN)
            {
                events.push_back(Event::Opened);
            }
            if (event->mask & IN_CLOSE)
            {
                events.push_back(Event::Closed);
            }
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

void PtyPort::Close()
{
    m_watch.Reset();
    m_master.Reset();
    m_slave.Reset();
    m_slavePath.clear();
}

bool PtyPort::ReadLineSettings(LineSettings& line) const
{
    termios settings{};
    if (!m_slave || ::tcgetattr(m_slave.Get(), &settings) != 0)
    {
        return false;
    }
    line = DescribeTermios(settings);
    return true;
}

void PtyPort::Flush()
{
    if (m_slave)
    {
        ::tcflush(m_slave.Get(), TCIOFLUSH);
    }
}

bool PortLink::Publish(const std::string& path, const std::string& target, std::string& error)
{
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && !MakeFolders(path.substr(0, slash), error))
    {
        return false;
    }
    const std::string temporary = path + ".new." + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0)
    {
        error = SystemError("cannot create link " + temporary);
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0)
    {
        error = SystemError("cannot rename link to " + path);
        ::unlink(temporary.c_str());
        return false;
    }
    m_path = path;
    m_target = target;
    return true;
}

void PortLink::Remove()
{
    if (!m_path.empty() && ReadLinkTarget(m_path) == m_target)
    {
        ::unlink(m_path.c_str());
    }
    m_path.clear();
    m_target.clear();
}

} // namespace sim
