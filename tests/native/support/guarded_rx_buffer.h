// A receive buffer placed against an inaccessible page, so that a read past one of its ends
// faults at once, and the reader's way of storing what arrives in it. While its channel is
// closed the whole buffer is inaccessible.
#pragma once

#include "serial/receive_buffer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

class GuardedRxBuffer
{
public:
    enum class Guard
    {
        AfterEnd,
        BeforeStart,
    };

    explicit GuardedRxBuffer(Guard guard);
    ~GuardedRxBuffer();
    GuardedRxBuffer(const GuardedRxBuffer&) = delete;
    GuardedRxBuffer& operator=(const GuardedRxBuffer&) = delete;

    std::uint8_t* Data() const { return m_data; }
    void Open();  // accessible and zeroed, as a new channel's buffer
    void Close(); // no access at all

private:
    void* m_mapping = nullptr;
    std::size_t m_pageSize = 0;
    std::uint8_t* m_data = nullptr;
};

// One read of the reader: what it stored and where.
struct StoredRead
{
    std::size_t count;
    const std::uint8_t* chunk;
};

// Stores the start of `bytes` as one read at writeIndex would (never more than ReadSizeAt
// allows) and advances writeIndex by the buffer's rules. With `store` false only the place is
// told: a read left behind by a reader that has gone.
StoredRead StoreRead(std::uint8_t* buffer, std::uint32_t& writeIndex, const Bytes& bytes,
                     bool store = true);
