// One download at a time, from the Start button to the verdict: the channel, the release files,
// the frame being sent, the engine and what its host does. The session reaches the window only
// through DownloadView, and the machine only through DownloadPlatform; the window forwards its
// Start button, timer ticks and serial notifications here.
#pragma once

#include "download/download_choices.h"
#include "download/download_platform.h"
#include "download/download_view.h"
#include "base/unique_file.h"
#include "protocol/download_engine.h"
#include "protocol/frames.h"
#include "protocol/model_check.h"
#include "serial/serial_channel.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class CDownloadSession : private EngineHost, private serial::FailureReport
{
public:
    CDownloadSession(DownloadView& view, DownloadPlatform& platform);
    ~CDownloadSession() override;
    CDownloadSession(const CDownloadSession&) = delete;
    CDownloadSession& operator=(const CDownloadSession&) = delete;

    // The Start/Stop button: stops a running download, or starts one with these choices.
    void OnStartStop(const DownloadChoices& choices);
    // Ends a running download, then starts one if the operator asked for it.
    void StartStopDownload() override;
    // A notification of the channel's reader: count bytes at chunk, inside its buffer.
    void OnSerialData(std::size_t count, const std::uint8_t* chunk);
    // A failure of the channel's reader, handed to the window's thread to be shown there.
    void OnChannelFailure(const char* text, const char* caption) { ReportFailure(text, caption); }
    void OnTimer(unsigned timerId);
    // The window is going: files and channel are closed, nothing is shown.
    void Shutdown();

    bool Running() const { return m_running; }
    std::uint32_t MainBlockCount() const { return m_mainBlockCount; }
    std::uint32_t LpBlockCount() const { return m_lpBlockCount; }
    const CDownloadEngine& Engine() const { return m_engine; }

    // Block senders: the frame of one block, its progress, and one write; false for a blank
    // block, which is not sent.
    bool SendMainBlock(std::uint32_t block);
    bool SendLpBlock(std::uint32_t block);

private:
    // Start and stop (start_stop.cpp).
    void StopDownload();
    void StartDownload();
    bool CheckStartChoices();
    bool CheckFile(char* path, bool isImage);
    bool OpenReleaseFile(bool isImage);
    bool OpenChannel(std::uint32_t baudRate);
    void CloseChannel();
    void ShowMessage(const char* text) override;

    // Block senders (block_sender.cpp).
    // The bar, its box and the "Sending Block" line of a block about to go out.
    void ShowBlockProgress(Section section, std::uint32_t block, std::uint32_t blockCount);
    void WriteBlockFrame();

    // EngineHost (download_session.cpp).
    bool DownloadRunning() const override { return m_running; }
    void WritePort(const std::uint8_t* bytes, std::size_t count) override;
    void PurgePort() override;
    void ReopenChannel(std::uint32_t baudRate) override;
    bool SendBlock(Section section, std::uint32_t block) override;
    std::uint16_t SectionCrc(Section section) override;
    void AddReportLine(const char* text) override;
    bool AskOkCancel(const char* text) override;
    bool AskYesNo(const char* text) override;
    void StartTimer(unsigned id, unsigned periodMs) override;
    void StopTimer(unsigned id) override;
    void RestartStopwatch() override;
    void ShowElapsedTime() override;
    void Pause(unsigned milliseconds) override;
    void ClearStartRequest() override;

    // serial::FailureReport: the channel's own boxes, owner-less with its caption; the window
    // ends the program where the channel cannot go on.
    void ReportFailure(const char* text, const char* caption) override;
    void EndProgram(int exitCode) override { m_view.EndProgram(exitCode); }

    DownloadView& m_view;
    DownloadPlatform& m_platform;
    DownloadChoices m_choices;     // as given at the last press of Start
    bool m_startRequested = false; // flipped by the Start button; true while a download runs
    bool m_running = false;        // a download is in progress
    std::unique_ptr<SerialChannel> m_channel;
    unsigned m_channelNumber = 0;        // counts the channels opened
    std::uint32_t m_nextChunkOffset = 0; // where the channel's next chunk must start
    unsigned m_serialDataDepth = 0;      // notifications being handled, nested by boxes
    std::size_t m_handledBytes = 0;      // done with, not yet told to the channel
    UniqueFile m_imageFile;
    UniqueFile m_lpFile;
    std::uint32_t m_mainBlockCount = 0;
    std::uint32_t m_lpBlockCount = 0;
    char m_imageModel[kImageModelSize] = {};
    char m_lpModel[kLpModelSize] = {};
    std::uint8_t m_blockFrame[kBlockFrameSize] = {}; // the frame being sent, reused for every block
    CDownloadEngine m_engine{*this};
};
