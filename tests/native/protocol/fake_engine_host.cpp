#include "fake_engine_host.h"

#include "protocol/crc_x25.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

Bytes FakeSectionFile::Block(std::uint32_t n) const
{
    Bytes data(kBlockDataSize, 0xFF);
    if (blank.count(n) == 0)
    {
        for (std::size_t i = 0; i < data.size(); ++i)
        {
            data[i] = static_cast<std::uint8_t>((n * 31 + i * 7 + salt) & 0x7F);
        }
    }
    return data;
}

// Marks one event posted by the test: the outermost opens a new step, events posted from
// inside a box or a sender belong to the step that opened the box.
class FakeEngineHost::OutsideEvent
{
public:
    explicit OutsideEvent(FakeEngineHost& host) : m_host(host)
    {
        if (m_host.nestingDepth++ == 0)
        {
            ++m_host.m_step;
        }
    }
    ~OutsideEvent() { --m_host.nestingDepth; }
    OutsideEvent(const OutsideEvent&) = delete;
    OutsideEvent& operator=(const OutsideEvent&) = delete;

private:
    FakeEngineHost& m_host;
};

FakeEngineHost::FakeEngineHost(GuardedRxBuffer::Guard guard)
    : m_buffers{GuardedRxBuffer(guard), GuardedRxBuffer(guard)}
{
    image.salt = 1;
    languagePack.salt = 2;
}

void FakeEngineHost::OpenChannel()
{
    m_buffers[m_current].Close();
    m_current = 1 - m_current;
    m_buffers[m_current].Open();
    m_channelOpen = true;
    writeIndex = 0;
}

void FakeEngineHost::Start(const DownloadSetup& setup)
{
    ++downloads;
    m_abortBoxes = 0;
    running = true;
    startRequested = true;
    OpenChannel();
    engine.Begin(setup);
    timers.insert(kSignalTimer);
}

FakeEngineHost::Notification FakeEngineHost::Store(const Bytes& bytes)
{
    // No reader any more while the channel is closed: a notification still in the queue.
    const StoredRead read =
        StoreRead(m_buffers[m_current].Data(), writeIndex, bytes, m_channelOpen);
    return Notification{read.count, read.chunk};
}

void FakeEngineHost::Post(Notification notification)
{
    OutsideEvent event(*this);
    ReceivedBytes received;
    received.bufferStart = m_buffers[m_current].Data();
    received.chunk = notification.chunk;
    received.count = notification.count;
    received.endIndex = writeIndex;
    engine.OnSerialData(received);
}

void FakeEngineHost::Receive(const Bytes& bytes)
{
    std::size_t done = 0;
    do
    {
        const Bytes rest(bytes.begin() + static_cast<std::ptrdiff_t>(done), bytes.end());
        const Notification read = Store(rest);
        done += read.count;
        Post(read);
    } while (done < bytes.size());
}

void FakeEngineHost::Receive(const char* text)
{
    Receive(Text(text));
}

void FakeEngineHost::PostEmpty()
{
    Post(Notification{0, m_buffers[m_current].Data() + writeIndex});
}

void FakeEngineHost::Tick()
{
    OutsideEvent event(*this);
    engine.OnGangTick();
}

HostEvent& FakeEngineHost::Record(HostCall call)
{
    HostEvent event;
    event.call = call;
    event.step = m_step;
    events.push_back(event);
    return events.back();
}

void FakeEngineHost::RequireRunning(const char* what)
{
    if (!running)
    {
        violations.push_back(std::string("after the end of the download: ") + what);
    }
}

void FakeEngineHost::RunInsideBox(const std::string& text)
{
    if (insideBox)
    {
        insideBox(text);
    }
}

void FakeEngineHost::WritePort(const std::uint8_t* bytes, std::size_t count)
{
    RequireRunning("write");
    Record(HostCall::Write).bytes.assign(bytes, bytes + count);
}

void FakeEngineHost::PurgePort()
{
    RequireRunning("purge");
    Record(HostCall::Purge);
}

void FakeEngineHost::ReopenChannel(std::uint32_t baudRate)
{
    RequireRunning("reopen");
    Record(HostCall::Reopen).value = baudRate;
    OpenChannel();
}

bool FakeEngineHost::SendBlock(Section section, std::uint32_t n)
{
    RequireRunning("block");
    const FakeSectionFile& file = (section == Section::MainCode) ? image : languagePack;
    if (n >= file.blockCount)
    {
        violations.push_back("block outside its file");
    }
    const Bytes data = file.Block(n);
    const bool blank =
        std::all_of(data.begin(), data.end(), [](std::uint8_t b) { return b == 0xFF; });

    HostEvent& event = Record(HostCall::SendBlock);
    event.section = section;
    event.value = n;
    event.written = !blank;
    if (!blank)
    {
        event.bytes.resize(4);
        FillBlockHeader(event.bytes.data(), n, section);
        event.bytes.insert(event.bytes.end(), data.begin(), data.end());
    }
    if (insideSendBlock)
    {
        insideSendBlock(section, n);
    }
    return !blank;
}

namespace
{

class FakeFileReader : public BlockDataReader
{
public:
    explicit FakeFileReader(const FakeSectionFile& file) : m_file(file) {}

    std::size_t Read(std::uint8_t* out, std::size_t count) override
    {
        const Bytes block = m_file.Block(m_next++);
        const std::size_t n = std::min(count, block.size());
        std::copy(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n), out);
        return n;
    }

private:
    const FakeSectionFile& m_file;
    std::uint32_t m_next = 0;
};

} // namespace

std::uint16_t FakeEngineHost::SectionCrc(Section section)
{
    Record(HostCall::SectionCrc).section = section;
    const FakeSectionFile& file = (section == Section::MainCode) ? image : languagePack;
    FakeFileReader reader(file);
    return CrcX25(reader, file.blockCount);
}

void FakeEngineHost::AddReportLine(const char* text)
{
    RequireRunning(text);
    Record(HostCall::Report).text = text;
}

void FakeEngineHost::HandsetIdentified(const ParameterRecord& record)
{
    RecordMilestone("identified " + std::string(record.mobile_id, sizeof record.mobile_id));
}

void FakeEngineHost::ProtocolChanged()
{
    RecordMilestone("protocol changed");
}

void FakeEngineHost::LastBlockAnswered()
{
    RecordMilestone("last block");
}

void FakeEngineHost::Concluded(DownloadVerdict verdict)
{
    RequireRunning("verdict");
    RecordMilestone("verdict " + std::to_string(static_cast<int>(verdict)));
}

void FakeEngineHost::RecordMilestone(const std::string& text)
{
    m_milestones.push_back({text, Count(HostCall::Report)});
}

std::vector<std::string> FakeEngineHost::MilestonesAndTheirLines() const
{
    const std::vector<std::string> reports = Reports();
    std::vector<std::string> seen;
    for (const Milestone& milestone : m_milestones)
    {
        seen.push_back(milestone.text + " / " +
                       (milestone.reportsBefore < reports.size() ? reports[milestone.reportsBefore]
                                                                 : std::string("-")));
    }
    return seen;
}

void FakeEngineHost::ShowMessage(const char* text)
{
    const std::string message = text;
    if (message == "Download Aborted!")
    {
        // The engine stops the download before it shows this box.
        if (running)
        {
            violations.push_back("abort box while the download still runs");
        }
        if (++m_abortBoxes > 1)
        {
            violations.push_back("second abort box");
        }
    }
    else
    {
        RequireRunning(text);
    }
    Record(HostCall::Message).text = message;
    RunInsideBox(message);
}

bool FakeEngineHost::AskOkCancel(const char* text)
{
    RequireRunning(text);
    Record(HostCall::AskOkCancel).text = text;
    RunInsideBox(text);
    return okCancelAnswer;
}

bool FakeEngineHost::AskYesNo(const char* text)
{
    RequireRunning(text);
    Record(HostCall::AskYesNo).text = text;
    RunInsideBox(text);
    return yesNoAnswer;
}

void FakeEngineHost::StartTimer(unsigned id, unsigned periodMs)
{
    RequireRunning("timer start");
    HostEvent& event = Record(HostCall::StartTimer);
    event.value = id;
    event.period = periodMs;
    timers.insert(id);
}

void FakeEngineHost::StopTimer(unsigned id)
{
    Record(HostCall::StopTimer).value = id;
    timers.erase(id);
}

void FakeEngineHost::RestartStopwatch()
{
    RequireRunning("stopwatch");
    Record(HostCall::RestartStopwatch);
}

void FakeEngineHost::ShowElapsedTime()
{
    Record(HostCall::ShowElapsedTime);
}

void FakeEngineHost::Pause(unsigned milliseconds)
{
    RequireRunning("pause");
    Record(HostCall::Pause).value = milliseconds;
}

void FakeEngineHost::ClearStartRequest()
{
    Record(HostCall::ClearStartRequest);
    startRequested = false;
}

void FakeEngineHost::StartStopDownload()
{
    Record(HostCall::StartStop);
    if (running)
    {
        running = false;
        m_buffers[m_current].Close();
        m_channelOpen = false;
        timers.clear();
        engine.ClearChecksums();
        startRequested = false;
    }
}

std::vector<std::string> FakeEngineHost::Reports() const
{
    std::vector<std::string> lines;
    for (const HostEvent& event : events)
    {
        if (event.call == HostCall::Report)
        {
            lines.push_back(event.text);
        }
    }
    return lines;
}

std::vector<std::string> FakeEngineHost::Messages() const
{
    std::vector<std::string> texts;
    for (const HostEvent& event : events)
    {
        if (event.call == HostCall::Message || event.call == HostCall::AskOkCancel ||
            event.call == HostCall::AskYesNo)
        {
            texts.push_back(event.text);
        }
    }
    return texts;
}

std::vector<Bytes> FakeEngineHost::Writes() const
{
    std::vector<Bytes> writes;
    for (const HostEvent& event : events)
    {
        if (event.call == HostCall::Write || (event.call == HostCall::SendBlock && event.written))
        {
            writes.push_back(event.bytes);
        }
    }
    return writes;
}

std::vector<std::uint32_t> FakeEngineHost::SentBlocks(Section section) const
{
    std::vector<std::uint32_t> blocks;
    for (const HostEvent& event : events)
    {
        if (event.call == HostCall::SendBlock && event.written && event.section == section)
        {
            blocks.push_back(event.value);
        }
    }
    return blocks;
}

std::size_t FakeEngineHost::Count(HostCall call) const
{
    return static_cast<std::size_t>(std::count_if(
        events.begin(), events.end(), [call](const HostEvent& e) { return e.call == call; }));
}

std::size_t FakeEngineHost::CountReport(const std::string& text) const
{
    const std::vector<std::string> lines = Reports();
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), text));
}

DownloadSetup MakeSetup(bool bootCode, bool mainCode, bool languagePack, const char* model)
{
    DownloadSetup setup;
    setup.bootCode = bootCode;
    setup.mainCode = mainCode;
    setup.languagePack = languagePack;
    std::strncpy(setup.modelName, model, sizeof setup.modelName - 1);
    std::memcpy(setup.imageModel, "R 47", 4);
    std::memcpy(setup.lpModel, "RT47X   ", 8);
    return setup;
}

Bytes Concat(const Bytes& a, const Bytes& b)
{
    Bytes joined = a;
    joined.insert(joined.end(), b.begin(), b.end());
    return joined;
}

bool PurgeFollowsWrite(const std::vector<HostEvent>& events, bool strict)
{
    unsigned step = 0;
    bool written = false;
    for (std::size_t i = 0; i < events.size(); ++i)
    {
        const HostEvent& event = events[i];
        if (event.step != step)
        {
            step = event.step;
            written = false;
        }
        if (event.call == HostCall::Write || (event.call == HostCall::SendBlock && event.written))
        {
            written = true;
        }
        else if (event.call == HostCall::Pause && !strict)
        {
            written = false;
        }
        else if (event.call == HostCall::Purge && written)
        {
            const bool aborting = i + 1 < events.size() && events[i + 1].call == HostCall::Report &&
                                  events[i + 1].text == "Download Aborted!";
            if (strict || !aborting)
            {
                return true;
            }
        }
    }
    return false;
}
