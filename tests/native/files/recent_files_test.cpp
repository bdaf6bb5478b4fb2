// The recent lists of the file boxes: when a path joins a list, what a save keeps, the names.
#include "files/recent_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// A list as the box keeps it, changed the way opening it does.
void Open(std::vector<std::string>& list, const std::string& path, bool listed)
{
    const RecentInsertion change =
        DecideRecentInsertion(path.c_str(), listed, static_cast<int>(list.size()));
    if (change.insert)
    {
        list.insert(list.begin(), path);
    }
    if (change.dropOldest)
    {
        list.erase(list.begin() + (kRecentListTrimAt - 1));
    }
}

TEST(RecentList, NewPathGoesOnTopAndTheFifthEntryDrops)
{
    std::vector<std::string> list = {"W", "X", "Y", "Z"};
    Open(list, "V", false);
    EXPECT_EQ(list, (std::vector<std::string>{"V", "W", "X", "Y"}));
}

TEST(RecentList, EmptyOrListedPathChangesNothing)
{
    std::vector<std::string> list = {"W", "X"};
    Open(list, "", false);
    Open(list, "x", true); // the box found it, case ignored
    EXPECT_EQ(list, (std::vector<std::string>{"W", "X"}));
}

TEST(RecentList, OnlyExactlyFiveIsTrimmed)
{
    std::vector<std::string> list = {"A", "B", "C", "D", "E", "F"};
    Open(list, "G", false);
    EXPECT_EQ(list.size(), 7u);
}

TEST(RecentList, OnlyDevelopmentKeepsItsListAndAtMostFiveAreStored)
{
    EXPECT_EQ(RecentCountToSave("Development", 6), 6);
    EXPECT_EQ(RecentCountToSave("development", 6), 0);
    EXPECT_EQ(RecentCountToSave("Line 3", 3), 0);
    EXPECT_EQ(RecentEntriesStored(6), 5);
    EXPECT_EQ(RecentEntriesStored(2), 2);
}

TEST(RecentList, ValueNamesAndFolders)
{
    EXPECT_EQ(RecentCountName("Image"), "ImageNoOfRecentFiles");
    EXPECT_EQ(RecentEntryName("LP", 4), "LPFilename4");
    EXPECT_EQ(CurrentFileName("LP"), "LPFilename");
    EXPECT_EQ(FolderOf("C:\\rel\\main.rel"), "C:\\rel\\");
    EXPECT_EQ(FolderOf("main.rel"), "");
}
} // namespace
