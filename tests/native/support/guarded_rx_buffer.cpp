#include "guarded_rx_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace
{
constexpr std::size_t kGuardedPages = 3; // guard, buffer, guard
} // namespace

GuardedRxBuffer::GuardedRxBuffer(Guard guard)
{
    m_pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    if (m_pageSize < serial::kRxBufferBytes)
    {
        throw std::runtime_error("page smaller than the receive buffer");
    }
    m_mapping =
        mmap(nullptr, kGuardedPages * m_pageSize, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m_mapping == MAP_FAILED)
    {
        throw std::runtime_error("mmap failed");
    }
    std::uint8_t* page = static_cast<std::uint8_t*>(m_mapping) + m_pageSize;
    m_data = (guard == Guard::AfterEnd) ? page + m_pageSize - serial::kRxBufferBytes : page;
}

GuardedRxBuffer::~GuardedRxBuffer()
{
    munmap(m_mapping, kGuardedPages * m_pageSize);
}

void GuardedRxBuffer::Open()
{
    std::uint8_t* page = static_cast<std::uint8_t*>(m_mapping) + m_pageSize;
    mprotect(page, m_pageSize, PROT_READ | PROT_WRITE);
    std::memset(m_data, 0, serial::kRxBufferBytes);
}

void GuardedRxBuffer::Close()
{
    std::uint8_t* page = static_cast<std::uint8_t*>(m_mapping) + m_pageSize;
    mprotect(page, m_pageSize, PROT_NONE);
}

StoredRead StoreRead(std::uint8_t* buffer, std::uint32_t& writeIndex, const Bytes& bytes,
                     bool store)
{
    const std::size_t count = std::min<std::size_t>(bytes.size(), serial::ReadSizeAt(writeIndex));
    std::uint8_t* at = buffer + writeIndex;
    if (store)
    {
        std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count), at);
        writeIndex = serial::NextWriteIndex(writeIndex, static_cast<std::uint32_t>(count));
    }
    return StoredRead{count, at};
}
