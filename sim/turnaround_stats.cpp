#include "sim/turnaround_stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace sim
{

std::uint64_t TurnaroundStats::Percentile(double percent) const
{
    if (m_samples.empty())
    {
        return 0;
    }
    std::vector<std::uint64_t> sorted = m_samples;
    std::sort(sorted.begin(), sorted.end());
    const double rank = std::ceil(percent / 100.0 * static_cast<double>(sorted.size()));
    const std::size_t index =
        rank < 1.0 ? 0 : std::min(sorted.size() - 1, static_cast<std::size_t>(rank) - 1);
    return sorted[index];
}

std::uint64_t TurnaroundStats::Mean() const
{
    if (m_samples.empty())
    {
        return 0;
    }
    return std::accumulate(m_samples.begin(), m_samples.end(), std::uint64_t{0}) / m_samples.size();
}

} // namespace sim
