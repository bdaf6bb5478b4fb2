// Samples of a time in microseconds: the turnarounds (the handset's ">w" on the line to the
// PC's next frame: how quickly the PC keeps the handset busy) and the answer delays (how late
// the simulator hands its answers over).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim
{

class TurnaroundStats
{
public:
    void Add(std::uint64_t microseconds) { m_samples.push_back(microseconds); }
    void Clear() { m_samples.clear(); }

    std::size_t Count() const { return m_samples.size(); }
    // Nearest-rank percentile (0 < percent <= 100); 0 without samples.
    std::uint64_t Percentile(double percent) const;
    std::uint64_t Mean() const; // rounded down; 0 without samples
    std::uint64_t Median() const { return Percentile(50.0); }
    std::uint64_t Maximum() const { return Percentile(100.0); }

private:
    std::vector<std::uint64_t> m_samples;
};

} // namespace sim
