// relconv's reading: a command file, an S-record source and the optional most-blocks argument,
// split from the input at NUL bytes. A release file that comes out must hold exactly the
// records' bytes at their places, 0xFF elsewhere, within the layout's block limits.
#include "fuzz_check.h"
#include "kit/release_builder.h"

#include <cstring>
#include <string>
#include <vector>

namespace
{
// Takes the text up to the next NUL (or the end) off the front of `rest`.
std::string NextPart(std::string& rest)
{
    const std::size_t end = rest.find('\0');
    std::string part = rest.substr(0, end);
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    return part;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string rest(reinterpret_cast<const char*>(data), size);
    const std::string commandText = NextPart(rest);
    const std::string source = NextPart(rest);
    const bool hasCount = !rest.empty();
    const std::string countText = NextPart(rest);

    kit::ReleaseLayout layout;
    std::string error;
    if (!kit::ReadCommandFile(commandText, layout, error))
    {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    if (hasCount && !kit::ParseBlockCount(countText, layout.maxBlocks))
    {
        return 0;
    }
    FUZZ_CHECK(layout.maxBlocks >= 1 && layout.maxBlocks <= kMaxReleaseBlocks);
    FUZZ_CHECK(layout.minBlocks >= 1 && layout.minBlocks <= kMaxReleaseBlocks);
    std::vector<kit::DataRecord> records;
    if (!kit::ParseSRecords(source, records, error))
    {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    for (const kit::DataRecord& record : records)
    {
        FUZZ_CHECK(record.line >= 1);
        FUZZ_CHECK(record.data.size() <= 255);
    }
    std::vector<std::uint8_t> file;
    if (!kit::BuildReleaseFile(records, layout, file, error))
    {
        FUZZ_CHECK(!error.empty());
        return 0;
    }

    FUZZ_CHECK(HoldsReleaseBlocks(file.size()));
    const std::uint32_t blocks = ReleaseBlockCount(file.size());
    FUZZ_CHECK(file.size() == kReleaseHeaderSize + std::size_t{blocks} * kBlockDataSize + 1);
    FUZZ_CHECK(blocks >= layout.minBlocks && blocks <= layout.maxBlocks);
    FUZZ_CHECK(FitsBlockNumbering(file.size()));
    FUZZ_CHECK(std::memcmp(file.data(), "REL", 3) == 0);
    FUZZ_CHECK(file[3] == (layout.kind == kit::ReleaseKind::Image ? 'I' : 'L'));
    FUZZ_CHECK(file.back() == kBlankByte);

    std::vector<std::uint8_t> expected(file.size() - kReleaseHeaderSize - 1, kBlankByte);
    for (const kit::DataRecord& record : records)
    {
        FUZZ_CHECK(record.address >= layout.base);
        const std::size_t offset = record.address - layout.base;
        FUZZ_CHECK(offset + record.data.size() <= expected.size());
        std::copy(record.data.begin(), record.data.end(), expected.begin() + offset);
    }
    FUZZ_CHECK(std::equal(expected.begin(), expected.end(), file.begin() + kReleaseHeaderSize));
    return 0;
}
