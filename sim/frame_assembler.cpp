#include "sim/frame_assembler.h"

#include "sim/handset_protocol.h"

#include <utility>

namespace sim
{

// What one piece gives: the records in order, and the run of garbage being gathered.
struct FrameAssembler::Output
{
    std::uint64_t timeUs;
    std::vector<ReceivedRecord> records;
    std::vector<std::uint8_t> garbage;

    void FlushGarbage()
    {
        if (!garbage.empty())
        {
            records.push_back({RecordKind::Garbage, timeUs, std::move(garbage)});
            garbage.clear();
        }
    }
};

std::vector<ReceivedRecord> FrameAssembler::Feed(const std::uint8_t* bytes, std::size_t count,
                                                 std::uint64_t timeUs)
{
    Output out{timeUs, {}, {}};
    if (!m_partial.empty() && timeUs - m_lastByteUs > kStaleFrameUs)
    {
        out.garbage = std::move(m_partial);
        Reset();
        out.FlushGarbage();
    }
    for (std::size_t i = 0; i < count; ++i)
    {
        Take(bytes[i], out);
    }
    out.FlushGarbage();
    if (count > 0)
    {
        m_lastByteUs = timeUs;
    }
    return std::move(out.records);
}

void FrameAssembler::Take(std::uint8_t byte, Output& out)
{
    if (m_partial.size() == 1)
    {
        const std::size_t length = CommandFrameLength(byte);
        if (length == 0)
        {
            // Not a command after all: the '<' is garbage, the byte may start the next.
            out.garbage.push_back(kCommandStart);
            m_partial.clear();
        }
        else
        {
            m_expected = length;
        }
    }
    if (m_partial.empty())
    {
        if (byte == kCommandStart)
        {
            out.FlushGarbage();
            m_partial.push_back(byte);
        }
        else
        {
            out.garbage.push_back(byte);
        }
        return;
    }
    m_partial.push_back(byte);
    if (m_partial.size() == m_expected)
    {
        out.FlushGarbage();
        out.records.push_back({RecordKind::Frame, out.timeUs, std::move(m_partial)});
        Reset();
    }
}

void FrameAssembler::Reset()
{
    m_partial.clear();
    m_expected = 0;
}

} // namespace sim
