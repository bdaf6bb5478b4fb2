// The tervolo-sim program itself: its exit codes and its clean-up on a signal.
#include "sim_test_support.h"
#include "tervolo_version.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace sim::test
{
namespace
{

// The program, its standard output on a pipe.
class Program
{
public:
    explicit Program(std::vector<std::string> args)
    {
        args.insert(args.begin(), TERVOLO_SIM_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args)
        {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0)
        {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
    }

    ~Program()
    {
        if (m_pid > 0)
        {
            ::kill(m_pid, SIGKILL);
            Wait();
        }
        if (m_out >= 0)
        {
            ::close(m_out);
        }
    }

    // Standard output up to the first line that contains `text`; empty on a time-out.
    std::string ReadUntil(const std::string& text)
    {
        std::string output;
        while (output.find(text) == std::string::npos || output.back() != '\n')
        {
            pollfd fd = {m_out, POLLIN, 0};
            char buffer[1024];
            ssize_t count = 0;
            if (::poll(&fd, 1, kPatienceMs) <= 0 ||
                (count = ::read(m_out, buffer, sizeof(buffer))) <= 0)
            {
                return std::string();
            }
            output.append(buffer, static_cast<std::size_t>(count));
        }
        return output;
    }

    void Signal(int signal) { ::kill(m_pid, signal); }

    // The exit code, or -1 if it did not exit normally.
    int Wait()
    {
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR)
        {
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bool Started() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

TEST(Program, BadOptionExitsWithTwo)
{
    Program program({"--no-such-option"});
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(2, program.Wait());
}

TEST(Program, HelpExitsWithZero)
{
    Program program({"--help"});
    ASSERT_TRUE(program.Started());
    EXPECT_NE("", program.ReadUntil("--link"));
    EXPECT_EQ(0, program.Wait());
}

TEST(Program, VersionNamesTheProgramAndTheBuildsVersion)
{
    Program program({"--version"});
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(std::string("tervolo-sim ") + TERVOLO_VERSION_TEXT + "\n",
              program.ReadUntil("tervolo-sim"));
    EXPECT_EQ(0, program.Wait());
}

TEST(Program, TerminationRemovesTheLink)
{
    ScratchFolder scratch;
    const std::string link = scratch.Path() + "/com1";
    Program program({"--link", link, "--control", "0"});
    ASSERT_TRUE(program.Started());
    const std::string ready = program.ReadUntil("ready");
    ASSERT_NE("", ready);
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof(target));
    ASSERT_GT(length, 0);
    EXPECT_NE(std::string::npos,
              ready.find("pts=" + std::string(target, static_cast<std::size_t>(length))));

    program.Signal(SIGTERM);
    EXPECT_EQ(0, program.Wait());
    EXPECT_NE(0, ::access(link.c_str(), F_OK));
}

} // namespace
} // namespace sim::test
