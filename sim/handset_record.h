// The handset's 66-byte self-description (">p" and 64 bytes of fields), as the simulated
// handset sends it. Every field can be changed; 32-bit numbers are little-endian.
#pragma once

#include "sim/handset_protocol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim
{

struct RecordField
{
    const char* name;
    std::size_t offset; // in the 66-byte record
    std::size_t width;  // bytes
    bool numeric;       // an unsigned little-endian number
};

// The fields in record order, and their count.
extern const RecordField kRecordFields[];
extern const std::size_t kRecordFieldCount;

const RecordField* FindRecordField(std::string_view name);

// Model numbers.
constexpr std::size_t kMobileIdWidth = 5;
constexpr std::size_t kProductIdWidth = 16;
constexpr char kDefaultMobileId[] = "RT47 ";
constexpr char kDefaultProductId[] = "RT47-SIM-0001";
constexpr char kDefaultDownloadId[] = "SIM-DL-0001";
constexpr std::uint32_t kDefaultBlockSize = 1024;
constexpr std::uint32_t kDefaultFlashId = 0x227E2201;
constexpr std::uint8_t kDefaultWindowSize = 1;
constexpr std::uint8_t kDefaultFlashCount = 1;

// True for the mobile ids whose handsets answer the checksum with both sections' figures.
bool IsExtendedMobileId(std::string_view mobileId);

class HandsetRecord
{
public:
    HandsetRecord(); // the defaults above, text fields padded with NUL

    // Raw bytes; fewer than the field's width are padded with zero bytes.
    bool SetBytes(std::string_view field, const std::vector<std::uint8_t>& bytes,
                  std::string& error);
    // Text; fewer characters than the field's width are padded with `pad`.
    bool SetText(std::string_view field, std::string_view text, char pad, std::string& error);
    // A number, for the numeric fields only.
    bool SetNumber(std::string_view field, std::uint64_t value, std::string& error);

    std::string FieldText(std::string_view field) const; // the field's bytes as characters
    std::string MobileId() const { return FieldText("mobile_id"); }
    bool IsExtendedFamily() const { return IsExtendedMobileId(MobileId()); }

    const std::array<std::uint8_t, kParameterRecordLength>& Bytes() const { return m_bytes; }

private:
    std::array<std::uint8_t, kParameterRecordLength> m_bytes{};
};

} // namespace sim
