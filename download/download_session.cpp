// The session as the engine's host: the channel, the files' checksums, the report, questions,
// timers and the clock.
#include "download/download_session.h"

#include "base/app_title.h"
#include "download/progress_text.h"
#include "protocol/crc_x25.h"
#include "serial/receive_buffer.h"

namespace
{
const char kLostDataLine[] = "Data received from MS was lost!";
} // namespace

CDownloadSession::CDownloadSession(DownloadView& view, DownloadPlatform& platform)
    : m_view(view), m_platform(platform)
{
}

CDownloadSession::~CDownloadSession()
{
    Shutdown();
}

void CDownloadSession::Shutdown()
{
    m_imageFile.reset();
    m_lpFile.reset();
    CloseChannel();
}

// The reader stores each chunk right after the one before it and holds back while the window
// has not done with them; a chunk anywhere else means a notification was lost, and the bytes
// the engine would read may have been overwritten.
void CDownloadSession::OnSerialData(std::size_t count, const std::uint8_t* chunk)
{
    if (m_channel == nullptr)
    {
        return; // posted by a channel that has been closed since
    }
    const std::uint8_t* const start = m_channel->RxBufferStart();
    if (chunk < start || static_cast<std::size_t>(chunk - start) != m_nextChunkOffset)
    {
        AddReportLine(kLostDataLine);
        m_engine.Abort();
        return;
    }
    m_nextChunkOffset =
        serial::NextWriteIndex(m_nextChunkOffset, static_cast<std::uint32_t>(count));
    ReceivedBytes received;
    received.bufferStart = start;
    received.chunk = chunk;
    received.count = count;
    received.endIndex = m_channel->RxWriteIndex();
    // A box the engine shows runs the window's message loop, which hands on later chunks while
    // this one is still being read: the reader hears of them all once the outermost returns.
    const unsigned channelNumber = m_channelNumber;
    ++m_serialDataDepth;
    m_engine.OnSerialData(received);
    --m_serialDataDepth;
    if (m_channel == nullptr || channelNumber != m_channelNumber)
    {
        return; // closed or opened again meanwhile: the new channel owes this chunk nothing
    }
    m_handledBytes += count;
    if (m_serialDataDepth == 0)
    {
        m_channel->ChunksHandled(m_handledBytes);
        m_handledBytes = 0;
    }
}

void CDownloadSession::OnTimer(unsigned timerId)
{
    m_engine.OnTimerTick(timerId);
}

void CDownloadSession::WritePort(const std::uint8_t* bytes, std::size_t count)
{
    if (m_channel != nullptr)
    {
        m_channel->Write(bytes, count);
    }
}

void CDownloadSession::PurgePort()
{
    if (m_channel != nullptr)
    {
        m_channel->Purge();
    }
}

void CDownloadSession::ReopenChannel(std::uint32_t baudRate)
{
    CloseChannel();
    if (!OpenChannel(baudRate))
    {
        // The channel has reported the port; without it the download could only wait for ever.
        m_engine.Abort();
    }
}

bool CDownloadSession::SendBlock(Section section, std::uint32_t block)
{
    return section == Section::MainCode ? SendMainBlock(block) : SendLpBlock(block);
}

std::uint16_t CDownloadSession::SectionCrc(Section section)
{
    if (section == Section::MainCode)
    {
        return m_imageFile != nullptr ? CrcX25(m_imageFile.get(), m_mainBlockCount) : 0;
    }
    return m_lpFile != nullptr ? CrcX25(m_lpFile.get(), m_lpBlockCount) : 0;
}

void CDownloadSession::AddReportLine(const char* text)
{
    m_view.AddReportLine(text);
}

void CDownloadSession::ShowMessage(const char* text)
{
    m_view.ShowBox({text, nullptr, BoxButtons::Ok, BoxOwner::Window});
}

// The engine's questions hold the whole program, not only the window.
bool CDownloadSession::AskOkCancel(const char* text)
{
    return m_view.ShowBox({text, kAppTitle, BoxButtons::OkCancel, BoxOwner::NoneTaskModal}) ==
           BoxAnswer::Ok;
}

bool CDownloadSession::AskYesNo(const char* text)
{
    return m_view.ShowBox({text, kAppTitle, BoxButtons::YesNo, BoxOwner::NoneTaskModal}) ==
           BoxAnswer::Yes;
}

void CDownloadSession::ReportFailure(const char* text, const char* caption)
{
    m_view.ShowBox({text, caption, BoxButtons::Ok, BoxOwner::None});
}

void CDownloadSession::StartTimer(unsigned id, unsigned periodMs)
{
    m_view.StartTimer(id, periodMs);
}

void CDownloadSession::StopTimer(unsigned id)
{
    m_view.StopTimer(id);
}

void CDownloadSession::RestartStopwatch()
{
    m_platform.RestartStopwatch();
}

void CDownloadSession::ShowElapsedTime()
{
    m_view.ShowDownloadTime(ElapsedTimeText(m_platform.ElapsedSeconds()).c_str());
}

void CDownloadSession::Pause(unsigned milliseconds)
{
    m_platform.Pause(milliseconds);
}

void CDownloadSession::ClearStartRequest()
{
    m_startRequested = false;
}
