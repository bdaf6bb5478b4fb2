// The traceability journal: its SHA-256 and clock against known values, whole lines under
// appends from several processes at once, and real runs (four ports, a station) sharing one file.
#include "cli/journal.h"
#include "cli/sha256.h"
#include "cli_test_support.h"
#include "tervolo_version.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <thread>

namespace cli::test
{
namespace
{

std::string Sha256Of(const std::string& text, std::size_t piece)
{
    CSha256 hash;
    for (std::size_t at = 0; at < text.size(); at += piece)
    {
        hash.Update(text.data() + at, std::min(piece, text.size() - at));
    }
    return hash.HexDigest();
}

TEST(Sha256, KnownVectorsWhateverThePieces)
{
    const struct
    {
        std::string text;
        const char* digest;
    } vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& vector : vectors)
    {
        // Pieces that end inside, at and across the 64-byte chunks and the 56-byte padding edge.
        for (std::size_t piece :
             {std::size_t{1}, std::size_t{55}, std::size_t{64}, std::size_t{1000}})
        {
            EXPECT_EQ(vector.digest, Sha256Of(vector.text, piece))
                << vector.text.size() << " bytes in pieces of " << piece;
        }
    }
}

TEST(JournalClock, UtcTimesAcrossLeapDaysAndCenturies)
{
    using std::chrono::milliseconds;
    using std::chrono::system_clock;
    const struct
    {
        long long ms;
        const char* text;
    } times[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {951782400123, "2000-02-29T00:00:00.123Z"},
        {1709251199999, "2024-02-29T23:59:59.999Z"},
        {4107542400000, "2100-03-01T00:00:00.000Z"},
        {-1, "1969-12-31T23:59:59.999Z"},
    };
    for (const auto& time : times)
    {
        EXPECT_EQ(time.text, UtcTimeText(system_clock::time_point(milliseconds(time.ms))));
    }
}

// Lines of many lengths, some far beyond a pipe's atomic size, from two processes with two
// threads each, through their own opens of one file.
TEST(JournalFile, ConcurrentAppendsFromTwoProcessesStayWhole)
{
    sim::test::ScratchFolder scratch;
    const std::string path = scratch.Path() + "/journal.jsonl";
    constexpr int kLinesPerThread = 300;
    auto writeLines = [&path](char tag)
    {
        CAppendFile file;
        std::string error;
        if (!file.Open(path, error))
        {
            return false;
        }
        bool ok = true;
        auto thread = [&file, &ok, tag](int offset)
        {
            for (int n = 0; n < kLinesPerThread; ++n)
            {
                const std::size_t length = static_cast<std::size_t>((n * 7919 + offset) % 70000);
                ok = file.Append(tag + std::to_string(length) + " " +
                                 std::string(length, static_cast<char>(tag + offset)) + "\n") &&
                     ok;
            }
        };
        std::thread first(thread, 0);
        std::thread second(thread, 1);
        first.join();
        second.join();
        return ok;
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

    std::istringstream lines(ReadText(path));
    std::map<char, int> counts;
    std::string line;
    while (std::getline(lines, line))
    {
        std::istringstream fields(line);
        char tag = 0;
        std::size_t length = 0;
        fields >> tag >> length;
        const std::size_t space = line.find(' ');
        ASSERT_NE(std::string::npos, space) << line.substr(0, 40);
        const std::string body = line.substr(space + 1);
        ASSERT_EQ(length, body.size()) << "torn line " << line.substr(0, 40);
        ASSERT_TRUE(body.find_first_not_of(body.empty() ? 'x' : body[0]) == std::string::npos)
            << "mixed line " << line.substr(0, 40);
        if (!body.empty())
        {
            ASSERT_TRUE(body[0] == tag || body[0] == tag + 1) << line.substr(0, 40);
        }
        ++counts[tag];
    }
    EXPECT_EQ(2 * kLinesPerThread, counts['a']);
    EXPECT_EQ(2 * kLinesPerThread, counts['A']);
}

std::string Sha256Sum(const std::string& path)
{
    std::FILE* pipe = popen(("sha256sum '" + path + "'").c_str(), "r");
    char digest[65] = {};
    const bool read = pipe != nullptr && std::fscanf(pipe, "%64s", digest) == 1;
    if (pipe != nullptr)
    {
        pclose(pipe);
    }
    return read ? digest : "";
}

class CliJournal : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_scratch.Path().empty());
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
                                  std::vector<std::string> extra,
                                  const std::string& journal = "line.jsonl")
    {
        std::vector<std::string> args = {"download", "--model", "RT47",      "--image", "image.rel",
                                         "--lp",     "lp.rel",  "--journal", journal};
        for (std::size_t i = first; i < first + count; ++i)
        {
            args.push_back("--port");
            args.push_back(m_handsets[i]->Port());
        }
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    sim::test::ScratchFolder m_scratch;
    std::vector<std::unique_ptr<Handset>> m_handsets;
};

TEST_F(CliJournal, FourPortsAndAStationShareOneJournal)
{
    // A running station on two ports and a four-port run, at the same time.
    CliRun station(m_scratch.Path(), Args(4, 2, {"--station", "--count", "2"}));
    CliRun ports(m_scratch.Path(), Args(0, 4, {}));
    ASSERT_EQ(0, ports.Wait()) << ports.Out() << ports.Err();
    ASSERT_EQ(0, station.Wait()) << station.Err();

    const std::string imageSha = Sha256Sum(m_scratch.Path() + "/image.rel");
    const std::string lpSha = Sha256Sum(m_scratch.Path() + "/lp.rel");
    ASSERT_EQ(64u, imageSha.size());
    std::map<std::string, int> linesPerPort;
    std::istringstream lines(ReadText(m_scratch.Path() + "/line.jsonl"));
    std::string line;
    while (std::getline(lines, line))
    {
        const nlohmann::json entry = nlohmann::json::parse(line); // throws on a torn line
        ++linesPerPort[entry["port"]];
        EXPECT_EQ("passed", entry["verdict"]);
        EXPECT_EQ(0, entry["exit_code"]);
        EXPECT_EQ("RT47", entry["model"]);
        EXPECT_EQ("RT47-SIM-0001", entry["product_id"]);
        EXPECT_EQ("RT47", entry["mobile_id"]);
        EXPECT_EQ(nlohmann::json::array({"main", "lp"}), entry["sections"]);
        ASSERT_EQ(2u, entry["files"].size());
        EXPECT_EQ(m_scratch.Path() + "/image.rel", entry["files"][0]["path"]);
        EXPECT_EQ(imageSha, entry["files"][0]["sha256"]);
        EXPECT_EQ(m_scratch.Path() + "/lp.rel", entry["files"][1]["path"]);
        EXPECT_EQ(lpSha, entry["files"][1]["sha256"]);
        EXPECT_EQ(TERVOLO_VERSION_TEXT, entry["version"]);
        EXPECT_FALSE(entry["host"].get<std::string>().empty());
        // ISO 8601 texts of one length compare as times.
        EXPECT_LE(entry["start"].get<std::string>(), entry["end"].get<std::string>());
        EXPECT_GT(entry["seconds"].get<double>(), 0.0);
        EXPECT_FALSE(entry.contains("reason"));
    }
    ASSERT_EQ(6u, linesPerPort.size());
    for (std::size_t i = 0; i < m_handsets.size(); ++i)
    {
        EXPECT_EQ(i < 4 ? 1 : 2, linesPerPort[m_handsets[i]->Port()]) << i;
    }
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
