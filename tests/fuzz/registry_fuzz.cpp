// The registry encodings, over values another program or an older version may have left: each
// stored text goes through the store's read path (a Length companion, a read size, the cut
// into the caller's buffer) and the flag and list-position rules. What the encodings write
// must read back as written.
#include "files/recent_files.h"
#include "fuzz_check.h"
#include "settings/preset_names.h"
#include "settings/registry_encoding.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace
{
// The store's ReadTextWithLength without a registry: the stored length text, then the stored
// text read into TextReadSize bytes as RegQueryValueEx would (cut, zero-terminated).
void ReadTextWithLength(const std::string& lengthText, const std::string& stored,
                        std::size_t bufferSize)
{
    char lengthRoom[kLengthTextSize] = {};
    CopyCut(lengthRoom, sizeof lengthRoom, lengthText.data(), lengthText.size());
    std::size_t length = 0;
    if (!LengthFromText(lengthRoom, length))
    {
        return;
    }
    char text[kRegistryTextSize] = {};
    const std::size_t readSize = TextReadSize(length, std::min(bufferSize, sizeof text));
    FUZZ_CHECK(readSize <= sizeof text && readSize <= bufferSize);
    if (readSize == 0)
    {
        return;
    }
    const bool whole = CopyCut(text, readSize, stored.data(), stored.size());
    FUZZ_CHECK(std::strlen(text) < readSize);
    FUZZ_CHECK(whole == (std::strlen(stored.c_str()) < readSize));
    std::string caller(bufferSize, 'x');
    const bool fits = CopyCut(&caller[0], bufferSize, text, std::strlen(text));
    FUZZ_CHECK(fits == (std::strlen(text) < bufferSize));
    FUZZ_CHECK(std::strlen(caller.c_str()) < bufferSize);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
    {
        return 0;
    }
    // The caller's buffer: 1 to 512 bytes; then the stored length text and the stored text.
    const std::size_t bufferSize = 1 + ((data[0] << 1 | (data[1] & 1)) & 0x1FF);
    const std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t split = rest.find('\0');
    const std::string lengthText = rest.substr(0, split);
    const std::string stored = split == std::string::npos ? std::string() : rest.substr(split + 1);
    ReadTextWithLength(lengthText, stored, bufferSize);

    // Flags and list positions as read back into their small rooms.
    char flag[kFlagTextSize] = {};
    CopyCut(flag, sizeof flag, stored.data(), stored.size());
    FUZZ_CHECK(FlagFromText(flag) == (flag[0] == '1'));
    char index[kIndexTextSize] = {};
    CopyCut(index, sizeof index, stored.data(), stored.size());
    const int position = IndexFromText(index);
    const int listCount = data[1] >> 1;
    const int selected = SelectableIndex(position, listCount);
    FUZZ_CHECK(selected == -1 || (selected >= 0 && selected < listCount && selected == position));

    // A recent list's stored count, and the folder a stored path gives the Browse... dialogs.
    char countRoom[kLengthTextSize] = {};
    CopyCut(countRoom, sizeof countRoom, lengthText.data(), lengthText.size());
    std::size_t count = 0;
    const int entries = LengthFromText(countRoom, count) ? RecentEntriesStored(count) : 0;
    FUZZ_CHECK(entries >= 0 && entries <= kStoredRecentEntries);
    const std::string folder = FolderOf(stored.c_str());
    FUZZ_CHECK(folder.empty() ||
               (folder.back() == '\\' && std::string(stored.c_str()).rfind(folder, 0) == 0));

    // What the encodings write reads back.
    FUZZ_CHECK(FlagFromText(FlagText(true)) && !FlagFromText(FlagText(false)));
    const int written = static_cast<int>(data[0] % 10) - 1;
    FUZZ_CHECK(IndexFromText(IndexText(written).c_str()) == (written < 0 ? -3 : written));
    std::size_t length = 0;
    FUZZ_CHECK(LengthFromText(LengthText(stored.size()).c_str(), length));
    FUZZ_CHECK(length == stored.size() || stored.size() >= kRegistryTextSize);
    const std::string name = LengthValueName(lengthText.c_str());
    FUZZ_CHECK(name == std::string(lengthText.c_str()) + kLengthSuffix);

    // A preset name as typed, or as a key another program made.
    if (PresetNameProblem(stored.c_str(), stored.size()) == nullptr)
    {
        FUZZ_CHECK(stored.size() <= kMaxKeyNameLength &&
                   std::strchr(stored.c_str(), 0x5C) == nullptr);
    }
    FUZZ_CHECK(IsReservedPreset(stored.c_str()) ==
               (stored.c_str() == std::string(kDevelopmentPreset)));
    return 0;
}
