// How a USB-serial adapter hands the handset's bytes to the PC: in USB packets, not as the
// handset wrote them. An FTDI chip sends what it holds when its latency timer runs out or its
// packet is full; CP210x, PL2303 and CH340 chips whenever the host polls, about 1 ms apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace sim
{

enum class AdapterKind
{
    None,    // each write of the handset reaches the PC whole, as on a UART's FIFO
    Ftdi,    // packets of up to 62 bytes, sent when full or when the latency timer runs out
    UsbPoll, // what has come, at every poll of the host
    Random,  // each write in two, cut at a random place (from a seed), 1 ms apart
};

constexpr std::uint32_t kFtdiDefaultLatencyMs = 16;
constexpr std::uint32_t kFtdiMaxLatencyMs = 255;
constexpr std::size_t kFtdiPacketBytes = 62; // a 64-byte USB packet less its two status bytes
constexpr std::int64_t kUsbPollPeriodUs = 1000;
constexpr std::int64_t kUsbPollJitterUs = 250; // each poll 0.75 to 1.25 ms after the previous
constexpr std::int64_t kRandomPieceGapUs = 1000;
constexpr std::uint32_t kDefaultAdapterSeed = 1;

struct AdapterProfile
{
    AdapterKind kind = AdapterKind::None;
    std::uint32_t latencyMs = kFtdiDefaultLatencyMs; // ftdi
    std::uint32_t seed = kDefaultAdapterSeed;        // random (and usb-poll's jitter)
};

// "none", "ftdi", "ftdi:<latency-ms>" (1 to 255), "usb-poll", "random", "random:<seed>".
bool ParseAdapterProfile(std::string_view text, AdapterProfile& profile);
std::string FormatAdapterProfile(const AdapterProfile& profile);

struct AdapterPacket
{
    std::size_t bytes = 0;
    std::int64_t timeUs = 0; // when the PC gets it
};

// One write of the handset as the PC receives it. `arrivalsUs[i]`: when byte i reached the
// adapter (not decreasing). The packets cover every byte in order; `random` draws the poll
// phase and jitter and the random cuts.
std::vector<AdapterPacket> CutIntoPackets(const AdapterProfile& profile,
                                          const std::vector<std::int64_t>& arrivalsUs,
                                          std::mt19937& random);

} // namespace sim
