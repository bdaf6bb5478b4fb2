#include "sim/adapter_profile.h"

#include "sim/hex_text.h"

#include <algorithm>

namespace sim
{
namespace
{

constexpr std::int64_t kMicrosecondsPerMillisecond = 1000;
constexpr std::string_view kFtdiName = "ftdi";
constexpr std::string_view kUsbPollName = "usb-poll";
constexpr std::string_view kRandomName = "random";
constexpr std::string_view kNoneName = "none";

// The FTDI chip: the first byte into an empty buffer starts the latency timer; the buffer
// goes out when it is full or when the timer runs out.
std::vector<AdapterPacket> CutLikeFtdi(std::uint32_t latencyMs,
                                       const std::vector<std::int64_t>& arrivalsUs)
{
    std::vector<AdapterPacket> packets;
    std::size_t next = 0;
    while (next < arrivalsUs.size())
    {
        const std::int64_t timerEndUs =
            arrivalsUs[next] + static_cast<std::int64_t>(latencyMs) * kMicrosecondsPerMillisecond;
        std::size_t end = next;
        while (end < arrivalsUs.size() && end - next < kFtdiPacketBytes &&
               arrivalsUs[end] <= timerEndUs)
        {
            ++end;
        }
        const bool full = end - next == kFtdiPacketBytes;
        packets.push_back({end - next, full ? arrivalsUs[end - 1] : timerEndUs});
        next = end;
    }
    return packets;
}

std::int64_t NextPollGapUs(std::mt19937& random)
{
    return kUsbPollPeriodUs - kUsbPollJitterUs +
           static_cast<std::int64_t>(random() % (2 * kUsbPollJitterUs + 1));
}

// The host polls about every millisecond and takes what has come since the last poll.
std::vector<AdapterPacket> CutAtPolls(const std::vector<std::int64_t>& arrivalsUs,
                                      std::mt19937& random)
{
    std::vector<AdapterPacket> packets;
    std::int64_t pollUs =
        arrivalsUs.front() + static_cast<std::int64_t>(random() % kUsbPollPeriodUs);
    std::size_t next = 0;
    while (next < arrivalsUs.size())
    {
        while (pollUs < arrivalsUs[next])
        {
            pollUs += NextPollGapUs(random);
        }
        std::size_t end = next;
        while (end < arrivalsUs.size() && arrivalsUs[end] <= pollUs)
        {
            ++end;
        }
        packets.push_back({end - next, pollUs});
        next = end;
        pollUs += NextPollGapUs(random);
    }
    return packets;
}

// Two pieces, cut at a random place; the second once its last byte has come and at least
// kRandomPieceGapUs after the first, so that the PC reads them apart.
std::vector<AdapterPacket> CutAtRandom(const std::vector<std::int64_t>& arrivalsUs,
                                       std::mt19937& random)
{
    const std::size_t count = arrivalsUs.size();
    if (count < 2)
    {
        return {{count, arrivalsUs.back()}};
    }
    const std::size_t first = 1 + random() % (count - 1);
    const std::int64_t firstUs = arrivalsUs[first - 1];
    return {{first, firstUs},
            {count - first, std::max(arrivalsUs.back(), firstUs + kRandomPieceGapUs)}};
}

} // namespace

bool ParseAdapterProfile(std::string_view text, AdapterProfile& profile)
{
    const std::size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    const bool hasValue = colon != std::string_view::npos;
    std::uint64_t value = 0;
    if (hasValue && !ParseUnsigned(text.substr(colon + 1), value))
    {
        return false;
    }
    AdapterProfile parsed;
    if (name == kFtdiName)
    {
        if (hasValue && (value == 0 || value > kFtdiMaxLatencyMs))
        {
            return false;
        }
        parsed.kind = AdapterKind::Ftdi;
        parsed.latencyMs = hasValue ? static_cast<std::uint32_t>(value) : kFtdiDefaultLatencyMs;
    }
    else if (name == kRandomName)
    {
        if (value > UINT32_MAX)
        {
            return false;
        }
        parsed.kind = AdapterKind::Random;
        parsed.seed = hasValue ? static_cast<std::uint32_t>(value) : kDefaultAdapterSeed;
    }
    else if ((name == kUsbPollName || name == kNoneName) && !hasValue)
    {
        parsed.kind = name == kNoneName ? AdapterKind::None : AdapterKind::UsbPoll;
    }
    else
    {
        return false;
    }
    profile = parsed;
    return true;
}

std::string FormatAdapterProfile(const AdapterProfile& profile)
{
    switch (profile.kind)
    {
    case AdapterKind::Ftdi:
        return std::string(kFtdiName) + ":" + std::to_string(profile.latencyMs);
    case AdapterKind::UsbPoll:
        return std::string(kUsbPollName);
    case AdapterKind::Random:
        return std::string(kRandomName) + ":" + std::to_string(profile.seed);
    case AdapterKind::None:
        break;
    }
    return std::string(kNoneName);
}

std::vector<AdapterPacket> CutIntoPackets(const AdapterProfile& profile,
                                          const std::vector<std::int64_t>& arrivalsUs,
                                          std::mt19937& random)
{
    if (arrivalsUs.empty())
    {
        return {};
    }
    switch (profile.kind)
    {
    case AdapterKind::Ftdi:
        return CutLikeFtdi(profile.latencyMs, arrivalsUs);
    case AdapterKind::UsbPoll:
        return CutAtPolls(arrivalsUs, random);
    case AdapterKind::Random:
        return CutAtRandom(arrivalsUs, random);
    case AdapterKind::None:
        break;
    }
    return {{arrivalsUs.size(), arrivalsUs.back()}};
}

} // namespace sim
