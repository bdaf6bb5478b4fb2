#include "sim/simulator.h"

#include "sim/hex_text.h"
#include "sim/monotonic_clock.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace sim
{
namespace
{

constexpr std::size_t kLineReadSize = 4096;
constexpr std::int64_t kNoDeadline = -1;
constexpr std::int64_t kMicrosecondsPerMillisecond = 1000;
constexpr std::size_t kAnswerShownWhole = 8; // longer answers are shown by their start
constexpr std::int64_t kMicrosecondsPerSecond = 1000000;
// A sleeper wakes some tens of microseconds after its time: the last stretch before a write
// is due (a paced answer's last byte) is waited awake, so that the answer leaves when the line
// allows and a paced figure measures the PC.
constexpr std::int64_t kAwakeWaitUs = 200;
constexpr unsigned long kTimerSlackNs = 1; // the kernel's default lets a timer run 50 us late
constexpr int kPacedPriority = 10;         // SCHED_FIFO, low among real-time threads

// The time ppoll may wait until `deadline`; null (wait for ever) when there is none.
timespec* PollTimeout(std::int64_t deadline, timespec& timeout)
{
    if (deadline == kNoDeadline)
    {
        return nullptr;
    }
    const std::int64_t waitUs = std::max<std::int64_t>(0, deadline - NowUs());
    timeout.tv_sec = static_cast<time_t>(waitUs / kMicrosecondsPerSecond);
    timeout.tv_nsec = static_cast<long>(waitUs % kMicrosecondsPerSecond) * 1000;
    return &timeout;
}

// Bytes as people read them: printable characters as they are, others as \xNN.
std::string Printable(const std::uint8_t* bytes, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
    {
        if (bytes[i] >= 0x20 && bytes[i] < 0x7F)
        {
            text.push_back(static_cast<char>(bytes[i]));
        }
        else
        {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", bytes[i]);
            text += escaped;
        }
    }
    return text;
}

std::string DescribeFrame(const std::vector<std::uint8_t>& frame)
{
    char text[96];
    switch (frame[1])
    {
    case kProtocolChangeLetter:
        std::snprintf(text, sizeof(text), "<p baud digit '%s' type %u",
                      Printable(&frame[2], 1).c_str(), frame[3]);
        return text;
    case kBlockLetter:
        std::snprintf(text, sizeof(text), "<w %02X %02X (%s block %u)", frame[2], frame[3],
                      (frame[2] & kLanguagePackBlockFlag) ? "lp" : "main",
                      ((frame[2] & ~kLanguagePackBlockFlag & 0xFFu) << 8) | frame[3]);
        return text;
    case kChecksumLetter:
        std::snprintf(text, sizeof(text), "<c %02X%02X %02X%02X", frame[2], frame[3], frame[4],
                      frame[5]);
        return text;
    default:
        return Printable(frame.data(), frame.size());
    }
}

std::string DescribeAnswer(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.size() <= kAnswerShownWhole)
    {
        return Printable(bytes.data(), bytes.size());
    }
    return Printable(bytes.data(), 2) + " ... (" + std::to_string(bytes.size()) + " bytes)";
}

} // namespace

Simulator::Simulator(const SimConfig& config, std::ostream& out)
    : m_config(config), m_out(out), m_handset(config.record), m_pace(config.pace),
      m_adapter(config.adapter), m_adapterRandom(config.adapter.seed),
      m_reopenWaitMs(config.reopenWaitMs)
{
}

bool Simulator::Start(std::string& error)
{
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
    {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m_wakeRead.Reset(wake[0]);
    m_wakeWrite.Reset(wake[1]);
    if (!m_config.transcriptPath.empty())
    {
        m_transcriptFile.open(m_config.transcriptPath, std::ios::out | std::ios::trunc);
        if (!m_transcriptFile)
        {
            error = "cannot write " + m_config.transcriptPath;
            return false;
        }
    }
    // The listener last: a client that gets through finds the line in place.
    if (!Plug(error) || !m_control.Listen(m_config.controlPort, error))
    {
        return false;
    }
    m_epochUs = NowUs();
    return true;
}

void Simulator::RequestStop()
{
    const char byte = 0;
    // Async-signal-safe; a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t ignored = ::write(m_wakeWrite.Get(), &byte, 1);
}

bool Simulator::Plug(std::string& error)
{
    if (!m_port.Open(error))
    {
        return false;
    }
    if (!m_config.linkPath.empty() && !m_link.Publish(m_config.linkPath, m_port.SlavePath(), error))
    {
        m_port.Close();
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(m_slavePathLock);
        m_slavePath = m_port.SlavePath();
    }
    m_handset.Replug();
    m_assembler.Reset();
    m_held = HeldReply();
    m_pcClosedPort = false;
    m_pcReopenedUs = -1;
    m_previousFrameArrivedUs = 0;
    m_incoming.clear();
    m_outgoing.clear();
    m_lineFull = false;
    m_rxLineFreeUs = 0;
    m_txLineFreeUs = 0;
    return true;
}

std::string Simulator::SlavePath() const
{
    std::lock_guard<std::mutex> hold(m_slavePathLock);
    return m_slavePath;
}

void Simulator::Unplug()
{
    m_link.Remove();
    {
        std::lock_guard<std::mutex> hold(m_slavePathLock);
        m_slavePath.clear();
    }
    m_port.Close();
    m_assembler.Reset();
    m_held = HeldReply();
    m_incoming.clear();
    m_outgoing.clear();
    m_lineFull = false;
    m_acknowledgementOnLine = false;
}

void Simulator::SetPace(bool on)
{
    m_pace = on;
    // Paced, the simulator keeps to computed times. At normal priority a busy machine lets it
    // wake a scheduling period late (up to milliseconds on two cores busy building), so it
    // asks for a real-time priority where it may (root, CAP_SYS_NICE), normal otherwise.
    sched_param priority{};
    priority.sched_priority = on ? kPacedPriority : 0;
    ::pthread_setschedparam(::pthread_self(), on ? SCHED_FIFO : SCHED_OTHER, &priority);
}

int Simulator::Run()
{
    ::prctl(PR_SET_TIMERSLACK, kTimerSlackNs, 0, 0, 0); // this thread's timers
    SetPace(m_pace);
    for (;;)
    {
        timespec timeout{};
        timespec* const timeoutPointer = PollTimeout(NextDeadline(), timeout);
        pollfd fds[kPollCount] = {};
        WatchedDescriptors(fds);
        if (::ppoll(fds, kPollCount, timeoutPointer, nullptr) < 0)
        {
            if (errno == EINTR)
            {
                continue;
            }
            m_out << "tervolo-sim: poll: " << std::strerror(errno) << std::endl;
            return 1;
        }
        if (fds[kPollWake].revents != 0)
        {
            break;
        }
        Serve(fds);
    }
    SayFigures();
    Unplug();
    return 0;
}

void Simulator::SayFigures()
{
    if (m_answerDelays.Count() == 0)
    {
        return;
    }
    m_out << "tervolo-sim: since the last RESET: turnarounds=" << m_turnarounds.Count()
          << " median_us=" << m_turnarounds.Median() << " p99_us=" << m_turnarounds.Percentile(99.0)
          << "; answer delays=" << m_answerDelays.Count() << " mean_us=" << m_answerDelays.Mean()
          << " median_us=" << m_answerDelays.Median()
          << " p99_us=" << m_answerDelays.Percentile(99.0) << " max_us=" << m_answerDelays.Maximum()
          << std::endl;
}

void Simulator::WatchedDescriptors(pollfd* fds) const
{
    fds[kPollWake] = {m_wakeRead.Get(), POLLIN, 0};
    fds[kPollLine] = {m_port.IsOpen() ? m_port.MasterFd() : -1,
                      static_cast<short>(POLLIN | (m_lineFull ? POLLOUT : 0)), 0};
    fds[kPollPortUse] = {m_port.IsOpen() ? m_port.WatchFd() : -1, POLLIN, 0};
    fds[kPollListener] = {m_control.HasClient() ? -1 : m_control.ListenFd(), POLLIN, 0};
    fds[kPollClient] = {m_control.HasClient() ? m_control.ClientFd() : -1,
                        static_cast<short>(POLLIN | (m_control.WantsToWrite() ? POLLOUT : 0)), 0};
}

void Simulator::Serve(const pollfd* fds)
{
    if (fds[kPollLine].revents & POLLOUT)
    {
        m_lineFull = false;
    }
    if (fds[kPollLine].revents & POLLIN)
    {
        ReadFromLine();
    }
    // After the line: a '<' 'p' and the reopen that follows it may come in one wake-up.
    if (fds[kPollPortUse].revents & POLLIN)
    {
        WatchPortUse();
    }
    const std::int64_t now = NowUs();
    DeliverDue(now);
    if (m_held.active && now >= m_held.deadlineUs)
    {
        ReleaseHeldReply("the PC did not reopen its port");
    }
    WriteDue(NowUs());
    if (fds[kPollClient].revents != 0)
    {
        m_control.ReadClient();
        if (!m_control.HasClient())
        {
            m_wait.active = false;
        }
    }
    if (fds[kPollListener].revents & POLLIN)
    {
        m_control.Accept();
    }
    ServeClient();
    CheckPendingWait(NowUs());
    m_control.FlushOutput();
}

std::int64_t Simulator::NextDeadline() const
{
    std::int64_t deadline = kNoDeadline;
    const auto consider = [&deadline](std::int64_t at)
    {
        if (deadline == kNoDeadline || at < deadline)
        {
            deadline = at;
        }
    };
    if (!m_incoming.empty())
    {
        consider(m_incoming.front().dueUs);
    }
    if (!m_outgoing.empty() && !m_lineFull)
    {
        consider(m_outgoing.front().dueUs - kAwakeWaitUs); // then without sleeping
    }
    if (m_wait.active)
    {
        consider(m_wait.deadlineUs);
    }
    if (m_held.active)
    {
        consider(m_held.deadlineUs);
    }
    return deadline;
}

void Simulator::ReadFromLine()
{
    std::uint8_t buffer[kLineReadSize];
    for (;;)
    {
        const ssize_t count = ::read(m_port.MasterFd(), buffer, sizeof(buffer));
        if (count <= 0)
        {
            // EAGAIN: all taken. EIO cannot happen while we hold the slave open.
            return;
        }
        const std::int64_t now = NowUs();
        std::vector<std::uint8_t> bytes(buffer, buffer + count);
        if (!m_pace)
        {
            Deliver(bytes, now, now);
            continue;
        }
        // The bytes count as received once the line could have carried them.
        m_rxLineFreeUs = std::max(now, m_rxLineFreeUs) +
                         static_cast<std::int64_t>(LineTimeUs(bytes.size(), m_handset.LineRate()));
        m_incoming.push_back({m_rxLineFreeUs, std::move(bytes), now});
    }
}

void Simulator::DeliverDue(std::int64_t nowUs)
{
    while (!m_incoming.empty() && m_incoming.front().dueUs <= nowUs)
    {
        const Incoming piece = std::move(m_incoming.front());
        m_incoming.pop_front();
        Deliver(piece.bytes, piece.dueUs, piece.arrivedUs);
    }
}

void Simulator::Deliver(const std::vector<std::uint8_t>& bytes, std::int64_t timeUs,
                        std::int64_t arrivedUs)
{
    m_received.insert(m_received.end(), bytes.begin(), bytes.end());
    const std::uint64_t sinceEpoch = SinceEpochUs(timeUs);
    for (ReceivedRecord& record : m_assembler.Feed(bytes.data(), bytes.size(), sinceEpoch))
    {
        if (record.kind == RecordKind::Garbage)
        {
            m_garbageBytes += record.bytes.size();
            Log("GARBAGE", sinceEpoch, record.bytes);
            if (m_config.verbose)
            {
                Say(timeUs, "PC -> MS  garbage " + ToHex(record.bytes));
            }
            m_transcript.push_back({sinceEpoch, std::move(record.bytes), true});
            continue;
        }
        OnFrame(record, timeUs, arrivedUs);
        m_transcript.push_back({sinceEpoch, std::move(record.bytes), false});
    }
}

void Simulator::OnFrame(const ReceivedRecord& frame, std::int64_t timeUs, std::int64_t arrivedUs)
{
    const std::int64_t previousFrameArrivedUs = m_previousFrameArrivedUs;
    m_previousFrameArrivedUs = arrivedUs;
    ++m_frameCount;
    ++m_framesByLetter[frame.Letter()];
    Log("FRAME", SinceEpochUs(timeUs), frame.bytes);
    if (m_acknowledgementOnLine)
    {
        m_turnarounds.Add(
            static_cast<std::uint64_t>(std::max<std::int64_t>(0, timeUs - m_acknowledgementUs)));
        m_acknowledgementOnLine = false;
    }

    const sim::Reply reply = m_handset.OnFrame(frame.bytes);
    if (m_config.verbose)
    {
        Say(timeUs, "PC -> MS  " + DescribeFrame(frame.bytes) +
                        (reply.note.empty() ? "" : "   [" + reply.note + "]"));
    }
    // Answered at once, the record would reach the PC's old channel, which is closing. The PC
    // may have reopened before the frame counts as received (pacing), and the kernel may even
    // report the reopen before the frame's bytes can be read: any reopen since the previous
    // frame counts.
    if (reply.afterRateChange && m_reopenWaitMs > 0 && !reply.pieces.empty() &&
        m_pcReopenedUs < previousFrameArrivedUs)
    {
        m_held = HeldReply{true, reply, arrivedUs,
                           timeUs + static_cast<std::int64_t>(m_reopenWaitMs) *
                                        kMicrosecondsPerMillisecond};
        return;
    }
    QueueReply(reply, timeUs);
}

void Simulator::QueueReply(const sim::Reply& reply, std::int64_t afterUs)
{
    for (std::size_t i = 0; i < reply.pieces.size(); ++i)
    {
        QueueWrite(reply.pieces[i].waitMs, reply.pieces[i].bytes, reply.blockAcknowledged, i > 0,
                   i + 1 == reply.pieces.size(), afterUs);
    }
}

void Simulator::WatchPortUse()
{
    // A reopen is an open after a close: the PC's first open of a session does not count.
    for (const PtyPort::Event event : m_port.ReadEvents())
    {
        if (event == PtyPort::Event::Closed)
        {
            m_pcClosedPort = true;
        }
        else if (m_pcClosedPort)
        {
            m_pcClosedPort = false;
            m_pcReopenedUs = NowUs();
        }
    }
    if (m_held.active && m_pcReopenedUs >= m_held.arrivedUs)
    {
        ReleaseHeldReply("the PC reopened its port");
    }
}

void Simulator::ReleaseHeldReply(const char* why)
{
    const std::int64_t now = NowUs();
    if (m_config.verbose)
    {
        Say(now, std::string("          (") + why + ")");
    }
    const sim::Reply reply = std::move(m_held.reply);
    m_held = HeldReply();
    QueueReply(reply, now);
}

void Simulator::QueueWrite(std::uint32_t waitMs, std::vector<std::uint8_t> bytes,
                           bool acknowledgement, bool continuesPrevious, bool endsAnswer,
                           std::int64_t& afterUs)
{
    if (!m_port.IsOpen())
    {
        return;
    }
    const std::int64_t waitUs = static_cast<std::int64_t>(waitMs) * kMicrosecondsPerMillisecond;
    const std::int64_t lineUs =
        m_pace ? static_cast<std::int64_t>(LineTimeUs(bytes.size(), m_handset.LineRate())) : 0;
    std::int64_t due = afterUs + waitUs;
    if (m_pace)
    {
        due = std::max(due, m_txLineFreeUs) + lineUs;
        m_txLineFreeUs = due;
    }
    if (m_adapter.kind != AdapterKind::None)
    {
        afterUs = due; // the handset's next piece counts from its own line, not the adapter's
        QueueThroughAdapter(std::move(bytes), due - lineUs, due, acknowledgement, endsAnswer);
        return;
    }
    if (!m_outgoing.empty())
    {
        due = std::max(due, m_outgoing.back().dueUs); // the line keeps the order
    }
    afterUs = due;
    m_outgoing.push_back({due, std::move(bytes), 0, acknowledgement,
                          (continuesPrevious ? waitUs : 0) + lineUs, endsAnswer ? due : -1});
}

void Simulator::QueueThroughAdapter(std::vector<std::uint8_t> bytes, std::int64_t lineStartUs,
                                    std::int64_t lineEndUs, bool acknowledgement, bool endsAnswer)
{
    // Byte i reaches the adapter once its last bit has crossed the line.
    const std::int64_t lineUs = lineEndUs - lineStartUs;
    const std::int64_t count = static_cast<std::int64_t>(bytes.size());
    std::vector<std::int64_t> arrivalsUs;
    for (std::int64_t i = 1; i <= count; ++i)
    {
        arrivalsUs.push_back(lineStartUs + lineUs * i / count);
    }
    const std::vector<AdapterPacket> packets =
        CutIntoPackets(m_adapter, arrivalsUs, m_adapterRandom);
    std::size_t offset = 0;
    for (const AdapterPacket& packet : packets)
    {
        const bool last = offset + packet.bytes == bytes.size();
        // In order, and as far after the packet before as planned even when that one was late.
        const std::int64_t previousUs =
            m_outgoing.empty() ? packet.timeUs : m_outgoing.back().dueUs;
        const std::int64_t due = std::max(packet.timeUs, previousUs);
        const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(offset);
        m_outgoing.push_back({due,
                              {begin, begin + static_cast<std::ptrdiff_t>(packet.bytes)},
                              0,
                              acknowledgement && last,
                              due - previousUs,
                              endsAnswer && last ? lineEndUs : -1});
        offset += packet.bytes;
    }
}

void Simulator::WriteDue(std::int64_t nowUs)
{
    while (m_port.IsOpen() && !m_lineFull && !m_outgoing.empty() &&
           m_outgoing.front().dueUs <= nowUs)
    {
        Outgoing& piece = m_outgoing.front();
        const ssize_t count = ::write(m_port.MasterFd(), piece.bytes.data() + piece.written,
                                      piece.bytes.size() - piece.written);
        if (count < 0 && errno == EINTR)
        {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        {
            m_lineFull = true; // the PC has not read for a while; wait for room
            return;
        }
        if (count < 0)
        {
            m_out << "tervolo-sim: write to the line: " << std::strerror(errno) << std::endl;
            m_outgoing.pop_front();
            continue;
        }
        piece.written += static_cast<std::size_t>(count);
        if (piece.written == piece.bytes.size())
        {
            const Outgoing done = std::move(piece);
            m_outgoing.pop_front();
            const std::int64_t now = NowUs();
            if (!m_outgoing.empty())
            {
                Outgoing& next = m_outgoing.front();
                next.dueUs = std::max(next.dueUs, now + next.afterPreviousUs);
            }
            OnWritten(done, now);
        }
    }
}

void Simulator::OnWritten(const Outgoing& piece, std::int64_t timeUs)
{
    ++m_answerCount;
    const std::uint64_t sinceEpoch = SinceEpochUs(timeUs);
    Log("ANSWER", sinceEpoch, piece.bytes);
    m_answers.push_back({sinceEpoch, piece.bytes, false});
    if (piece.answerDueUs >= 0)
    {
        m_answerDelays.Add(
            static_cast<std::uint64_t>(std::max<std::int64_t>(0, timeUs - piece.answerDueUs)));
    }
    if (piece.blockAcknowledgement)
    {
        m_acknowledgementOnLine = true;
        m_acknowledgementUs = timeUs;
    }
    if (m_config.verbose)
    {
        Say(timeUs, "MS -> PC  " + DescribeAnswer(piece.bytes));
    }
}

std::uint64_t Simulator::SinceEpochUs(std::int64_t timeUs) const
{
    return static_cast<std::uint64_t>(std::max<std::int64_t>(0, timeUs - m_epochUs));
}

void Simulator::Log(const std::string& kind, std::uint64_t timeUs,
                    const std::vector<std::uint8_t>& bytes)
{
    if (m_transcriptFile.is_open())
    {
        m_transcriptFile << kind << ' ' << timeUs << ' ' << ToHex(bytes) << '\n';
        m_transcriptFile.flush();
    }
}

void Simulator::Say(std::int64_t timeUs, const std::string& text)
{
    char stamp[32];
    std::snprintf(stamp, sizeof(stamp), "[%11.6f] ",
                  static_cast<double>(SinceEpochUs(timeUs)) / 1e6);
    m_out << stamp << text << std::endl;
}

} // namespace sim
