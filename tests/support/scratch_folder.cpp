#include "scratch_folder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

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
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ScratchFolder::ScratchFolder(const std::string& prefix)
{
    // A name no other test, of this program or another, has taken.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt)
    {
        const std::string path = TempFolder() + prefix + "-" + std::to_string(random());
        std::error_code error;
        if (fs::create_directory(path, error))
            m_path = path;
    }
}

ScratchFolder::ScratchFolder(const AtPath& at) : m_path(at.path)
{
    std::error_code ignored;
    fs::create_directory(m_path, ignored);
}

ScratchFolder::~ScratchFolder()
{
    if (m_path.empty())
        return;
    std::error_code ignored;
    // Windows deletes no read-only file.
    for (fs::recursive_directory_iterator it(m_path, ignored), end; it != end;
         it.increment(ignored))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove_all(m_path, ignored);
}

std::string ScratchFolder::File(const std::string& name) const
{
    return m_path + static_cast<char>(fs::path::preferred_separator) + name;
}

std::string ScratchFolder::Write(const std::string& name, const std::string& content) const
{
    const std::string path = File(name);
    WriteFile(path, content);
    return path;
}
