#include "files/recent_files.h"

#include "settings/preset_names.h"

#include <cstring>

RecentInsertion DecideRecentInsertion(const char* path, bool alreadyListed, int count)
{
    RecentInsertion result;
    if (path[0] == '\0' || alreadyListed)
    {
        return result;
    }
    result.insert = true;
    // Only exactly five is trimmed: a longer list that a second load left stays as it is.
    result.dropOldest = count + 1 == kRecentListTrimAt;
    return result;
}

int RecentCountToSave(const char* presetName, int entries)
{
    return IsReservedPreset(presetName) && entries > 0 ? entries : 0;
}

int RecentEntriesStored(std::size_t count)
{
    return count < static_cast<std::size_t>(kStoredRecentEntries) ? static_cast<int>(count)
                                                                  : kStoredRecentEntries;
}

std::string RecentCountName(const char* prefix)
{
    return std::string(prefix) + "NoOfRecentFiles";
}

std::string RecentEntryName(const char* prefix, int index)
{
    return CurrentFileName(prefix) + std::to_string(index);
}

std::string CurrentFileName(const char* prefix)
{
    return std::string(prefix) + "Filename";
}

std::string FolderOf(const char* path)
{
    const char* lastBackslash = std::strrchr(path, '\\');
    return lastBackslash != nullptr ? std::string(path, lastBackslash + 1) : std::string();
}
