#include "channel_checks.h"

#include <utility>

namespace
{
// The buffer rules the download engine relies on.
constexpr std::uintptr_t kBufferBytes = 3000;
constexpr std::uint32_t kWrapIndex = 2800;
} // namespace

std::string Pattern(std::size_t length, unsigned seed)
{
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((seed * 31 + i * 7 + i / 256) & 0xFF);
    return bytes;
}

std::vector<std::uint8_t> AsBytes(const std::string& text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::string AsString(const std::vector<BYTE>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual)
{
    if (expected == actual)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    auto byteAt = [](const std::string& bytes, std::size_t i)
    { return i < bytes.size() ? std::to_string(static_cast<unsigned char>(bytes[i])) : "end"; };
    return ::testing::AssertionFailure()
           << "expected " << expected.size() << " bytes, got " << actual.size()
           << "; first difference at " << at << ": expected " << byteAt(expected, at) << ", got "
           << byteAt(actual, at);
}

std::uintptr_t OffsetIn(const BYTE* buffer, const BYTE* address)
{
    return reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(buffer);
}

::testing::AssertionResult FollowsWriteIndex(const std::vector<Notification>& notifications,
                                             const BYTE* buffer, std::uint32_t* finalIndex)
{
    std::uint32_t index = 0;
    for (std::size_t i = 0; i < notifications.size(); ++i)
    {
        const Notification& n = notifications[i];
        const std::uintptr_t offset = OffsetIn(buffer, n.address);
        if (offset != index)
            return ::testing::AssertionFailure()
                   << "notification " << i << " (" << n.count << " bytes) at offset " << offset
                   << ", expected " << index;
        if (!n.insideBuffer || offset + n.count > kBufferBytes)
            return ::testing::AssertionFailure()
                   << "notification " << i << ": " << n.count << " bytes at offset " << offset
                   << " run past the buffer";
        index += n.count;
        if (index >= kWrapIndex)
            index = 0;
    }
    if (finalIndex != nullptr)
        *finalIndex = index;
    return ::testing::AssertionSuccess();
}

ThreadWatch::ThreadWatch(HANDLE thread) : m_handle(nullptr)
{
    DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &m_handle, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
}

ThreadWatch::~ThreadWatch()
{
    if (m_handle != nullptr)
        CloseHandle(m_handle);
}

DWORD ThreadWatch::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeThread(m_handle, &code);
    return code;
}

ScopedDirectory::ScopedDirectory(std::string path) : m_path(std::move(path))
{
    m_created = CreateDirectoryA(m_path.c_str(), nullptr) != FALSE;
}

ScopedDirectory::~ScopedDirectory()
{
    if (m_created)
        RemoveDirectoryA(m_path.c_str());
}
