// The receive buffer's read sizes and wrap, step by step.

#include <gtest/gtest.h>

#include <cstdint>

#include "serial/receive_buffer.h"

namespace
{

using serial::NextWriteIndex;
using serial::ReadSizeAt;

constexpr std::uint32_t kBufferBytes = 3000;
constexpr std::uint32_t kWrapIndex = 2800;
constexpr std::uint32_t kFullRead = 300;

TEST(ReceiveBufferTest, EveryReadBelowTheWrapFitsInTheBuffer)
{
    for (std::uint32_t index = 0; index < kWrapIndex; ++index)
    {
        const std::uint32_t size = ReadSizeAt(index);
        ASSERT_GT(size, 0u) << index;
        ASSERT_LE(size, kFullRead) << index;
        ASSERT_LE(index + size, kBufferBytes) << index;
        if (index + kFullRead <= kBufferBytes)
        {
            ASSERT_EQ(kFullRead, size) << "a read with room for 300 bytes is not cut, at " << index;
        }
    }
}

TEST(ReceiveBufferTest, TenFullReadsComeBackToTheStart)
{
    std::uint32_t index = 0;
    for (int read = 1; read <= 9; ++read)
    {
        index = NextWriteIndex(index, ReadSizeAt(index));
        EXPECT_EQ(read * kFullRead, index);
    }
    EXPECT_EQ(0u, NextWriteIndex(index, ReadSizeAt(index)));
}

TEST(ReceiveBufferTest, SingleBytesComeBackToTheStartAtTheWrapIndex)
{
    std::uint32_t index = 0;
    for (std::uint32_t received = 1; received < kWrapIndex; ++received)
    {
        index = NextWriteIndex(index, 1);
        ASSERT_EQ(received, index);
    }
    EXPECT_EQ(0u, NextWriteIndex(index, 1));
}

TEST(ReceiveBufferTest, AReadNearTheEndIsCutToTheRoomLeftAndThenWraps)
{
    EXPECT_EQ(201u, ReadSizeAt(2799));
    EXPECT_EQ(210u, ReadSizeAt(2790));
    EXPECT_EQ(0u, NextWriteIndex(2799, 201));
    // A short read there still counts towards the wrap and does not wrap early.
    EXPECT_EQ(2795u, NextWriteIndex(2790, 5));
    EXPECT_EQ(0u, NextWriteIndex(2795, 5));
}

} // namespace
