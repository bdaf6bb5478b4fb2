// The traceability journal: its SHA-256 and clock against known values, whole lines under
// appends from two processes at once, and real runs (four ports, a station) sharing one file.
#include "runner/journal.h"
#include "runner/sha256.h"
#include "cli_test_support.h"
#include "tervolo_version.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <sstream>
#include <thread>

namespace cli::test
{
namespace
{

TEST(Sha256, KnownVectorsWhateverThePieces)
{
    const std::pair<std::string, const char*> vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", // padding needs a chunk more
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [text, digest] : vectors)
    {
        for (std::size_t piece : {1, 55, 64, 1000}) // ending inside, at and across chunks
        {
            CSha256 hash;
            for (std::size_t at = 0; at < text.size(); at += piece)
            {
                hash.Update(text.data() + at, std::min(piece, text.size() - at));
            }
            EXPECT_EQ(digest, hash.HexDigest()) << text.size() << " bytes by " << piece;
        }
    }
}

TEST(JournalClock, UtcTimesAcrossLeapDaysAndCenturies)
{
    const std::pair<long long, const char*> times[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {951782400123, "2000-02-29T00:00:00.123Z"},
        {1709251199999, "2024-02-29T23:59:59.999Z"},
        {4107542400000, "2100-03-01T00:00:00.000Z"},
        {-1, "1969-12-31T23:59:59.999Z"},
    };
    for (const auto& [ms, text] : times)
    {
        EXPECT_EQ(text, UtcTimeText(
                            std::chrono::system_clock::time_point(std::chrono::milliseconds(ms))));
    }
}

// Lines up to 70 kB, far beyond any pipe's atomic size, from two processes with two threads each.
TEST(JournalFile, ConcurrentAppendsFromTwoProcessesStayWhole)
{
    sim::test::ScratchFolder scratch;
    const std::string path = scratch.Path() + "/journal.jsonl";
    constexpr int kLines = 300; // per thread
    auto writeLines = [&path](char tag)
    {
        CAppendFile file;
        std::string error;
        std::atomic<bool> ok{file.Open(path, error)};
        auto thread = [&](int offset)
        {
            for (int n = 0; n < kLines && ok; ++n)
            {
                const std::size_t length = static_cast<std::size_t>((n * 7919 + offset) % 70000);
                if (!file.Append(std::string(1, tag) + std::to_string(length) + " " +
                                 std::string(length, static_cast<char>(tag + offset)) + "\n"))
                    ok = false;
            }
        };
        std::thread first(thread, 0), second(thread, 1);
        first.join();
        second.join();
        return ok.load();
    };
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        _exit(writeLines('A') ? 0 : 1);
    }
    EXPECT_TRUE(writeLines('a'));
    int status = -1;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_EQ(0, status);

    std::istringstream lines(ReadFile(path));
    std::map<char, int> counts;
    for (std::string line; std::getline(lines, line);)
    {
        const std::size_t space = line.find(' ');
        ASSERT_NE(std::string::npos, space) << line.substr(0, 40);
        const std::string body = line.substr(space + 1);
        ASSERT_EQ(std::stoul(line.substr(1, space - 1)), body.size()) << line.substr(0, 40);
        if (!body.empty())
        {
            ASSERT_TRUE(body[0] == line[0] || body[0] == line[0] + 1) << line.substr(0, 40);
            ASSERT_EQ(std::string::npos, body.find_first_not_of(body[0])) << line.substr(0, 40);
        }
        ++counts[line[0]];
    }
    EXPECT_EQ((std::map<char, int>{{'A', 2 * kLines}, {'a', 2 * kLines}}), counts);
}

std::string Sha256Sum(const std::string& path)
{
    std::FILE* pipe = popen(("sha256sum '" + path + "'").c_str(), "r");
    char digest[65] = {};
    if (pipe != nullptr && std::fscanf(pipe, "%64s", digest) != 1)
    {
        digest[0] = '\0';
    }
    if (pipe != nullptr)
    {
        pclose(pipe);
    }
    return digest;
}

class CliJournal : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteImage(m_scratch.Path() + "/image.rel", 70, "RT47-TEST", 1);
        WriteLanguagePack(m_scratch.Path() + "/lp.rel", 6, "RT47", 2);
        for (int i = 0; i < 6; ++i)
        {
            m_handsets.push_back(
                std::make_unique<Handset>(m_scratch.Path(), "tty" + std::to_string(i)));
            ASSERT_TRUE(m_handsets.back()->Ready());
        }
    }

    std::vector<std::string> Args(std::size_t first, std::size_t count,
                                  std::vector<std::string> args,
                                  const std::string& journal = "line.jsonl")
    {
        args.insert(args.begin(), {"download", "--model", "RT47", "--image", "image.rel", "--lp",
                                   "lp.rel", "--journal", journal});
        for (std::size_t i = first; i < first + count; ++i)
        {
            args.insert(args.end(), {"--port", m_handsets[i]->Port()});
        }
        return args;
    }

    sim::test::ScratchFolder m_scratch;
    std::vector<std::unique_ptr<Handset>> m_handsets;
};

TEST_F(CliJournal, FourPortsAndAStationShareOneJournal)
{
    // A station on two ports and a four-port run, at the same time.
    CliRun station(m_scratch.Path(), Args(4, 2, {"--station", "--count", "2"}));
    CliRun ports(m_scratch.Path(), Args(0, 4, {}));
    ASSERT_EQ(0, ports.Wait()) << ports.Out() << ports.Err();
    ASSERT_EQ(0, station.Wait()) << station.Out() << station.Err();

    const nlohmann::json files = {{{"section", "image"},
                                   {"path", m_scratch.Path() + "/image.rel"},
                                   {"sha256", Sha256Sum(m_scratch.Path() + "/image.rel")}},
                                  {{"section", "lp"},
                                   {"path", m_scratch.Path() + "/lp.rel"},
                                   {"sha256", Sha256Sum(m_scratch.Path() + "/lp.rel")}}};
    ASSERT_EQ(64u, files[0]["sha256"].get<std::string>().size());
    std::map<std::string, int> linesPerPort;
    std::istringstream lines(ReadFile(m_scratch.Path() + "/line.jsonl"));
    for (std::string line; std::getline(lines, line);)
    {
        nlohmann::json entry = nlohmann::json::parse(line); // throws on a torn line
        ++linesPerPort[entry["port"]];
        EXPECT_EQ(files, entry["files"]);
        EXPECT_FALSE(entry["host"].get<std::string>().empty());
        // ISO 8601 texts of one length compare as the times do.
        EXPECT_LE(entry["start"].get<std::string>(), entry["end"].get<std::string>());
        EXPECT_GT(entry["seconds"].get<double>(), 0.0);
        for (const char* varying : {"port", "files", "host", "start", "end", "seconds"})
        {
            entry.erase(varying);
        }
        EXPECT_EQ(nlohmann::json({{"model", "RT47"},
                                  {"product_id", "RT47-SIM-0001"},
                                  {"mobile_id", "RT47"},
                                  {"sections", {"main", "lp"}},
                                  {"verdict", "passed"},
                                  {"exit_code", 0},
                                  {"version", TERVOLO_VERSION_TEXT}}),
                  entry);
    }
    std::map<std::string, int> expected;
    for (std::size_t i = 0; i < m_handsets.size(); ++i)
    {
        expected[m_handsets[i]->Port()] = i < 4 ? 1 : 2;
    }
    EXPECT_EQ(expected, linesPerPort);
}

TEST_F(CliJournal, AJournalThatCannotBeOpenedStopsBeforeAnyPort)
{
    CliRun run(m_scratch.Path(), Args(0, 1, {}, "no-such-folder/line.jsonl"));
    EXPECT_EQ(4, run.Wait());
    EXPECT_NE(std::string::npos, run.Err().find("cannot open journal no-such-folder/line.jsonl"))
        << run.Err();
    EXPECT_EQ(0, m_handsets[0]->Stat("received_bytes"));
}

} // namespace
} // namespace cli::test
