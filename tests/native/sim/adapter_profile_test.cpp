// The adapter profiles' cutting rules: given when each byte reached the adapter, which pieces
// the PC gets and when.
#include "sim/adapter_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sim
{
namespace
{

constexpr std::int64_t kByteAt115200Us = 87; // 10 bits at 115200 baud, rounded
constexpr std::int64_t kByteAt19200Us = 521;

// `count` bytes, the first at `firstUs`, one every `stepUs` (0: all at once).
std::vector<std::int64_t> Arrivals(std::size_t count, std::int64_t firstUs, std::int64_t stepUs)
{
    std::vector<std::int64_t> times;
    for (std::size_t i = 0; i < count; ++i)
    {
        times.push_back(firstUs + stepUs * static_cast<std::int64_t>(i));
    }
    return times;
}

struct Piece
{
    std::size_t bytes;
    std::int64_t timeUs;
    bool operator==(const Piece& other) const
    {
        return bytes == other.bytes && timeUs == other.timeUs;
    }
};

std::ostream& operator<<(std::ostream& out, const Piece& piece)
{
    return out << piece.bytes << "@" << piece.timeUs;
}

// The simulator draws from the profile's seed; `seed` other than 0 stands in for it.
std::vector<Piece> Cut(const std::string& profileText, const std::vector<std::int64_t>& arrivals,
                       unsigned seed = 0)
{
    AdapterProfile profile;
    EXPECT_TRUE(ParseAdapterProfile(profileText, profile)) << profileText;
    std::mt19937 random(seed != 0 ? seed : profile.seed);
    std::vector<Piece> pieces;
    for (const AdapterPacket& packet : CutIntoPackets(profile, arrivals, random))
    {
        pieces.push_back({packet.bytes, packet.timeUs});
    }
    return pieces;
}

struct FtdiCase
{
    const char* name;
    const char* profile;
    std::vector<std::int64_t> arrivals;
    std::vector<Piece> pieces;
};

TEST(AdapterProfile, FtdiSendsAFullPacketAtOnceAndTheRestWhenItsTimerRunsOut)
{
    const FtdiCase cases[] = {
        {"two bytes wait for the timer", "ftdi", Arrivals(2, 1000, 0), {{2, 17000}}},
        {"a record at once: a full packet, then four bytes 16 ms on",
         "ftdi",
         Arrivals(66, 0, 0),
         {{62, 0}, {4, 16000}}},
        {"a paced record: the packet is full at its 62nd byte",
         "ftdi",
         Arrivals(66, kByteAt115200Us, kByteAt115200Us),
         {{62, 62 * kByteAt115200Us}, {4, 63 * kByteAt115200Us + 16000}}},
        {"a 1 ms timer at 19200 baud cuts inside a two-byte answer",
         "ftdi:1",
         Arrivals(4, kByteAt19200Us, kByteAt19200Us),
         {{2, kByteAt19200Us + 1000}, {2, 3 * kByteAt19200Us + 1000}}},
        {"no profile: the write whole at its last byte", "none", Arrivals(3, 10, 5), {{3, 20}}},
    };
    for (const FtdiCase& each : cases)
    {
        EXPECT_EQ(each.pieces, Cut(each.profile, each.arrivals)) << each.name;
    }
}

// What holds of every cut: the pieces cover the bytes in order, none goes before its last
// byte came, and the times run forward.
void ExpectSoundPieces(const std::vector<Piece>& pieces, const std::vector<std::int64_t>& arrivals)
{
    std::size_t covered = 0;
    std::int64_t previousUs = 0;
    for (const Piece& piece : pieces)
    {
        ASSERT_GT(piece.bytes, 0u);
        covered += piece.bytes;
        ASSERT_LE(covered, arrivals.size());
        EXPECT_GE(piece.timeUs, arrivals[covered - 1]);
        EXPECT_GE(piece.timeUs, previousUs);
        previousUs = piece.timeUs;
    }
    EXPECT_EQ(arrivals.size(), covered);
}

TEST(AdapterProfile, UsbPollTakesWhatHasComeAtEachPoll)
{
    const std::vector<std::int64_t> arrivals = Arrivals(66, 500, kByteAt115200Us);
    for (unsigned seed = 1; seed <= 20; ++seed)
    {
        const std::vector<Piece> pieces = Cut("usb-poll", arrivals, seed);
        ExpectSoundPieces(pieces, arrivals);
        // 5.7 ms of bytes: one piece a poll, polls 0.75 to 1.25 ms apart, the first within
        // 1 ms of the first byte; a poll takes every byte that has come.
        ASSERT_GE(pieces.size(), 5u);
        ASSERT_LE(pieces.size(), 9u);
        EXPECT_LT(pieces.front().timeUs, arrivals.front() + kUsbPollPeriodUs);
        std::size_t covered = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i)
        {
            covered += pieces[i].bytes;
            if (covered < arrivals.size())
            {
                EXPECT_LT(pieces[i].timeUs, arrivals[covered]) << seed << " piece " << i;
            }
            if (i > 0)
            {
                const std::int64_t gapUs = pieces[i].timeUs - pieces[i - 1].timeUs;
                EXPECT_GE(gapUs, kUsbPollPeriodUs - kUsbPollJitterUs);
                EXPECT_LE(gapUs, kUsbPollPeriodUs + kUsbPollJitterUs);
            }
        }
    }
}

TEST(AdapterProfile, RandomCutsComeBackWithTheirSeed)
{
    const std::vector<std::int64_t> arrivals = Arrivals(66, 0, 0);
    std::vector<std::vector<Piece>> cuts;
    for (unsigned seed = 1; seed <= 8; ++seed)
    {
        cuts.push_back(Cut("random:" + std::to_string(seed), arrivals));
        ExpectSoundPieces(cuts.back(), arrivals);
        ASSERT_EQ(2u, cuts.back().size());
        EXPECT_EQ(kRandomPieceGapUs, cuts.back()[1].timeUs - cuts.back()[0].timeUs);
        EXPECT_EQ(cuts.back(), Cut("random:" + std::to_string(seed), arrivals));
    }
    std::sort(cuts.begin(), cuts.end(),
              [](const auto& a, const auto& b) { return a[0].bytes < b[0].bytes; });
    EXPECT_NE(cuts.front(), cuts.back()); // not the same place for every seed
    EXPECT_EQ(Cut("random", arrivals), Cut("random:1", arrivals));
    EXPECT_EQ((std::vector<Piece>{{1, 0}, {1, 1000}}), Cut("random:9", Arrivals(2, 0, 0)));
    EXPECT_EQ((std::vector<Piece>{{1, 5}}), Cut("random:9", Arrivals(1, 5, 0)));
}

TEST(AdapterProfile, ProfilesByName)
{
    const std::pair<const char*, const char*> good[] = {
        {"none", "none"},         {"ftdi", "ftdi:16"},          {"ftdi:1", "ftdi:1"},
        {"ftdi:255", "ftdi:255"}, {"usb-poll", "usb-poll"},     {"random", "random:1"},
        {"random:0", "random:0"}, {"random:0x10", "random:16"},
    };
    for (const auto& [text, shown] : good)
    {
        AdapterProfile profile;
        ASSERT_TRUE(ParseAdapterProfile(text, profile)) << text;
        EXPECT_EQ(shown, FormatAdapterProfile(profile));
    }
    for (const char* text : {"", "ftdi:0", "ftdi:256", "ftdi:", "usb-poll:3", "none:1", "FTDI",
                             "random:4294967296", "cp210x"})
    {
        AdapterProfile profile;
        EXPECT_FALSE(ParseAdapterProfile(text, profile)) << text;
    }
}

} // namespace
} // namespace sim
