#include "sim/wine_ports.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace sim
{
namespace
{

constexpr char kPortsKey[] = "HKLM\\Software\\Wine\\Ports";
constexpr std::string_view kPortsSection = "[Software\\\\Wine\\\\Ports]"; // as system.reg spells it

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
    {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
        {
            return false;
        }
    }
    return true;
}

// A quoted string of a .reg file starting at text[0] == '"'; false if it is not closed.
bool ReadQuoted(std::string_view text, std::string& value, std::size_t& end)
{
    value.clear();
    for (std::size_t i = 1; i < text.size(); ++i)
    {
        if (text[i] == '\\' && i + 1 < text.size())
        {
            value.push_back(text[++i]);
        }
        else if (text[i] == '"')
        {
            end = i + 1;
            return true;
        }
        else
        {
            value.push_back(text[i]);
        }
    }
    return false;
}

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size())
    {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
        {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
        {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

} // namespace

bool SystemRegMapsPort(std::string_view systemReg, int com, const std::string& target)
{
    const std::string valueName = "COM" + std::to_string(com);
    bool inPorts = false;
    for (const std::string& line : SplitLines(systemReg))
    {
        if (!line.empty() && line[0] == '[')
        {
            const std::size_t close = line.find(']');
            inPorts = close != std::string::npos &&
                      EqualNoCase(std::string_view(line).substr(0, close + 1), kPortsSection);
            continue;
        }
        if (!inPorts || line.empty() || line[0] != '"')
        {
            continue;
        }
        std::string name;
        std::size_t end = 0;
        if (!ReadQuoted(line, name, end) || !EqualNoCase(name, valueName))
        {
            continue;
        }
        const std::string_view rest = std::string_view(line).substr(end);
        std::string value;
        std::size_t valueEnd = 0;
        return rest.size() > 1 && rest[0] == '=' && rest[1] == '"' &&
               ReadQuoted(rest.substr(1), value, valueEnd) && value == target;
    }
    return false;
}

int RunProgram(const std::vector<std::string>& argv,
               const std::vector<std::string>& extraEnvironment, std::string& error)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
    {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    std::vector<char*> environment;
    for (const std::string& assignment : extraEnvironment)
    {
        environment.push_back(const_cast<char*>(assignment.c_str()));
    }
    for (char** variable = environ; *variable != nullptr; ++variable)
    {
        bool overridden = false;
        for (const std::string& assignment : extraEnvironment)
        {
            const std::size_t nameLength = assignment.find('=') + 1;
            overridden = overridden || std::strncmp(*variable, assignment.c_str(), nameLength) == 0;
        }
        if (!overridden)
        {
            environment.push_back(*variable);
        }
    }
    environment.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    pid_t child = 0;
    const int spawnError =
        posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0)
    {
        error = "cannot run " + argv[0] + ": " + std::strerror(spawnError);
        return -1;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
    {
        if (errno != EINTR)
        {
            error = "waitpid: " + std::string(std::strerror(errno));
            return -1;
        }
    }
    if (!WIFEXITED(status))
    {
        error = argv[0] + " did not exit normally";
        return -1;
    }
    return WEXITSTATUS(status);
}

WinePortOutcome EnsureWinePort(const std::string& prefix, int com, const std::string& target,
                               const WineTools& tools, std::string& error)
{
    std::ifstream systemReg(prefix + "/system.reg", std::ios::binary);
    if (systemReg)
    {
        std::ostringstream text;
        text << systemReg.rdbuf();
        if (SystemRegMapsPort(text.str(), com, target))
        {
            return WinePortOutcome::AlreadyMapped;
        }
    }

    const std::vector<std::string> environment = {"WINEPREFIX=" + prefix};
    const std::string valueName = "COM" + std::to_string(com);
    const int added = RunProgram(
        {tools.wine, "reg", "add", kPortsKey, "/v", valueName, "/t", "REG_SZ", "/d", target, "/f"},
        environment, error);
    if (added != 0)
    {
        if (added > 0)
        {
            error = "wine reg add failed with exit code " + std::to_string(added);
        }
        return WinePortOutcome::Failed;
    }
    const int stopped = RunProgram({tools.wineserver, "-k"}, environment, error);
    if (stopped < 0)
    {
        return WinePortOutcome::Failed;
    }
    // Its exit code only tells whether a server was running; either way none runs now.
    return WinePortOutcome::Added;
}

} // namespace sim
