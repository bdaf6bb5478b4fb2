#include "session_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

SessionTest::SessionTest() = default;

SessionTest::~SessionTest()
{
    session.Shutdown();
}

std::string SessionTest::File(const std::string& name, const std::string& content)
{
    return scratch.Write(name, content);
}

std::string SessionTest::SparseFile(const std::string& name, std::uint64_t length)
{
    const std::string path = File(name, "");
    Truncate(path, length);
    return path;
}

void SessionTest::Truncate(const std::string& path, std::uint64_t length)
{
    EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(length)), 0) << path;
}

DownloadChoices SessionTest::Choices(const std::string& imagePath, const std::string& lpPath)
{
    DownloadChoices choices;
    choices.mainCode = !imagePath.empty();
    choices.languagePack = !lpPath.empty();
    choices.portIndex = 0;
    choices.baudIndex = 0;
    std::snprintf(choices.modelName, sizeof choices.modelName, "RT47X");
    std::snprintf(choices.imagePath, sizeof choices.imagePath, "%s", imagePath.c_str());
    std::snprintf(choices.lpPath, sizeof choices.lpPath, "%s", lpPath.c_str());
    return choices;
}

void SessionTest::StartImage(const std::string& content)
{
    Press(Choices(File("main.rel", content)));
    ASSERT_TRUE(session.Running());
    ASSERT_TRUE(view.boxes.empty());
}

void SessionTest::StartLanguagePack(const std::string& content)
{
    Press(Choices("", File("lpt47.rel", content)));
    ASSERT_TRUE(session.Running());
    ASSERT_TRUE(view.boxes.empty());
}

void SessionTest::Pump()
{
    while (!platform.queued.empty())
    {
        const StoredRead read = platform.queued.front();
        platform.queued.erase(platform.queued.begin());
        session.OnSerialData(read.count, read.chunk);
    }
}

Bytes Frame(std::uint8_t high, std::uint8_t low, const std::string& data)
{
    Bytes frame(kBlockFrameSize - kBlockDataSize + data.size());
    const std::uint8_t header[] = {'<', 'w', high, low};
    std::copy(std::begin(header), std::end(header), frame.begin());
    std::copy(data.begin(), data.end(), frame.begin() + sizeof header);
    return frame;
}
