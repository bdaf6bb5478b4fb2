#include "sim/frame_assembler.h"

#include "sim/handset_protocol.h"

#include <utility>

namespace sim
{

std::vector<ReceivedRecord> FrameAssembler::Feed(const std::uint8_t* bytes, std::size_t count,
                                                 std::uint64_t timeUs)
{
    std::vector<ReceivedRecord> records;
    std::vector<std::uint8_t> garbage;
    const auto flushGarbage = [&]()
    {
        if (!garbage.empty())
        {
            records.push_back({RecordKind::Garbage, timeUs, std::move(garbage)});
            garbage.clear();
        }
    };

    if (!m_partial.empty() && timeUs - m_lastByteUs > kStaleFrameUs)
    {
        garbage = std::move(m_partial);
        Reset();
        flushGarbage();
    }

    for (std::size_t i = 0; i < count; ++i)
    {
        const std::uint8_t byte = bytes[i];
        if (m_partial.empty())
        {
            if (byte == kCommandStart)
            {
                flushGarbage();
                m_partial.push_back(byte);
            }
            else
            {
                garbage.push_back(byte);
            }
            continue;
        }
        if (m_partial.size() == 1)
        {
            const std::size_t length = CommandFrameLength(byte);
            if (length == 0)
            {
                // Not a command after all: the '<' is garbage, the byte may start the next.
                garbage.push_back(kCommandStart);
                m_partial.clear();
                if (byte == kCommandStart)
                {
                    flushGarbage();
                    m_partial.push_back(byte);
                }
                else
                {
                    garbage.push_back(byte);
                }
                continue;
            }
            m_expected = length;
        }
        m_partial.push_back(byte);
        if (m_partial.size() == m_expected)
        {
            flushGarbage();
            records.push_back({RecordKind::Frame, timeUs, std::move(m_partial)});
            Reset();
        }
    }
    flushGarbage();
    if (count > 0)
    {
        m_lastByteUs = timeUs;
    }
    return records;
}

void FrameAssembler::Reset()
{
    m_partial.clear();
    m_expected = 0;
}

} // namespace sim
