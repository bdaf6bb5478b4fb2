// One port's session in-process: what is thrown on the port's thread ends that port with a
// reason instead of ending the program.
#include "cli/exit_codes.h"
#include "cli/port_session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <system_error>

namespace
{

DownloadResult RunWithOpener(ChannelOpener opener)
{
    DownloadJob job;
    std::FILE* const output = std::tmpfile();
    CConsole console(output, false, 1, 80);
    CPortSession session("/dev/ttyTEST", 0, job, std::move(opener), nullptr, console, "", "");
    session.Run();
    std::fclose(output);
    EXPECT_EQ(1u, session.Results().size());
    return session.Results().empty() ? DownloadResult() : session.Results().front();
}

TEST(PortSession, ThrownFailuresEndThePortWithTheirReason)
{
    const DownloadResult noMemory = RunWithOpener(
        [](const std::string&, std::uint32_t, const std::string&, serial::ChunkSink&,
           serial::FailureReport&) -> std::unique_ptr<SerialChannel> { throw std::bad_alloc(); });
    EXPECT_EQ(kExitAborted, noMemory.exitCode);
    EXPECT_EQ("Internal error: std::bad_alloc", noMemory.reason);

    const DownloadResult noThread = RunWithOpener(
        [](const std::string&, std::uint32_t, const std::string&, serial::ChunkSink&,
           serial::FailureReport&) -> std::unique_ptr<SerialChannel> {
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        });
    EXPECT_EQ(kExitAborted, noThread.exitCode);
    EXPECT_EQ(0u, noThread.reason.rfind("Internal error: ", 0)) << noThread.reason;
}

} // namespace
