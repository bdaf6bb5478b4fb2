// SHA-256 (FIPS 180-4), fed in pieces: the fingerprint of each release file in the journal.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class CSha256
{
public:
    CSha256();
    void Update(const void* bytes, std::size_t count);
    // The digest as 64 lower-case hex digits; the object is spent afterwards.
    std::string HexDigest();

private:
    void Compress(const std::uint8_t* chunk);

    std::array<std::uint32_t, 8> m_state;
    std::array<std::uint8_t, 64> m_chunk = {};
    std::size_t m_filled = 0; // bytes waiting in m_chunk
    std::uint64_t m_totalBytes = 0;
};

// The SHA-256 of a file's bytes; false (with `error` set) when it cannot be read.
bool Sha256OfFile(const std::string& path, std::string& hex, std::string& error);
