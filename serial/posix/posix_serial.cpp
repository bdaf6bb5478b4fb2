#include "serial/posix/posix_serial.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
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
const char kLogOpenFailedMessage[] = "Error opening log file!";

// 8N1: a start bit, eight data bits and a stop bit.
constexpr std::uint64_t kWireBitsPerByte = 10;
constexpr std::uint64_t kWriteBoundFactor = 2;
constexpr std::chrono::milliseconds kWriteBoundMargin(1000);

// A device another program is just letting go of gets about a second, as on Windows.
constexpr int kOpenAttempts = 10;
constexpr useconds_t kOpenRetryDelayUs = 100000;
constexpr std::size_t kRefusalTextSize = 256; // a longer text is cut

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

// Opens the terminal for this program alone, trying again for a while as long as another
// holds it; -1 with the cause in `error` when it cannot.
int OpenExclusive(const std::string& path, int& error)
{
    int fd = -1;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt)
    {
        if (attempt > 0)
        {
            ::usleep(kOpenRetryDelayUs);
        }
        // Non-blocking so that a modem line without carrier does not hold the open.
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
        {
            error = errno;
        }
        else if (!::isatty(fd))
        {
            error = ENOTTY;
        }
        else if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0)
        {
            error = errno;
        }
        else
        {
            return fd;
        }
        CloseFd(fd);
        if (!Busy(error))
        {
            break;
        }
    }
    return -1;
}

// Reports why the port could not be opened, in the one box of the channel's failures.
template <typename... Args> bool Refuse(FailureReport& report, const char* format, Args... args)
{
    char text[kRefusalTextSize];
    std::snprintf(text, sizeof text, format, args...);
    report.ReportFailure(text, kChannelCaption);
    return false;
}

using Clock = std::chrono::steady_clock;

// The time `count` bytes take on the wire at `baudRate`, rounded up.
std::uint64_t WireMilliseconds(std::uint64_t count, std::uint32_t baudRate)
{
    return baudRate == 0 ? 0 : (count * kWireBitsPerByte * 1000 + baudRate - 1) / baudRate;
}

// Milliseconds left until `deadline`, at least 1 while it is ahead, 0 once it has passed.
int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

} // namespace

std::chrono::milliseconds WriteBound(std::size_t count, std::uint32_t baudRate)
{
    return std::chrono::milliseconds(kWriteBoundFactor * WireMilliseconds(count, baudRate)) +
           kWriteBoundMargin;
}

bool IsSupportedBaudRate(std::uint32_t baudRate)
{
    speed_t speed = 0;
    return SpeedOf(baudRate, speed);
}

CPosixSerial::CPosixSerial(const std::string& path, std::uint32_t baudRate, ChunkSink& sink,
                           FailureReport& report, const std::string& logPath)
    : m_sink(sink), m_report(report), m_baudRate(baudRate), m_writeIndex(0)
{
    if (!Open(path, baudRate, logPath))
    {
        Close();
        return;
    }
    try
    {
        m_reader = std::thread(
            [this]()
            {
                // Nothing may leave the thread: a sink that throws ends the reader as a failure.
                try
                {
                    ReaderLoop();
                }
                catch (const std::exception&)
                {
                    try
                    {
                        m_report.ReportFailure(kReadFailedMessage, kReaderCaption);
                    }
                    catch (const std::exception&)
                    {
                    }
                }
            });
    }
    catch (const std::exception& error)
    {
        char text[256];
        std::snprintf(text, sizeof text, "COM Port Error:\nCannot start the reader (%s)",
                      error.what());
        m_report.ReportFailure(text, kChannelCaption);
        Close();
    }
}

CPosixSerial::~CPosixSerial()
{
    Close();
}

bool CPosixSerial::Open(const std::string& path, std::uint32_t baudRate, const std::string& logPath)
{
    speed_t speed = 0;
    if (!SpeedOf(baudRate, speed))
    {
        return Refuse(m_report, "COM Port Error:\nBaud rate %u not supported",
                      static_cast<unsigned>(baudRate));
    }
    // Every open starts a new log, the reopen at the rate change too.
    if (!logPath.empty())
    {
        m_log = std::fopen(logPath.c_str(), "wb");
        if (m_log == nullptr)
        {
            m_report.ReportFailure(kLogOpenFailedMessage, kChannelCaption);
            return false;
        }
    }
    int error = 0;
    m_fd = OpenExclusive(path, error);
    if (m_fd < 0)
    {
        return Refuse(m_report, "COM Port Error:\nCannot open %s (%s)", path.c_str(),
                      std::strerror(error));
    }
    // The descriptor stays non-blocking: writes wait in poll() under their bound, reads never
    // wait (VMIN = VTIME = 0).
    int stopPipe[2] = {-1, -1};
    if (!SetLine(m_fd, speed) || ::pipe2(stopPipe, O_CLOEXEC) != 0)
    {
        return Refuse(m_report, "COM Port Error:\nCannot set up %s (%s)", path.c_str(),
                      std::strerror(errno));
    }
    m_stopRead = stopPipe[0];
    m_stopWrite = stopPipe[1];
    // Linux raises both when a port opens; the window's line holds them off, and so do we. A
    // terminal without modem lines (a pty) refuses, which changes nothing.
    const int modemLines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(m_fd, TIOCMBIC, &modemLines);
    // No flush here: the handset may already be answering the frame sent before the reopen.
    return true;
}

void CPosixSerial::Close()
{
    // The protocol change's frame must reach the handset before the line changes its rate. What
    // a drain left behind is dropped: Linux's close() would otherwise wait up to its closing
    // time (30 s) for a device that stopped taking data.
    if (m_fd >= 0 && !Drain())
    {
        ::tcflush(m_fd, TCOFLUSH);
    }
    if (m_reader.joinable())
    {
        Interrupt();
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
    if (m_log != nullptr)
    {
        std::fclose(m_log);
        m_log = nullptr;
    }
}

void CPosixSerial::Interrupt()
{
    // The pipe stays readable from now on: the reader and a waiting write see it.
    m_interrupted = true;
    const char stop = 1;
    while (m_stopWrite >= 0 && ::write(m_stopWrite, &stop, 1) < 0 && errno == EINTR)
    {
    }
}

bool CPosixSerial::Drain()
{
    int queued = 0;
    if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0)
    {
        return false;
    }
    const Clock::time_point deadline =
        Clock::now() + WriteBound(static_cast<std::size_t>(queued), m_baudRate);
    while (queued > 0)
    {
        // Look again once what is queued could have left; a stop ends the wait.
        const int wireMs = 1 + static_cast<int>(WireMilliseconds(queued, m_baudRate));
        const int left = MillisecondsLeft(deadline);
        if (left == 0)
        {
            return false;
        }
        pollfd stop = {m_stopRead, POLLIN, 0};
        const int ready = ::poll(&stop, 1, std::min(left, wireMs));
        if (ready > 0 || (ready < 0 && errno != EINTR) || ::ioctl(m_fd, TIOCOUTQ, &queued) != 0)
        {
            return false;
        }
    }
    // The driver's queue is empty; the transmitter may still hold a few characters.
    return ::tcdrain(m_fd) == 0;
}

std::size_t CPosixSerial::Write(const std::uint8_t* bytes, std::size_t count)
{
    std::size_t written = 0;
    const Clock::time_point deadline = Clock::now() + WriteBound(count, m_baudRate);
    // The write is tried first: poll() only when the driver is full keeps a frame one call.
    while (m_fd >= 0 && written < count && !m_interrupted)
    {
        const ssize_t done = ::write(m_fd, bytes + written, count - written);
        if (done > 0)
        {
            written += static_cast<std::size_t>(done);
            continue;
        }
        if (done < 0 && errno != EINTR && errno != EAGAIN)
        {
            break;
        }
        pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_stopRead, POLLIN, 0}};
        const int ready = ::poll(fds, 2, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
        {
            continue;
        }
        // Past the bound, stopped, or the device has gone: the caller's write-failure path.
        if (ready <= 0 || fds[1].revents != 0 || (fds[0].revents & POLLOUT) == 0)
        {
            break;
        }
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
    if (m_log != nullptr)
    {
        std::fwrite(chunk, 1, static_cast<std::size_t>(done), m_log);
    }
    // The index moves on before the sink hears of the chunk, as on Windows.
    m_writeIndex = NextWriteIndex(index, static_cast<std::uint32_t>(done));
    m_sink.OnChunk(static_cast<std::size_t>(done), chunk);
    return true;
}

} // namespace serial
