#include "cli_test_support.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace cli::test
{
namespace
{
// A blank block, which is stepped over, and one the handset must still count.
std::vector<std::size_t> BlankBlocks(std::uint32_t blocks)
{
    return blocks > 3 ? std::vector<std::size_t>{3} : std::vector<std::size_t>{};
}

std::vector<std::uint8_t> WriteRelease(const std::string& path, const std::string& content)
{
    WriteFile(path, content);
    return ReleaseBlocks(content);
}
} // namespace

std::vector<std::uint8_t> WriteImage(const std::string& path, std::uint32_t blocks,
                                     const std::string& model, unsigned seed)
{
    return WriteRelease(path, RandomImage(blocks, model, seed, BlankBlocks(blocks)));
}

std::vector<std::uint8_t> WriteLanguagePack(const std::string& path, std::uint32_t blocks,
                                            const std::string& model, unsigned seed)
{
    return WriteRelease(path, RandomLanguagePack(blocks, model, seed, BlankBlocks(blocks)));
}

Handset::Handset(const std::string& folder, const std::string& name)
    : m_folder(folder), m_port(folder + "/" + name)
{
    sim::SimConfig config;
    config.linkPath = m_port;
    config.controlPort = 0;
    m_simulator = std::make_unique<sim::test::RunningSimulator>(config);
    m_connected = m_simulator->Started() && m_control.Connect(m_simulator->Get().ControlPort());
}

std::vector<std::uint8_t> Handset::Flash(const std::string& section)
{
    const std::string path = m_port + "." + section + ".dump";
    if (Ask("DUMP " + section + " " + path).rfind("OK", 0) != 0)
    {
        return {};
    }
    const std::string text = ReadFile(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

long Handset::Stat(const std::string& key)
{
    const std::string stats = Ask("STATS");
    const std::size_t at = stats.find(" " + key + "=");
    return at == std::string::npos ? -1 : std::stol(stats.substr(at + key.size() + 2));
}

CliRun::CliRun(const std::string& folder, std::vector<std::string> args)
{
    static int serial = 0;
    ++serial;
    m_outPath = folder + "/out" + std::to_string(serial) + ".txt";
    m_errPath = folder + "/err" + std::to_string(serial) + ".txt";
    args.insert(args.begin(), TERVOLO_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args)
    {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
    {
        m_pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

CliRun::~CliRun()
{
    if (m_pid > 0)
    {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

int CliRun::Wait(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_pid > 0)
    {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid)
        {
            m_pid = -1;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline)
        {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_status;
}

void CliRun::Signal(int signal)
{
    if (m_pid > 0)
    {
        ::kill(m_pid, signal);
    }
}

std::string CliRun::Out() const
{
    return ReadFile(m_outPath);
}

std::string CliRun::Err() const
{
    return ReadFile(m_errPath);
}

bool HasLine(const std::string& text, const std::string& line)
{
    std::istringstream lines(text);
    std::string each;
    while (std::getline(lines, each))
    {
        if (each == line)
        {
            return true;
        }
    }
    return false;
}

} // namespace cli::test
