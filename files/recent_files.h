// The rules of the file boxes' recent lists and the registry names they are kept under. A list is
// the box's own list of entries, newest first; only the preset "Development" keeps its lists.
#pragma once

#include <cstddef>
#include <string>

// At most this many entries are stored and read back (indexes 0 to 4).
constexpr int kStoredRecentEntries = 5;
// An insertion that brings a list to exactly this many entries drops the oldest.
constexpr int kRecentListTrimAt = 5;

struct RecentInsertion
{
    bool insert = false;     // put the path at the top (index 0)
    bool dropOldest = false; // then delete the entry at index kRecentListTrimAt - 1
};

// What opening a list does with the path shown: an empty path or one already listed (case
// ignored, found by the box) changes nothing; a listed entry keeps its place.
RecentInsertion DecideRecentInsertion(const char* path, bool alreadyListed, int count);

// How many entries the count value says: the whole list under "Development", 0 otherwise.
int RecentCountToSave(const char* presetName, int entries);
// How many entries a save writes and a load reads for a stored count.
int RecentEntriesStored(std::size_t count);

// Value names under prefix "Image" or "LP".
std::string RecentCountName(const char* prefix);            // "%sNoOfRecentFiles"
std::string RecentEntryName(const char* prefix, int index); // "%sFilename%d"
std::string CurrentFileName(const char* prefix);            // "%sFilename"

// The folder part of a path, up to and including its last backslash; empty without one.
std::string FolderOf(const char* path);
