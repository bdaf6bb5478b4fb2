#include "files/release_file.h"

#include <climits>
#include <cstring>

bool HoldsReleaseBlocks(std::uint64_t length)
{
    return length >= kMinReleaseFileSize;
}

bool FitsBlockNumbering(std::uint64_t length)
{
    return !HoldsReleaseBlocks(length) ||
           ((length - kMinReleaseFileSize) >> kBlockSizeShift) <= kMaxReleaseBlocks;
}

std::uint32_t ReleaseBlockCount(std::uint64_t length)
{
    return static_cast<std::uint32_t>((length - kMinReleaseFileSize) >> kBlockSizeShift);
}

std::size_t ReadReleaseBlock(std::FILE* file, std::uint32_t block, std::uint8_t* data)
{
    const std::uint64_t offset =
        kReleaseHeaderSize + (static_cast<std::uint64_t>(block) << kBlockSizeShift);
    std::size_t read = 0;
    if (offset <= static_cast<std::uint64_t>(LONG_MAX) &&
        std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0)
    {
        read = std::fread(data, 1, kBlockDataSize, file);
    }
    std::memset(data + read, kBlankByte, kBlockDataSize - read);
    return read;
}

bool IsBlankBlock(const std::uint8_t* data)
{
    for (std::size_t i = 0; i < kBlockDataSize; ++i)
    {
        if (data[i] != kBlankByte)
        {
            return false;
        }
    }
    return true;
}

namespace
{
// Reads a model field; a short file leaves zeros, which match no handset.
void ReadModelField(std::FILE* file, long offset, char* field, std::size_t size)
{
    std::memset(field, 0, size);
    if (std::fseek(file, offset, SEEK_SET) == 0)
    {
        const std::size_t read = std::fread(field, 1, size, file);
        (void)read;
    }
}
} // namespace

void ReadImageModel(std::FILE* file, char model[kImageModelSize])
{
    char field[kImageProductFieldSize];
    ReadModelField(file, kImageProductFieldOffset, field, sizeof field);
    std::memcpy(model, field, kImageModelSize);
    model[1] = ' '; // the second character of a model code never counts
}

void ReadLpModel(std::FILE* file, char model[kLpModelSize])
{
    ReadModelField(file, kLpModelFieldOffset, model, kLpModelSize);
}

void SkipReleaseHeader(std::FILE* file)
{
    std::uint8_t header[kReleaseHeaderSize];
    std::rewind(file);
    const std::size_t read = std::fread(header, 1, sizeof header, file);
    (void)read; // the next read starts where the data would be, whatever the header held
}
