#include "cli_test_support.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <random>
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
constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kBlockSize = 1024;
constexpr std::size_t kImageProductOffset = 0x10024;
constexpr std::size_t kLpModelOffset = 6;

std::vector<std::uint8_t> WriteRelease(const std::string& path, std::uint32_t blocks, unsigned seed,
                                       std::size_t modelOffset, const std::string& model,
                                       std::size_t fieldSize, char pad)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> file(kHeaderSize + blocks * kBlockSize + 1, 0);
    for (std::size_t i = kHeaderSize; i < file.size() - 1; ++i)
    {
        file[i] = static_cast<std::uint8_t>(random());
    }
    // A blank block, which is stepped over, and one the handset must still count.
    if (blocks > 3)
    {
        std::fill_n(file.begin() + kHeaderSize + 3 * kBlockSize, kBlockSize, 0xFF);
    }
    for (std::size_t i = 0; i < fieldSize; ++i)
    {
        file[modelOffset + i] = static_cast<std::uint8_t>(i < model.size() ? model[i] : pad);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    return std::vector<std::uint8_t>(file.begin() + kHeaderSize, file.end() - 1);
}
} // namespace

std::vector<std::uint8_t> WriteImage(const std::string& path, std::uint32_t blocks,
                                     const std::string& model, unsigned seed)
{
    return WriteRelease(path, blocks, seed, kImageProductOffset, model, 16, '\0');
}

std::vector<std::uint8_t> WriteLanguagePack(const std::string& path, std::uint32_t blocks,
                                            const std::string& model, unsigned seed)
{
    return WriteRelease(path, blocks, seed, kLpModelOffset, model, 8, ' ');
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
    const std::string text = ReadText(path);
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
    return ReadText(m_outPath);
}

std::string CliRun::Err() const
{
    return ReadText(m_errPath);
}

std::string ReadText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
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
