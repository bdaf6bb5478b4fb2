#include "scratch_folder.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#endif

namespace
{
#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif
} // namespace

std::string TempFolder()
{
#ifdef _WIN32
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return folder;
#else
    return "/tmp/";
#endif
}

bool WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

ScratchFolder::ScratchFolder(const std::string& prefix)
{
#ifdef _WIN32
    // Tests of one program run one after another; the process id keeps programs apart.
    for (unsigned n = 0; n < 1000 && m_path.empty(); ++n)
    {
        const std::string path = TempFolder() + prefix + "-" +
                                 std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n);
        if (CreateDirectoryA(path.c_str(), nullptr))
            m_path = path;
    }
#else
    std::string pattern = TempFolder() + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr)
        m_path = pattern;
#endif
}

ScratchFolder::ScratchFolder(const AtPath& at) : m_path(at.path)
{
    std::error_code ignored;
    std::filesystem::create_directory(m_path, ignored);
}

ScratchFolder::~ScratchFolder()
{
    if (m_path.empty())
    {
        return;
    }
    namespace fs = std::filesystem;
    std::error_code ignored;
    // Windows deletes no read-only file.
    for (fs::recursive_directory_iterator it(m_path, ignored), end; it != end;
         it.increment(ignored))
    {
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(m_path, ignored);
}

std::string ScratchFolder::File(const std::string& name) const
{
    return m_path + kSeparator + name;
}

std::string ScratchFolder::Write(const std::string& name, const std::string& content) const
{
    const std::string path = File(name);
    WriteFile(path, content);
    return path;
}
