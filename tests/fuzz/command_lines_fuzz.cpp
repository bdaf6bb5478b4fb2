// The two command lines: the window's (/P, /D and file names) and tervolo-cli's options. The
// input's first byte picks one; the rest, split at NUL bytes, are the arguments.
#include "app/command_line.h"
#include "cli/cli_options.h"
#include "runner/job_file.h"
#include "fuzz_check.h"
#include "protocol/frames.h"

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace
{
void CheckWindow(const std::vector<const char*>& argv)
{
    const CommandLineChoices c = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    FUZZ_CHECK(c.presetName.size() < kTextBufferSize);
    FUZZ_CHECK(c.imagePath.size() < kTextBufferSize && c.lpPath.size() < kTextBufferSize);
    FUZZ_CHECK(c.presetChosen == (c.startMode == StartModePreset));
    FUZZ_CHECK(!c.fileFromCommandLine || c.startMode == StartModeDevelopment || c.invalid);
    FUZZ_CHECK(c.lpPath.empty() || NamesLanguagePack(c.lpPath));
    FUZZ_CHECK(c.imagePath.empty() || !NamesLanguagePack(c.imagePath));
    FUZZ_CHECK(argv.size() > 1 || c.startMode == StartModeDevelopment);
}

void CheckConsole(const std::vector<const char*>& argv)
{
    CliOptions options;
    std::ostringstream out;
    std::ostringstream err;
    const int status =
        ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options, out, err);
    FUZZ_CHECK(status == -1 || status == 0 || status == 4);
    FUZZ_CHECK(status != 4 || !err.str().empty());
    if (status != -1)
    {
        return;
    }
    // Choices the program goes on with are ones it can carry out.
    FUZZ_CHECK(!options.ports.empty() && !options.model.empty());
    FUZZ_CHECK(options.baudIndex >= 0 && options.baudIndex < kBaudRateCount);
    FUZZ_CHECK(BaudRateAt(options.baudIndex) == options.baudRate);
    FUZZ_CHECK(!options.imagePath.empty() || !options.lpPath.empty());
    FUZZ_CHECK(!options.bootCode || !options.imagePath.empty());
    // The port loop turns the time-out into a clock deadline.
    FUZZ_CHECK(std::isfinite(options.timeoutSeconds) && options.timeoutSeconds >= 0.0);
    FUZZ_CHECK(options.timeoutSeconds <= kMaxTimeoutSeconds);
    for (const std::string& port : options.ports)
    {
        const std::string log = PortLogPath(options.logPath, port, options.ports.size() > 1);
        FUZZ_CHECK(options.ports.size() == 1 || !log.empty());
        FUZZ_CHECK(PortDebugLogPath(log).empty() == log.empty());
        FUZZ_CHECK(!PortShortName(port).empty());
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > 4096)
    {
        return 0;
    }
    const bool window = (data[0] & 1) != 0;
    std::vector<std::string> arguments;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t start = 0;
    while (start <= rest.size() && !rest.empty())
    {
        const std::size_t end = std::min(rest.find('\0', start), rest.size());
        arguments.push_back(rest.substr(start, end - start));
        start = end + 1;
    }
    std::vector<const char*> argv{window ? "C:\\Tools\\TervoloPLUS.exe" : "tervolo-cli"};
    for (const std::string& argument : arguments)
    {
        argv.push_back(argument.c_str());
    }
    if (window)
    {
        CheckWindow(argv);
    }
    else
    {
        CheckConsole(argv);
    }
    return 0;
}
