// Back-to-back downloads through one running program under Wine, against the simulator on COM1,
// with the program's resources sampled after the first download and every 50th:
//   soak_driver.exe window N IMAGE   the window, Start pressed N times
//   soak_driver.exe cli N IMAGE      tervolo-cli.exe in station mode, --count N
// One line per sample ("SAMPLE program=... downloads=K working_set_kib=... private_kib=...
// handles=... gdi=... user=... threads=..."; a figure Wine does not answer is "-"), then a RESULT
// line with the growth per download from the 50th download to the last. Run by bench/soak.sh.
#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace e2e;

namespace
{
constexpr unsigned kSampleEvery = 50;
constexpr unsigned kWarmUp = 50;              // growth is counted from this download on
constexpr unsigned kDownloadLimitMs = 120000; // one small download, however loaded the machine
const char kSuccess[] = "Download completed successfully...";

std::string g_program;
unsigned g_count = 0;
std::string g_image;

struct Sample
{
    unsigned downloads = 0;
    double workingSetKib = -1;
    double privateKib = -1;
    long handles = -1;
    long gdi = -1;
    long user = -1;
    long threads = -1;     // as Windows counts them
    double rssKib = -1;    // the Linux side of the Wine process
    long descriptors = -1; // its open file descriptors
    long unixThreads = -1;
};

std::string ReadWhole(const std::string& path)
{
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb"))
    {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            text.append(buffer, n);
        std::fclose(file);
    }
    return text;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The /proc folder of a Wine process of this prefix running `exeName` (other prefixes may run
// the same programs); empty when none is found.
std::string ProcFolder(const std::string& exeName)
{
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix == nullptr)
        return "";
    const std::string wanted = std::string("WINEPREFIX=") + prefix + '\0';
    WIN32_FIND_DATAA entry{};
    const HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
    std::string found;
    for (BOOL more = find != INVALID_HANDLE_VALUE; more && found.empty();
         more = FindNextFileA(find, &entry))
    {
        const std::string name = entry.cFileName;
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string folder = "Z:\\proc\\" + name;
        if (Lower(ReadWhole(folder + "\\cmdline")).find(Lower(exeName)) == std::string::npos)
            continue;
        if (ReadWhole(folder + "\\environ").find(wanted) != std::string::npos)
            found = folder;
    }
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    return found;
}

double StatusField(const std::string& status, const char* name)
{
    const std::size_t at = status.find(std::string("\n") + name + ":");
    return at == std::string::npos ? -1 : std::atof(status.c_str() + at + std::strlen(name) + 2);
}

void TakeUnix(const std::string& folder, Sample& sample)
{
    if (folder.empty())
        return;
    const std::string status = "\n" + ReadWhole(folder + "\\status");
    sample.rssKib = StatusField(status, "VmRSS");
    sample.unixThreads = static_cast<long>(StatusField(status, "Threads"));
    WIN32_FIND_DATAA entry{};
    const HANDLE find = FindFirstFileA((folder + "\\fd\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    long count = 0;
    for (BOOL more = TRUE; more; more = FindNextFileA(find, &entry))
        count += entry.cFileName[0] != '.' ? 1 : 0;
    FindClose(find);
    sample.descriptors = count;
}

std::string Figure(double value, const char* format)
{
    if (value < 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

long ThreadsOf(DWORD processId)
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    long threads = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        threads += entry.th32OwnerProcessID == processId ? 1 : 0;
    CloseHandle(snapshot);
    return threads > 0 ? threads : -1;
}

Sample Take(HANDLE process, const std::string& procFolder, unsigned downloads)
{
    Sample sample;
    sample.downloads = downloads;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory))
    {
        sample.workingSetKib = memory.WorkingSetSize / 1024.0;
        // Wine reports no private usage: 0 means it did not answer.
        sample.privateKib = memory.PrivateUsage > 0 ? memory.PrivateUsage / 1024.0 : -1;
    }
    DWORD handles = 0;
    if (GetProcessHandleCount(process, &handles) && handles > 0)
        sample.handles = static_cast<long>(handles);
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    sample.gdi = gdi > 0 ? static_cast<long>(gdi) : -1;
    sample.user = user > 0 ? static_cast<long>(user) : -1;
    sample.threads = ThreadsOf(GetProcessId(process));
    TakeUnix(procFolder, sample);
    std::printf("SAMPLE program=%s downloads=%u working_set_kib=%s private_kib=%s handles=%s "
                "gdi=%s user=%s threads=%s rss_kib=%s descriptors=%s unix_threads=%s\n",
                g_program.c_str(), downloads, Figure(sample.workingSetKib, "%.0f").c_str(),
                Figure(sample.privateKib, "%.0f").c_str(),
                Figure(static_cast<double>(sample.handles), "%.0f").c_str(),
                Figure(static_cast<double>(sample.gdi), "%.0f").c_str(),
                Figure(static_cast<double>(sample.user), "%.0f").c_str(),
                Figure(static_cast<double>(sample.threads), "%.0f").c_str(),
                Figure(sample.rssKib, "%.0f").c_str(),
                Figure(static_cast<double>(sample.descriptors), "%.0f").c_str(),
                Figure(static_cast<double>(sample.unixThreads), "%.0f").c_str());
    std::fflush(stdout);
    return sample;
}

bool Due(unsigned downloads)
{
    return downloads == 1 || downloads % kSampleEvery == 0 || downloads == g_count;
}

// Growth per download from the warm-up sample to the last.
void Report(const std::vector<Sample>& samples)
{
    const Sample* from = nullptr;
    for (const Sample& sample : samples)
    {
        if (from == nullptr && sample.downloads >= kWarmUp)
            from = &sample;
    }
    if (from == nullptr || samples.back().downloads <= from->downloads)
        from = &samples.front();
    const Sample& to = samples.back();
    const double span = to.downloads - from->downloads;
    const auto per = [&](double a, double b) -> std::string
    {
        if (a < 0 || b < 0 || span <= 0)
            return "-";
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", (b - a) / span);
        return text;
    };
    std::printf(
        "RESULT program=%s downloads=%u from=%u working_set_kib_per_download=%s "
        "private_kib_per_download=%s handles_per_download=%s gdi_per_download=%s "
        "user_per_download=%s threads_per_download=%s rss_kib_per_download=%s "
        "descriptors_per_download=%s unix_threads_per_download=%s "
        "working_set_kib_last=%.0f\n",
        g_program.c_str(), to.downloads, from->downloads,
        per(from->workingSetKib, to.workingSetKib).c_str(),
        per(from->privateKib, to.privateKib).c_str(),
        per(static_cast<double>(from->handles), static_cast<double>(to.handles)).c_str(),
        per(static_cast<double>(from->gdi), static_cast<double>(to.gdi)).c_str(),
        per(static_cast<double>(from->user), static_cast<double>(to.user)).c_str(),
        per(static_cast<double>(from->threads), static_cast<double>(to.threads)).c_str(),
        per(from->rssKib, to.rssKib).c_str(),
        per(static_cast<double>(from->descriptors), static_cast<double>(to.descriptors)).c_str(),
        per(static_cast<double>(from->unixThreads), static_cast<double>(to.unixThreads)).c_str(),
        to.workingSetKib);
}

std::string ConsoleProgramPath()
{
    const char* path = std::getenv("TERVOLO_CLI_EXE");
    return ToWindowsPath(path != nullptr ? path : "tervolo-cli.exe");
}
} // namespace

TEST(Soak, Window)
{
    if (g_program != "window")
        GTEST_SKIP();
    Simulator sim;
    ASSERT_TRUE(sim.Connect());
    sim.Do("RESET");
    Operator op;
    Choices choices;
    choices.imagePath = ToWindowsPath(g_image);
    ASSERT_TRUE(Prepare(op, choices));
    DWORD processId = 0;
    GetWindowThreadProcessId(op.MainWindow(), &processId);
    const HANDLE process =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    ASSERT_NE(process, nullptr);
    const std::string procFolder = ProcFolder("TervoloPLUS.exe");

    std::vector<Sample> samples;
    for (unsigned done = 1; done <= g_count; ++done)
    {
        op.ClickAndWait(kStartButton);
        ASSERT_TRUE(op.WaitForLine(kReportList, kSuccess, kDownloadLimitMs))
            << "download " << done << ": " << Join(op.Lines(kReportList));
        ASSERT_TRUE(op.WaitIdle(kDownloadLimitMs));
        if (Due(done))
            samples.push_back(Take(process, procFolder, done));
    }
    Report(samples);
    CloseHandle(process);
    op.Close();
}

TEST(Soak, Console)
{
    if (g_program != "cli")
        GTEST_SKIP();
    Simulator sim;
    ASSERT_TRUE(sim.Connect());
    sim.Do("RESET");

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    // One download more than sampled: the last sample must not meet a process that is ending.
    std::string command = "\"" + ConsoleProgramPath() + "\" download --station --count " +
                          std::to_string(g_count + 1) + " --port COM1 --model RT47 --image \"" +
                          ToWindowsPath(g_image) + "\" --log soak.log";
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &startup, &child))
        << command;
    CloseHandle(writeEnd);
    std::string procFolder;

    std::vector<Sample> samples;
    unsigned done = 0;
    std::string pending;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0)
    {
        pending.append(buffer, read);
        for (std::size_t end = pending.find('\n'); end != std::string::npos;
             end = pending.find('\n'))
        {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.find("Result: ") == std::string::npos)
                continue;
            ++done;
            EXPECT_NE(line.find(" passed "), std::string::npos) << line;
            if (procFolder.empty())
                procFolder = ProcFolder("tervolo-cli.exe");
            if (done <= g_count && Due(done))
                samples.push_back(Take(child.hProcess, procFolder, done));
        }
    }
    WaitForSingleObject(child.hProcess, kDownloadLimitMs);
    DWORD exitCode = 1;
    GetExitCodeProcess(child.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(done, g_count + 1);
    if (!samples.empty())
        Report(samples);
    CloseHandle(readEnd);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 4)
    {
        std::printf("usage: soak_driver.exe window|cli N IMAGE\n");
        return 2;
    }
    g_program = argv[1];
    g_count = static_cast<unsigned>(std::atoi(argv[2]));
    g_image = argv[3];
    return RUN_ALL_TESTS();
}
