// Cuts the byte stream from the PC into command frames. Reads deliver arbitrary pieces, so
// a frame is complete only once as many bytes as its letter calls for have arrived.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim
{

enum class RecordKind
{
    Frame,   // one complete command, '<' and the letter first
    Garbage, // bytes that belong to no command
};

struct ReceivedRecord
{
    RecordKind kind = RecordKind::Garbage;
    std::uint64_t timeUs = 0; // when its last byte arrived
    std::vector<std::uint8_t> bytes;

    std::uint8_t Letter() const { return kind == RecordKind::Frame ? bytes[1] : 0; }
};

// A frame left unfinished this long is dropped as garbage, so that a PC that gave up in the
// middle of a block does not swallow its next command. Far longer than any pause within one
// write of the PC.
constexpr std::uint64_t kStaleFrameUs = 2000000;

class FrameAssembler
{
public:
    // Takes one piece received at timeUs. Returns, in order, the frames it completed and
    // the garbage runs it met.
    std::vector<ReceivedRecord> Feed(const std::uint8_t* bytes, std::size_t count,
                                     std::uint64_t timeUs);

    // Forgets an unfinished frame.
    void Reset();

    bool InFrame() const { return !m_partial.empty(); }

private:
    struct Output;
    void Take(std::uint8_t byte, Output& out);

    std::vector<std::uint8_t> m_partial; // bytes of the unfinished frame
    std::size_t m_expected = 0;          // its full length, once the letter is known
    std::uint64_t m_lastByteUs = 0;
};

} // namespace sim
