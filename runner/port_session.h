// One port's downloads: the EngineHost of the programs that run ports without a window of the
// engine's. Each port has its own engine on its own thread, run by its event loop (port_loop.h);
// what happens goes to its observer as typed events (port_observer.h) and how each download went
// into its record (download_record.h).
#pragma once

#include "protocol/download_engine.h"
#include "runner/download_job.h"
#include "runner/download_record.h"
#include "runner/port_loop.h"
#include "runner/port_observer.h"

#include <memory>
#include <string>
#include <vector>

class CPortSession : private EngineHost, private PortLoopHandler
{
public:
    // debugLogPath: the channel's log (see ChannelOpener). `observer` hears every event on the
    // port's thread and outlives the session.
    CPortSession(std::string port, const DownloadJob& job, ChannelOpener opener,
                 ReaderCheck readerCheck, PortObserver& observer, std::string debugLogPath);
    ~CPortSession() override;
    CPortSession(const CPortSession&) = delete;
    CPortSession& operator=(const CPortSession&) = delete;

    const std::string& Port() const { return m_port; }
    // The body of the port's thread: one download, or station mode until stopped or done. Whatever
    // is thrown ends the port's downloads with kExitAborted and the reason.
    void Run();
    // The port's thread could not be started: the port ends so, with `reason`.
    void Fail(const std::string& reason);
    // Any thread: stop the running download as the Stop button does, and serve no more.
    void RequestStop() { m_loop.RequestStop(); }
    // After Run.
    const std::vector<DownloadResult>& Results() const { return m_results; }

private:
    // EngineHost (session_host.cpp).
    bool DownloadRunning() const override { return m_loop.Running(); }
    void WritePort(const std::uint8_t* bytes, std::size_t count) override;
    void WriteSignal(const std::uint8_t* bytes, std::size_t count) override;
    void PurgePort() override { m_loop.Purge(); }
    void ReopenChannel(std::uint32_t baudRate) override { OpenAgain(baudRate, true); }
    bool SendBlock(Section section, std::uint32_t block) override;
    std::uint16_t SectionCrc(Section section) override;
    void AddReportLine(const char* text) override { Line(text); }
    void HandsetIdentified(const ParameterRecord& record) override;
    void ProtocolChanged() override { m_record.HandsetAnswered(); }
    void LastBlockAnswered() override;
    void Concluded(DownloadVerdict verdict) override;
    void ShowMessage(const char* text) override;
    bool AskOkCancel(const char* text) override;
    bool AskYesNo(const char* text) override;
    void StartTimer(unsigned id, unsigned periodMs) override { m_loop.StartTimer(id, periodMs); }
    void StopTimer(unsigned id) override { m_loop.StopTimer(id); }
    void RestartStopwatch() override { m_observer.StopwatchRestarted(); }
    void ShowElapsedTime() override { m_observer.ElapsedTick(m_record.Transfer()); }
    void Pause(unsigned milliseconds) override;
    void ClearStartRequest() override {}
    void StartStopDownload() override;

    // PortLoopHandler (port_session.cpp).
    void OnBytes(const ReceivedBytes& received) override;
    void OnTimerTick(unsigned timerId) override;
    void OnChannelLost(const std::string& reason) override;
    void OnOpenFailure(const std::string& text) override;
    void OnSilence() override;
    void OnReaderEnded() override;
    bool AwaitingHandset() const override;

    // A line of the report; the last one before an abort is its reason.
    void Line(const std::string& text);
    // A line that is no reason for anything (a block's progress).
    void PlainLine(const std::string& text);
    // A failure of the channel; it is a reason like a line.
    void Error(const std::string& text);
    // The phase the engine is in now, told when it changed.
    void NotePhase();
    void NoteBlock(BlockEvent::Stage stage);

    void RunDownloads();
    DownloadResult RunDownload();
    // RunDownload with its wall-clock times.
    DownloadResult TimedDownload();
    void Journal(const DownloadResult& result);
    DownloadResult Finish();
    void StopDownload();
    // The channel opened again at `baudRate`; a port that does not open ends the download.
    void OpenAgain(std::uint32_t baudRate, bool freshBuffer);
    // The block's data into the frame; false when the language pack could not be read.
    bool ReadBlock(Section section, std::uint32_t block, std::uint8_t* data) const;
    void WriteBlockFrame();

    const std::string m_port;
    const DownloadJob& m_job;
    PortObserver& m_observer;
    CDownloadRecord m_record;
    CDownloadEngine m_engine;
    CPortLoop m_loop; // after what it hands on to: its channel's reader ends first
    std::vector<std::uint8_t> m_frame;
    std::vector<DownloadResult> m_results;

    // Per download.
    std::string m_lastLine;
    std::string m_sendingLine;
    BlockEvent m_block; // the block going out
    PortPhase m_phase = PortPhase::Signalling;
};
