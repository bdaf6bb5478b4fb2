#include "fake_download_view.h"

#include <sys/stat.h>

#include <cstring>

namespace
{
constexpr char kReleaseExtension[] = ".rel";

class FakeChannel : public SerialChannel
{
public:
    explicit FakeChannel(ChannelRecord& record) : m_record(record) {}
    ~FakeChannel() override { Close(); }

    bool IsOpen() const override { return m_record.open && !m_record.closed; }
    std::size_t Write(const std::uint8_t* bytes, std::size_t count) override
    {
        {
            NotCounted scope;
            m_record.writes.emplace_back(bytes, bytes + count);
        }
        return IsOpen() ? std::min(count, m_record.writeLimit) : 0;
    }
    void Purge() override { ++m_record.purges; }
    const std::uint8_t* RxBufferStart() const override { return m_record.buffer.Data(); }
    std::uint32_t RxWriteIndex() const override { return m_record.writeIndex; }
    void ChunksHandled(std::size_t count) override { m_record.handledBytes += count; }
    void Close() override
    {
        if (!m_record.closed)
        {
            m_record.closed = true;
            // The buffer goes with the channel: a late read of it faults.
            m_record.buffer.Close();
        }
    }

private:
    ChannelRecord& m_record;
};
} // namespace

std::vector<std::string> FakeDownloadView::BoxTexts() const
{
    std::vector<std::string> texts;
    for (const ShownBox& box : boxes)
    {
        texts.push_back(box.text);
    }
    return texts;
}

void FakeDownloadView::ReplaceLastReportLine(const char* text)
{
    NotCounted scope;
    if (!report.empty())
    {
        report.pop_back();
    }
    report.push_back(text);
}

void FakeDownloadView::SetProgressRange(ProgressBar bar, std::uint16_t lower, std::uint16_t upper)
{
    bars[bar].lower = lower;
    bars[bar].upper = upper;
}

void FakeDownloadView::ResetProgress()
{
    for (ProgressBar bar :
         {ProgressBar::LanguagePack, ProgressBar::MainCode, ProgressBar::BootCode})
    {
        percent[bar] = "0%";
        bars[bar].position = 0;
    }
}

BoxAnswer FakeDownloadView::ShowBox(const BoxRequest& box)
{
    NotCounted scope;
    boxes.push_back(
        ShownBox{box.text, box.caption != nullptr ? box.caption : "", box.buttons, box.owner});
    if (whileNextBoxOpen)
    {
        const std::function<void()> run = std::move(whileNextBoxOpen);
        whileNextBoxOpen = nullptr;
        run();
    }
    if (!answers.empty())
    {
        const BoxAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return box.buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
}

bool FakeDownloadView::CheckDownloadFile(FileCheckResult& result, char* path, bool)
{
    const std::size_t length = std::strlen(path);
    const std::size_t extension = sizeof kReleaseExtension - 1;
    if (length >= extension && std::strcmp(path + length - extension, kReleaseExtension) == 0)
    {
        result = FileCheckDone;
        return true;
    }
    result = FileCheckUnknownExtension;
    return false;
}

void FakeDownloadPlatform::Arrive(const Bytes& bytes)
{
    ChannelRecord& channel = Channel();
    std::size_t done = 0;
    do
    {
        const Bytes rest(bytes.begin() + static_cast<std::ptrdiff_t>(done), bytes.end());
        const StoredRead read = StoreRead(channel.buffer.Data(), channel.writeIndex, rest);
        done += read.count;
        queued.push_back(read);
    } while (done < bytes.size());
}

std::unique_ptr<SerialChannel> FakeDownloadPlatform::OpenChannel(const char* portName,
                                                                 std::uint32_t baudRate,
                                                                 serial::FailureReport& report)
{
    channels.push_back(std::make_unique<ChannelRecord>(portName, baudRate));
    if (failingPorts.count(portName) != 0)
    {
        channels.back()->open = false;
        report.ReportFailure("Failed to open port", "CSerialIO");
    }
    return std::make_unique<FakeChannel>(*channels.back());
}

void FakeDownloadPlatform::DropQueuedNotifications()
{
    droppedNotifications += queued.size();
    queued.clear();
}

bool FakeDownloadPlatform::FileExists(const char* path)
{
    struct stat info = {};
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

bool FakeDownloadPlatform::SharedReadLength(const char* path, std::uint64_t& length)
{
    struct stat info = {};
    if (lockedFiles.count(path) != 0 || stat(path, &info) != 0)
    {
        return false;
    }
    length = static_cast<std::uint64_t>(info.st_size);
    return true;
}

void FakeDownloadPlatform::RestartStopwatch()
{
    ++stopwatchRestarts;
    elapsedSeconds = 0;
}
