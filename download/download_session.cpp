// The session as the engine's host: the channel, the files' checksums, the report, questions,
// timers and the clock.
#include "download/download_session.h"

#include "base/app_title.h"
#include "download/progress_text.h"
#include "protocol/crc_x25.h"

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

void CDownloadSession::OnSerialData(std::size_t count, const std::uint8_t* chunk)
{
    if (m_channel == nullptr)
    {
        return; // posted by a channel that has been closed since
    }
    ReceivedBytes received;
    received.bufferStart = m_channel->RxBufferStart();
    received.chunk = chunk;
    received.count = count;
    received.endIndex = m_channel->RxWriteIndex();
    m_engine.OnSerialData(received);
}

void CDownloadSession::OnTimer(unsigned timerId)
{
    switch (timerId)
    {
    case kSignalTimer:
        // Not checked: the next tick writes it again.
        WritePort(kSignalCommand, kCommandSize);
        break;
    case kElapsedTimer:
        ShowElapsedTime();
        break;
    case kGangTimer:
        m_engine.OnGangTick();
        ShowElapsedTime();
        break;
    default:
        break;
    }
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
