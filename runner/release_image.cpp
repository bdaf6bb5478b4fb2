#include "runner/release_image.h"

#include "base/unique_file.h"

#include "files/release_file.h"
#include "files/file_class.h"
#include "protocol/crc_x25.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace
{

// The blocks in memory, read in order for the CRC.
class MemoryBlockReader : public BlockDataReader
{
public:
    explicit MemoryBlockReader(const std::vector<std::uint8_t>& data) : m_data(data) {}
    std::size_t Read(std::uint8_t* out, std::size_t count) override
    {
        const std::size_t left = m_data.size() - m_position;
        const std::size_t taken = std::min(count, left);
        std::memcpy(out, m_data.data() + m_position, taken);
        m_position += taken;
        return taken;
    }

private:
    const std::vector<std::uint8_t>& m_data;
    std::size_t m_position = 0;
};

struct SectionTexts
{
    const char* notFound;
    const char* extension;
    const char* tooShort;
    const char* openError;
};
const SectionTexts kImageTexts = {
    "Image File not found !",
    "Image file extension not recognised!",
    "Image file too short to hold a block!",
    "Error opening download Image file:\n",
};
const SectionTexts kLpTexts = {
    "Language Pack File not found !",
    "Language Pack file extension not recognised!",
    "Language Pack file too short to hold a block!",
    "Error opening download Language Pack file:\n",
};

bool IsRegularFile(const std::string& path, std::uint64_t& length)
{
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0 || (info.st_mode & S_IFMT) != S_IFREG)
    {
        return false;
    }
    length = static_cast<std::uint64_t>(info.st_size);
    return true;
}

} // namespace

std::shared_ptr<const CReleaseImage> CReleaseImage::Load(const std::string& path, Section section,
                                                         std::string& error)
{
    const SectionTexts& texts = section == Section::MainCode ? kImageTexts : kLpTexts;
    std::uint64_t length = 0;
    if (path.empty() || !IsRegularFile(path, length))
    {
        error = texts.notFound;
        return nullptr;
    }
    // Other kinds need the conversion kit of the window; the console program sends release files.
    if (!HasReleaseExtension(path.c_str()))
    {
        error = texts.extension;
        return nullptr;
    }
    if (!HoldsReleaseBlocks(length))
    {
        error = texts.tooShort;
        return nullptr;
    }
    const std::uint32_t blockCount = ReleaseBlockCount(length);
    if (blockCount > kMaxReleaseBlocks || length - kReleaseHeaderSize > SIZE_MAX)
    {
        error = "File too long: more than 16384 blocks (" + path + ")";
        return nullptr;
    }

    UniqueFile file(std::fopen(path.c_str(), "rb"));
    if (file == nullptr)
    {
        error = texts.openError + path;
        return nullptr;
    }
    auto image = std::make_shared<CReleaseImage>();
    image->m_blockCount = blockCount;
    if (section == Section::MainCode)
    {
        ReadImageModel(file.get(), image->m_imageModel);
    }
    else
    {
        ReadLpModel(file.get(), image->m_lpModel);
    }
    SkipReleaseHeader(file.get());
    image->m_data.resize(static_cast<std::size_t>(length - kReleaseHeaderSize));
    if (std::fread(image->m_data.data(), 1, image->m_data.size(), file.get()) !=
        image->m_data.size())
    {
        error = texts.openError + path;
        return nullptr;
    }
    MemoryBlockReader reader(image->m_data);
    image->m_crc = CrcX25(reader, blockCount);
    return image;
}

std::size_t CReleaseImage::ReadBlock(std::uint32_t block, std::uint8_t* data) const
{
    const std::uint64_t offset = static_cast<std::uint64_t>(block) << kBlockSizeShift;
    std::size_t taken = 0;
    if (offset < m_data.size())
    {
        taken = std::min<std::uint64_t>(kBlockDataSize, m_data.size() - offset);
        std::memcpy(data, m_data.data() + offset, taken);
    }
    std::memset(data + taken, kBlankByte, kBlockDataSize - taken);
    return taken;
}
