#include "serial/posix/posix_serial.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace serial
{
namespace
{

const char kChannelCaption[] = "CSerialIO";
const char kReaderCaption[] = "TracingThread";
const char kReadFailedMessage[] = "ReadFile Error!";

// A device another program is just letting go of gets about a second, as on Windows.
constexpr int kOpenAttempts = 10;
constexpr useconds_t kOpenRetryDelayUs = 100000;

struct BaudRate
{
    std::uint32_t rate;
    speed_t speed;
};
constexpr BaudRate kBaudRates[] = {
    {115200, B115200},
    {57600, B57600},
    {38400, B38400},
    {19200, B19200},
};

bool SpeedOf(std::uint32_t baudRate, speed_t& speed)
{
    for (const BaudRate& entry : kBaudRates)
    {
        if (entry.rate == baudRate)
        {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

// Raw 8N1 without flow control; a read returns at once with what is waiting.
bool SetLine(int fd, speed_t speed)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
    {
        return false;
    }
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return ::cfsetispeed(&tio, speed) == 0 && ::cfsetospeed(&tio, speed) == 0 &&
           ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool Busy(int error)
{
    return error == EBUSY || error == EWOULDBLOCK || error == EAGAIN;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
    {
        ::close(fd);
    }
    fd = -1;
}

} // namespace

bool IsSupportedBaudRate(std::uint32_t baudRate)
{
    speed_t speed = 0;
    return SpeedOf(baudRate, speed);
}

CPosixSerial::CPosixSerial(const std::string& path, std::uint32_t baudRate, ChunkSink& sink,
                           FailureReport& report)
    : m_sink(sink), m_report(report), m_writeIndex(0)
{
    if (!Open(path, baudRate))
    {
        Close();
        return;
    }
    m_reader = std::thread([this]() { ReaderLoop(); });
}

CPosixSerial::~CPosixSerial()
{
    Close();
}

bool CPosixSerial::Open(const std::string& path, std::uint32_t baudRate)
{
    char text[256];
    speed_t speed = 0;
    if (!SpeedOf(baudRate, speed))
    {
        std::snprintf(text, sizeof text, "COM Port Error:\nBaud rate %u not supported",
                      static_cast<unsigned>(baudRate));
        m_report.ReportFailure(text, kChannelCaption);
        return false;
    }
    int error = 0;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt)
    {
        if (attempt > 0)
        {
            ::usleep(kOpenRetryDelayUs);
        }
        // Non-blocking so that a modem line without carrier does not hold the open.
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
        {
            error = errno;
        }
        else if (!::isatty(m_fd))
        {
            error = ENOTTY;
        }
        else if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(m_fd, TIOCEXCL) != 0)
        {
            error = errno;
        }
        else
        {
            break;
        }
        CloseFd(m_fd);
        if (!Busy(error))
        {
            break;
        }
    }
    if (m_fd < 0)
    {
        std::snprintf(text, sizeof text, "COM Port Error:\nCannot open %s (%s)", path.c_str(),
                      std::strerror(error));
        m_report.ReportFailure(text, kChannelCaption);
        return false;
    }
    // Writes block until the driver has taken the frame; reads never wait (VMIN = VTIME = 0).
    const int flags = ::fcntl(m_fd, F_GETFL);
    int stopPipe[2] = {-1, -1};
    if (flags < 0 || ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || !SetLine(m_fd, speed) ||
        ::pipe(stopPipe) != 0)
    {
        std::snprintf(text, sizeof text, "COM Port Error:\nCannot set up %s (%s)", path.c_str(),
                      std::strerror(errno));
        m_report.ReportFailure(text, kChannelCaption);
        return false;
    }
    m_stopRead = stopPipe[0];
    m_stopWrite = stopPipe[1];
    // No flush here: the handset may already be answering the frame sent before the reopen.
    return true;
}

void CPosixSerial::Close()
{
    if (m_reader.joinable())
    {
        const char stop = 1;
        while (::write(m_stopWrite, &stop, 1) < 0 && errno == EINTR)
        {
        }
        m_reader.join();
    }
    if (m_fd >= 0)
    {
        // The terminal stays open elsewhere (a pty's other side): leave it openable.
        ::ioctl(m_fd, TIOCNXCL);
        ::flock(m_fd, LOCK_UN);
    }
    CloseFd(m_fd);
    CloseFd(m_stopRead);
    CloseFd(m_stopWrite);
}

std::size_t CPosixSerial::Write(const std::uint8_t* bytes, std::size_t count)
{
    std::size_t written = 0;
    while (m_fd >= 0 && written < count)
    {
        const ssize_t done = ::write(m_fd, bytes + written, count - written);
        if (done < 0)
        {
            if (errno == EINTR)
            {
                continue;
            }
            break;
        }
        written += static_cast<std::size_t>(done);
    }
    return written;
}

void CPosixSerial::Purge()
{
    if (m_fd >= 0)
    {
        ::tcflush(m_fd, TCIOFLUSH);
    }
}

void CPosixSerial::ReaderLoop()
{
    for (;;)
    {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopRead, POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0)
        {
            if (errno == EINTR)
            {
                continue;
            }
            m_report.ReportFailure(kReadFailedMessage, kReaderCaption);
            return;
        }
        if (fds[1].revents != 0)
        {
            return;
        }
        if (fds[0].revents != 0 && !ReadOnce(fds[0].revents))
        {
            m_report.ReportFailure(kReadFailedMessage, kReaderCaption);
            return;
        }
    }
}

bool CPosixSerial::ReadOnce(short events)
{
    const std::uint32_t index = m_writeIndex;
    std::uint8_t* const chunk = m_rxBuffer + index;
    const ssize_t done = ::read(m_fd, chunk, ReadSizeAt(index));
    if (done < 0)
    {
        return errno == EINTR || errno == EAGAIN;
    }
    if (done == 0)
    {
        // Nothing although poll() woke: only a hang-up or an error does that for good.
        return (events & (POLLHUP | POLLERR | POLLNVAL)) == 0;
    }
    // The index moves on before the sink hears of the chunk, as on Windows.
    m_writeIndex = NextWriteIndex(index, static_cast<std::uint32_t>(done));
    m_sink.OnChunk(static_cast<std::size_t>(done), chunk);
    return true;
}

} // namespace serial
