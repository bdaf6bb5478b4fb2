// One port's downloads: the console program's EngineHost. Each port has its own engine on its
// own thread, run by its event loop (port_loop.h); what it shows goes through its reporter
// (port_reporter.h) and how each download went into its record (download_record.h).
#pragma once

#include "cli/console.h"
#include "cli/download_record.h"
#include "cli/port_loop.h"
#include "cli/port_reporter.h"
#include "cli/release_image.h"
#include "protocol/download_engine.h"

#include <memory>
#include <string>
#include <vector>

class CJournal;

// What every port's download shares, read-only: the choices and the release files.
struct DownloadJob
{
    DownloadSetup setup; // sections, rate, model, Gang Mode, block counts and model fields
    std::shared_ptr<const CReleaseImage> image; // null without main code
    std::shared_ptr<const CReleaseImage> lp;    // null without a language pack
    bool yes = false;
    bool station = false;
    unsigned count = 0;
    double timeoutSeconds = 0.0;
    CJournal* journal = nullptr; // --journal: a line per download
};

class CPortSession : private EngineHost, private PortLoopHandler
{
public:
    // logPath: the report's log (none when empty); debugLogPath: the channel's (see
    // ChannelOpener).
    CPortSession(std::string port, std::size_t slot, const DownloadJob& job, ChannelOpener opener,
                 ReaderCheck readerCheck, CConsole& console, const std::string& logPath,
                 std::string debugLogPath);
    ~CPortSession() override;
    CPortSession(const CPortSession&) = delete;
    CPortSession& operator=(const CPortSession&) = delete;

    // False when the log file could not be created (the session then must not run).
    bool LogOpen() const { return m_reporter.LogOpen(); }
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
    void AddReportLine(const char* text) override { m_reporter.Line(text); }
    void HandsetIdentified(const ParameterRecord& record) override;
    void ProtocolChanged() override { m_record.HandsetAnswered(); }
    void LastBlockAnswered() override { m_record.LastBlockAnswered(); }
    void Concluded(DownloadVerdict verdict) override;
    void ShowMessage(const char* text) override { m_reporter.Message(text); }
    bool AskOkCancel(const char* text) override;
    bool AskYesNo(const char* text) override;
    void StartTimer(unsigned id, unsigned periodMs) override { m_loop.StartTimer(id, periodMs); }
    void StopTimer(unsigned id) override { m_loop.StopTimer(id); }
    void RestartStopwatch() override { m_reporter.RestartStopwatch(); }
    void ShowElapsedTime() override { m_reporter.UpdateStatus(true); }
    void Pause(unsigned milliseconds) override;
    void ClearStartRequest() override {}
    void StartStopDownload() override;

    // PortLoopHandler (port_session.cpp).
    void OnBytes(const ReceivedBytes& received) override { m_engine.OnSerialData(received); }
    void OnTimerTick(unsigned timerId) override { m_engine.OnTimerTick(timerId); }
    void OnChannelLost(const std::string& reason) override;
    void OnOpenFailure(const std::string& text) override;
    void OnSilence() override;
    void OnReaderEnded() override;
    bool AwaitingHandset() const override;

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
    CDownloadRecord m_record;
    CPortReporter m_reporter;
    CDownloadEngine m_engine;
    CPortLoop m_loop; // after what it hands on to: its channel's reader ends first
    std::vector<std::uint8_t> m_frame;
    std::vector<DownloadResult> m_results;
};
