// A download session on the fake window and machine, with release files in a folder of its own.
#pragma once

#include "download/download_session.h"
#include "fake_download_view.h"
#include "release_content.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

class SessionTest : public ::testing::Test
{
protected:
    SessionTest();
    ~SessionTest() override;

    // A file of the test's folder with this content, or of this length with nothing written
    // (a sparse file, read as zeros).
    std::string File(const std::string& name, const std::string& content);
    std::string SparseFile(const std::string& name, std::uint64_t length);
    void Truncate(const std::string& path, std::uint64_t length);

    // Choices that pass every check once the paths name release files: COM1, the first rate.
    static DownloadChoices Choices(const std::string& imagePath, const std::string& lpPath = "");
    // Presses Start/Stop with these choices.
    void Press(const DownloadChoices& choices) { session.OnStartStop(choices); }
    // Starts a download of this image alone, asserting that it runs.
    void StartImage(const std::string& content);
    void StartLanguagePack(const std::string& content);
    // Hands the queued notifications to the session, as the window's message loop does.
    void Pump();

    ScratchFolder scratch{"tervolo_session"};
    const std::string folder = scratch.Path();
    FakeDownloadView view;
    FakeDownloadPlatform platform;
    CDownloadSession session{view, platform};
};

// Text of a frame as the port sees it.
Bytes Frame(std::uint8_t high, std::uint8_t low, const std::string& data);
