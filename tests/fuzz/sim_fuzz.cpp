// The simulator's frame assembler and control commands. The input is a run of steps: a step
// byte with bit 0 clear takes a control line (up to the next LF), with bit 0 set the next byte
// gives how many bytes reach the line as one read, its other bits how long after the last one.
// The assembler must hand on every byte exactly once, in order, in frames of their letter's
// length or as garbage; the handset answers every frame without fault.
#include "fuzz_check.h"
#include "sim/handset_protocol.h"
#include "sim/simulator.h"

#include <sstream>
#include <string>
#include <vector>

namespace sim
{
class SimulatorFuzzAccess
{
public:
    explicit SimulatorFuzzAccess(Simulator& simulator) : m_simulator(simulator) {}

    // Commands that open a terminal (RESET, PLUG) or write files (DUMP) are left to the tests.
    // UNPLUG forgets an unfinished frame: it is let go as garbage first, so no byte goes unseen.
    void Execute(const std::string& line, std::uint64_t& timeUs)
    {
        std::istringstream words(line);
        std::string name;
        words >> name;
        for (char& c : name)
        {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        if (name == "UNPLUG")
        {
            timeUs += kStaleFrameUs + 1;
            Receive(nullptr, 0, timeUs);
        }
        if (name != "RESET" && name != "PLUG" && name != "DUMP")
        {
            m_simulator.Execute(line);
        }
    }
    void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t timeUs)
    {
        Check(m_simulator.m_assembler.Feed(bytes, count, timeUs));
    }
    void Check(const std::vector<ReceivedRecord>& records)
    {
        for (const ReceivedRecord& record : records)
        {
            FUZZ_CHECK(!record.bytes.empty());
            out.insert(out.end(), record.bytes.begin(), record.bytes.end());
            if (record.kind == RecordKind::Frame)
            {
                FUZZ_CHECK(record.bytes.size() >= 2 && record.bytes[0] == kCommandStart);
                FUZZ_CHECK(record.bytes.size() == CommandFrameLength(record.bytes[1]));
                const Reply reply = m_simulator.m_handset.OnFrame(record.bytes);
                for (const AnswerPiece& piece : reply.pieces)
                {
                    FUZZ_CHECK(!piece.bytes.empty());
                }
            }
        }
    }

    std::vector<std::uint8_t> out; // every byte the assembler handed on

private:
    Simulator& m_simulator;
};
} // namespace sim

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::ostringstream people;
    sim::Simulator simulator(sim::SimConfig(), people);
    sim::SimulatorFuzzAccess access(simulator);
    std::vector<std::uint8_t> in;
    std::uint64_t timeUs = 1;
    std::size_t at = 0;
    while (at < size)
    {
        const std::uint8_t step = data[at++];
        if ((step & 1) == 0)
        {
            std::size_t end = at;
            while (end < size && data[end] != '\n')
            {
                ++end;
            }
            access.Execute(std::string(reinterpret_cast<const char*>(data + at), end - at), timeUs);
            at = end + 1;
            continue;
        }
        std::size_t count = 0;
        if (at < size)
        {
            count = std::min<std::size_t>(data[at], size - at - 1);
            ++at;
        }
        // Up to 4 s between reads: past the time an unfinished frame is kept.
        timeUs += static_cast<std::uint64_t>(step >> 1) * 32000;
        access.Receive(data + at, count, timeUs);
        in.insert(in.end(), data + at, data + at + count);
        at += count;
    }
    access.Receive(nullptr, 0, timeUs + sim::kStaleFrameUs + 1); // whatever is left, as garbage
    FUZZ_CHECK(access.out == in);
    return 0;
}
