// What the channel's tests check over the simulator's pty and over the driver model alike: test
// bytes, byte-string comparison, the notifications against the buffer rules, the reader thread,
// a folder that stands in the log's way.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "notification_window.h"

// Distinct bytes for each stream (seed) and position, covering all 256 values.
std::string Pattern(std::size_t length, unsigned seed);
std::vector<std::uint8_t> AsBytes(const std::string& text);
std::string AsString(const std::vector<BYTE>& bytes);

// Compares byte strings and names the first difference rather than printing kilobytes.
::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual);

std::uintptr_t OffsetIn(const BYTE* buffer, const BYTE* address);

// Replays the notifications against the buffer rules: each must name the stretch at the write
// position that the counts before it lead to (back to the start once 2800 is reached), and lie
// wholly inside the buffer.
::testing::AssertionResult FollowsWriteIndex(const std::vector<Notification>& notifications,
                                             const BYTE* buffer, std::uint32_t* finalIndex);

// A duplicate of the reader's handle, to look at the thread after Close() has closed its own.
class ThreadWatch
{
public:
    explicit ThreadWatch(HANDLE thread);
    ~ThreadWatch();
    ThreadWatch(const ThreadWatch&) = delete;
    ThreadWatch& operator=(const ThreadWatch&) = delete;

    bool Valid() const { return m_handle != nullptr; }
    bool Ended() const { return WaitForSingleObject(m_handle, 0) == WAIT_OBJECT_0; }
    DWORD ExitCode() const;

private:
    HANDLE m_handle;
};

// Removes a directory made for one test.
class ScopedDirectory
{
public:
    explicit ScopedDirectory(std::string path);
    ~ScopedDirectory();
    ScopedDirectory(const ScopedDirectory&) = delete;
    ScopedDirectory& operator=(const ScopedDirectory&) = delete;

    bool Created() const { return m_created; }

private:
    std::string m_path;
    bool m_created;
};
