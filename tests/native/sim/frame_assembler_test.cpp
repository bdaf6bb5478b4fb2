#include "sim/frame_assembler.h"
#include "sim/handset_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sim
{
namespace
{

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::uint8_t> BlockFrame(std::uint8_t high, std::uint8_t low)
{
    std::vector<std::uint8_t> frame = {'<', 'w', high, low};
    for (std::size_t i = 0; i < kBlockDataSize; ++i)
    {
        frame.push_back(static_cast<std::uint8_t>(i)); // holds '<' and '>' bytes too
    }
    return frame;
}

std::vector<ReceivedRecord>
FeedAll(FrameAssembler& assembler, const std::vector<std::uint8_t>& bytes, std::uint64_t timeUs = 0)
{
    return assembler.Feed(bytes.data(), bytes.size(), timeUs);
}

TEST(FrameAssembler, LengthsFollowTheLetter)
{
    const std::vector<std::vector<std::uint8_t>> frames = {
        Bytes("<i"),           Bytes("<e"),   Bytes("<E"),
        Bytes("<o"),           Bytes("<p02"), {'<', 'c', 0x12, 0x34, 0x00, 0x00},
        BlockFrame(0x00, 0x05)};
    for (const std::vector<std::uint8_t>& frame : frames)
    {
        FrameAssembler assembler;
        std::vector<std::uint8_t> twice = frame;
        twice.insert(twice.end(), frame.begin(), frame.end());
        const std::vector<ReceivedRecord> records = FeedAll(assembler, twice);
        ASSERT_EQ(2u, records.size()) << static_cast<char>(frame[1]);
        EXPECT_EQ(RecordKind::Frame, records[0].kind);
        EXPECT_EQ(frame, records[0].bytes);
        EXPECT_EQ(frame, records[1].bytes);
        EXPECT_FALSE(assembler.InFrame());
    }
}

TEST(FrameAssembler, BlockFrameSplitAtEveryPointComesOutOnce)
{
    const std::vector<std::uint8_t> frame = BlockFrame(0x41, 0xFF);
    for (std::size_t cut = 1; cut < frame.size(); ++cut)
    {
        FrameAssembler assembler;
        EXPECT_TRUE(assembler.Feed(frame.data(), cut, 10).empty()) << cut;
        EXPECT_TRUE(assembler.InFrame());
        const std::vector<ReceivedRecord> records =
            assembler.Feed(frame.data() + cut, frame.size() - cut, 20);
        ASSERT_EQ(1u, records.size()) << cut;
        EXPECT_EQ(frame, records[0].bytes);
        EXPECT_EQ(20u, records[0].timeUs); // complete when its last byte came
    }
}

TEST(FrameAssembler, ByteByByte)
{
    const std::vector<std::uint8_t> stream = Bytes("<i<p41<e");
    FrameAssembler assembler;
    std::vector<ReceivedRecord> records;
    for (std::uint8_t byte : stream)
    {
        for (ReceivedRecord& record : assembler.Feed(&byte, 1, 0))
        {
            records.push_back(record);
        }
    }
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ('i', records[0].Letter());
    EXPECT_EQ(Bytes("<p41"), records[1].bytes);
    EXPECT_EQ('e', records[2].Letter());
}

TEST(FrameAssembler, BytesOutsideFramesAreGarbageInOrder)
{
    FrameAssembler assembler;
    const std::vector<ReceivedRecord> records = FeedAll(assembler, Bytes("xy<i>i<e"));
    ASSERT_EQ(4u, records.size());
    EXPECT_EQ(RecordKind::Garbage, records[0].kind);
    EXPECT_EQ(Bytes("xy"), records[0].bytes);
    EXPECT_EQ(Bytes("<i"), records[1].bytes);
    EXPECT_EQ(RecordKind::Garbage, records[2].kind);
    EXPECT_EQ(Bytes(">i"), records[2].bytes);
    EXPECT_EQ(Bytes("<e"), records[3].bytes);
}

TEST(FrameAssembler, UnknownLetterIsGarbageAndASecondStartCounts)
{
    FrameAssembler assembler;
    std::vector<ReceivedRecord> records = FeedAll(assembler, Bytes("<z<<i"));
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ(Bytes("<z"), records[0].bytes);
    EXPECT_EQ(RecordKind::Garbage, records[1].kind);
    EXPECT_EQ(Bytes("<"), records[1].bytes);
    EXPECT_EQ(Bytes("<i"), records[2].bytes);
}

TEST(FrameAssembler, StaleUnfinishedFrameIsDropped)
{
    FrameAssembler assembler;
    const std::vector<std::uint8_t> frame = BlockFrame(0, 1);
    EXPECT_TRUE(assembler.Feed(frame.data(), 100, 1000).empty());

    // Soon after, the rest still completes a frame...
    FrameAssembler patient = assembler;
    EXPECT_EQ(1u,
              patient.Feed(frame.data() + 100, frame.size() - 100, 1000 + kStaleFrameUs).size());

    // ...but after a long silence the PC's next command is not swallowed.
    const std::vector<ReceivedRecord> records =
        FeedAll(assembler, Bytes("<i"), 1000 + kStaleFrameUs + 1);
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(RecordKind::Garbage, records[0].kind);
    EXPECT_EQ(100u, records[0].bytes.size());
    EXPECT_EQ(Bytes("<i"), records[1].bytes);
}

} // namespace
} // namespace sim
