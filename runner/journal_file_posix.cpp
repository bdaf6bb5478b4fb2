#include "runner/journal_file.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{
constexpr mode_t kJournalMode = 0644;
} // namespace

CAppendFile::~CAppendFile()
{
    if (m_file != kNoFile)
    {
        close(static_cast<int>(m_file));
    }
}

bool CAppendFile::Open(const std::string& path, std::string& error)
{
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kJournalMode);
    if (fd < 0)
    {
        error = std::strerror(errno);
        return false;
    }
    m_file = fd;
    return true;
}

bool CAppendFile::Append(const std::string& text)
{
    ssize_t written = -1;
    do
    {
        written = write(static_cast<int>(m_file), text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    // A short write (a full disk) is not retried: the rest would land after other writers'.
    return written == static_cast<ssize_t>(text.size());
}

std::string HostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0)
    {
        return std::string();
    }
    return name;
}
