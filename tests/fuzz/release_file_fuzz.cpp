// The release-file reader: the window's reading through a C stream and the console program's
// reading into memory, over any file. Both must see the same blocks, model fields and CRC, and
// every block must be the file's bytes padded with 0xFF.
#include "base/unique_file.h"
#include "runner/release_image.h"
#include "files/release_file.h"
#include "fuzz_check.h"
#include "protocol/crc_x25.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace
{
// Enough blocks to reach the image's model field and a few past it.
constexpr std::uint32_t kBlocksChecked = 70;

std::string ScratchPath()
{
    return "/tmp/tervolo-fuzz-" + std::to_string(::getpid()) + ".rel";
}

void CheckBlock(const std::uint8_t* file, std::size_t size, std::uint32_t block,
                const std::uint8_t* data, std::size_t read)
{
    const std::size_t offset = kReleaseHeaderSize + std::size_t{block} * kBlockDataSize;
    const std::size_t held = offset < size ? std::min(kBlockDataSize, size - offset) : 0;
    FUZZ_CHECK(read == held);
    FUZZ_CHECK(held == 0 || std::memcmp(data, file + offset, held) == 0);
    for (std::size_t i = held; i < kBlockDataSize; ++i)
    {
        FUZZ_CHECK(data[i] == kBlankByte);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The model fields lie past 64 KiB; the fuzzer's inputs are shorter, so the input's first
    // byte can move the rest up to there (the gap read as zeros, an image's usual padding).
    if (size == 0)
    {
        return 0;
    }
    std::vector<std::uint8_t> file;
    if (data[0] & 1)
    {
        file.assign(kImageProductFieldOffset - 8, 0);
    }
    file.insert(file.end(), data + 1, data + size);

    const std::string path = ScratchPath();
    {
        UniqueFile out(std::fopen(path.c_str(), "wb"));
        FUZZ_CHECK(out != nullptr);
        FUZZ_CHECK(std::fwrite(file.data(), 1, file.size(), out.get()) == file.size());
    }
    UniqueFile in(std::fopen(path.c_str(), "rb"));
    FUZZ_CHECK(in != nullptr);

    for (const Section section : {Section::MainCode, Section::LanguagePack})
    {
        std::string error;
        const auto image = CReleaseImage::Load(path, section, error);
        FUZZ_CHECK((image == nullptr) == !error.empty());
        FUZZ_CHECK((image != nullptr) == HoldsReleaseBlocks(file.size()));
        if (image == nullptr)
        {
            continue;
        }
        FUZZ_CHECK(image->BlockCount() == ReleaseBlockCount(file.size()));
        FUZZ_CHECK(FitsBlockNumbering(file.size()));
        if (section == Section::MainCode)
        {
            char model[kImageModelSize];
            ReadImageModel(in.get(), model);
            FUZZ_CHECK(std::memcmp(model, image->ImageModel(), sizeof model) == 0);
            FUZZ_CHECK(model[1] == ' ');
        }
        else
        {
            char model[kLpModelSize];
            ReadLpModel(in.get(), model);
            FUZZ_CHECK(std::memcmp(model, image->LpModel(), sizeof model) == 0);
        }
        FUZZ_CHECK(CrcX25(in.get(), image->BlockCount()) == image->Crc());

        const std::uint32_t last = image->BlockCount() + 1;
        for (std::uint32_t block = 0; block <= last && block < kBlocksChecked; ++block)
        {
            std::uint8_t fromStream[kBlockDataSize];
            std::uint8_t fromMemory[kBlockDataSize];
            const std::size_t streamRead = ReadReleaseBlock(in.get(), block, fromStream);
            const std::size_t memoryRead = image->ReadBlock(block, fromMemory);
            CheckBlock(file.data(), file.size(), block, fromStream, streamRead);
            FUZZ_CHECK(memoryRead == streamRead);
            FUZZ_CHECK(std::memcmp(fromStream, fromMemory, kBlockDataSize) == 0);
            FUZZ_CHECK(IsBlankBlock(fromStream) ==
                       std::all_of(fromStream, fromStream + kBlockDataSize,
                                   [](std::uint8_t b) { return b == kBlankByte; }));
        }
    }
    in.reset();
    std::remove(path.c_str());
    return 0;
}
