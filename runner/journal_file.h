// The journal's file: every line goes in whole by one append, so lines of several ports and of
// several running programs sharing the file never interleave or tear. POSIX opens it O_APPEND;
// Windows opens it for FILE_APPEND_DATA only, which makes each write land at the end as a whole.
#pragma once

#include <cstdint>
#include <string>

class CAppendFile
{
public:
    CAppendFile() = default;
    ~CAppendFile();
    CAppendFile(const CAppendFile&) = delete;
    CAppendFile& operator=(const CAppendFile&) = delete;

    // Opens (creating if need be) for appending; false with `error` set when it cannot.
    bool Open(const std::string& path, std::string& error);
    // One write of the whole text at the file's end; false when it did not all go in.
    bool Append(const std::string& text);

private:
    static constexpr std::intptr_t kNoFile = -1; // also INVALID_HANDLE_VALUE
    std::intptr_t m_file = kNoFile;
};

// The name of this computer, for the journal.
std::string HostName();
