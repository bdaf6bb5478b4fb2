// A station's journal line carries its tile; the console program's carries none.
#include "runner/journal.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace
{

TEST(JournalLine, AStationsLineNamesItsTile)
{
    JournalRun run;
    run.model = "RT47";
    DownloadResult result;
    const nlohmann::json station = nlohmann::json::parse(JournalLine(run, "COM23", result, 3));
    EXPECT_EQ(3, station["tile"]);
    EXPECT_EQ("COM23", station["port"]);
    EXPECT_FALSE(nlohmann::json::parse(JournalLine(run, "COM23", result)).contains("tile"));
}

} // namespace
