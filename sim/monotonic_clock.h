// The one time base of the simulator: microseconds of the monotonic clock.
#pragma once

#include <chrono>
#include <cstdint>

namespace sim
{

inline std::int64_t NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace sim
