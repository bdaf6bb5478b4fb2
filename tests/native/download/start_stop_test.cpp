// Starting and stopping a session: the refusals in their order with their messages, the
// running look, and everything a stop takes down.
#include "handset_answers.h"
#include "session_fixture.h"

#include <string>
#include <vector>

namespace
{

using Strings = std::vector<std::string>;
constexpr std::uint64_t kReleaseOverhead = 5; // header and trailing byte
constexpr std::uint64_t kBlockBytes = 1024;
constexpr std::uint64_t kMostBlocks = 0x4000; // numbered 0 to 0x3FFF

class StartStopTest : public SessionTest
{
protected:
    // Presses Start, expects the refusal's one box and a session that does not run.
    void ExpectRefusal(const DownloadChoices& choices, const std::string& message)
    {
        view.boxes.clear();
        Press(choices);
        ASSERT_EQ(view.BoxTexts(), Strings{message});
        EXPECT_EQ(view.boxes[0].owner, BoxOwner::Window);
        EXPECT_EQ(view.boxes[0].buttons, BoxButtons::Ok);
        EXPECT_EQ(view.boxes[0].caption, "");
        EXPECT_FALSE(session.Running()) << message;
    }
};

TEST_F(StartStopTest, ImageChecksInTheirOrder)
{
    DownloadChoices choices = Choices("");
    choices.mainCode = false;
    choices.baudIndex = -1;
    choices.portIndex = -1;
    platform.busyPorts.insert("COM1");
    ExpectRefusal(choices, "No sections selected to download!");
    choices.bootCode = true;
    choices.mainCode = true;
    ExpectRefusal(choices, "No Baud Rate selected !");
    choices.baudIndex = 4;
    ExpectRefusal(choices, "No Baud Rate selected !");
    choices.baudIndex = 3;
    ExpectRefusal(choices, "No COM Port selected !");
    choices.portIndex = 8;
    ExpectRefusal(choices, "No COM Port selected !");
    choices.portIndex = 0;
    // A busy port is refused before any file is looked at.
    ExpectRefusal(choices,
                  "Failed to open com port - Please check no other applications are currently "
                  "using this port.");
    platform.busyPorts.clear();
    ExpectRefusal(choices, "No Image filename selected !");
    std::snprintf(choices.imagePath, sizeof choices.imagePath, "%s/none.rel", folder.c_str());
    ExpectRefusal(choices, "Image File not found !");
    std::snprintf(choices.imagePath, sizeof choices.imagePath, "%s",
                  File("main.abs", "S0").c_str());
    ExpectRefusal(choices, "Image file extension not recognised!");
    EXPECT_TRUE(platform.channels.empty());
    EXPECT_FALSE(view.locked);
    EXPECT_FALSE(view.runningPicture);
}

TEST_F(StartStopTest, LanguagePackChecksInTheirOrder)
{
    // The image passes; the language pack is checked after it.
    DownloadChoices choices = Choices(File("main.rel", ReleaseFileContent(2)));
    choices.languagePack = true;
    ExpectRefusal(choices, "No Language Pack filename selected !");
    std::snprintf(choices.lpPath, sizeof choices.lpPath, "%s/lpt47.rel", folder.c_str());
    ExpectRefusal(choices, "Language Pack File not found !");
    std::snprintf(choices.lpPath, sizeof choices.lpPath, "%s", File("lpt47.txt", "x").c_str());
    ExpectRefusal(choices, "Language Pack file extension not recognised!");
    EXPECT_TRUE(platform.channels.empty());
}

// Too short to hold a block, or too long for every block to get a number: refused before the
// port is opened, and the window goes idle again.
TEST_F(StartStopTest, FilesWhoseBlocksCannotBeCountedOrNumberedAreRefused)
{
    struct Case
    {
        std::string image, languagePack, message;
    };
    const std::string numbered =
        SparseFile("numbered.rel", kMostBlocks * kBlockBytes + kReleaseOverhead);
    const std::string tooLarge =
        SparseFile("large.rel", (kMostBlocks + 1) * kBlockBytes + kReleaseOverhead);
    const Case cases[] = {
        {File("tiny.rel", "REL1"), "", "Image file too short to hold a block!"},
        {"", File("empty.rel", ""), "Language Pack file too short to hold a block!"},
        {tooLarge, "", "Image file too large: a download numbers at most 16384 blocks (16 MiB)!"},
        {numbered, tooLarge,
         "Language Pack file too large: a download numbers at most 16384 blocks (16 MiB)!"},
    };
    for (const Case& c : cases)
    {
        ExpectRefusal(Choices(c.image, c.languagePack), c.message);
        EXPECT_FALSE(view.runningPicture) << c.message;
        EXPECT_FALSE(view.locked) << c.message;
        EXPECT_TRUE(view.timers.empty()) << c.message;
        EXPECT_TRUE(platform.channels.empty()) << c.message;
    }
    // The last block that can be numbered is accepted.
    Press(Choices(numbered, numbered));
    EXPECT_TRUE(session.Running());
    EXPECT_EQ(session.MainBlockCount(), kMostBlocks);
    EXPECT_EQ(session.LpBlockCount(), kMostBlocks);
}

TEST_F(StartStopTest, StartOpensTheChannelAndASecondPressStopsIt)
{
    view.AddReportLine("left from before");
    StartImage(Rt47Image(200));
    EXPECT_TRUE(view.runningPicture);
    EXPECT_TRUE(view.locked);
    EXPECT_EQ(view.report, Strings{"Signalling..."});
    EXPECT_EQ(view.downloadTime, "00m00s");
    EXPECT_EQ(view.percent[ProgressBar::BootCode], "0%");
    EXPECT_EQ(view.timers, std::set<unsigned>{kSignalTimer});
    ASSERT_EQ(platform.channels.size(), 1u);
    EXPECT_EQ(platform.Channel().portName, "COM1");
    EXPECT_EQ(platform.Channel().baudRate, 19200u);
    EXPECT_EQ(session.MainBlockCount(), 200u);
    EXPECT_EQ(session.Engine().State(), DownloadState::Signalling);

    // A tick of the signal timer writes its command; the elapsed and gang timers show the
    // stopwatch.
    session.OnTimer(kSignalTimer);
    EXPECT_EQ(platform.Channel().writes, std::vector<Bytes>{Text("<i")});
    platform.elapsedSeconds = 75.4;
    session.OnTimer(kElapsedTimer);
    EXPECT_EQ(view.downloadTime, "01m15s");
    platform.elapsedSeconds = 3600;
    session.OnTimer(kGangTimer);
    EXPECT_EQ(view.downloadTime, "60m00s");

    // An answer still queued when the operator stops is dropped with its channel, and every
    // timer stops, also those a download starts later on (its clock and the gang wait).
    platform.Arrive(Text(">i"));
    view.timers.insert({kElapsedTimer, kGangTimer});
    Press({});
    EXPECT_EQ(view.report.back(), "Download terminated by User.");
    EXPECT_FALSE(session.Running());
    EXPECT_FALSE(view.runningPicture);
    EXPECT_FALSE(view.locked);
    EXPECT_TRUE(view.timers.empty());
    EXPECT_TRUE(platform.Channel().closed);
    EXPECT_TRUE(platform.queued.empty());
    EXPECT_EQ(platform.droppedNotifications, 1u);
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(StartStopTest, StopClearsTheChecksumsOfTheDownload)
{
    StartImage(Rt47Image(66));
    platform.Arrive(Text(">i"));
    Pump();
    platform.Arrive(ParameterAnswer("RT47X", "RT47-0001"));
    Pump();
    // The engine went over to the download rate on a channel of its own.
    ASSERT_EQ(platform.channels.size(), 2u);
    EXPECT_TRUE(platform.channels[0]->closed);
    platform.Arrive(Text(">e"));
    Pump();
    for (int block = 0; block < 66 && session.Engine().State() != DownloadState::ChecksumWait;
         ++block)
    {
        platform.Arrive(Text(">w"));
        Pump();
    }
    ASSERT_EQ(session.Engine().State(), DownloadState::ChecksumWait);
    EXPECT_NE(session.Engine().MainCrc(), 0u);
    // The engine's pauses and its clock are the machine's.
    EXPECT_FALSE(platform.pauses.empty());
    EXPECT_EQ(platform.stopwatchRestarts, 1u);
    Press({});
    EXPECT_EQ(session.Engine().MainCrc(), 0u);
    EXPECT_EQ(session.Engine().Request().bytes[2], 0u);
    EXPECT_EQ(session.Engine().Request().bytes[3], 0u);
    EXPECT_TRUE(view.timers.empty());
}

// The engine's questions are owner-less, task-modal and carry the program's name; a No ends the
// download.
TEST_F(StartStopTest, ModelQuestionIsAskedTaskModalAndNoEndsTheDownload)
{
    StartImage(Rt47Image(66));
    view.answers.push_back(BoxAnswer::No);
    platform.Arrive(Text(">i"));
    Pump();
    platform.Arrive(ParameterAnswer("RT47X", "RT57-0001"));
    Pump();
    ASSERT_EQ(view.BoxTexts(), (Strings{"Model number mismatch - Continue?", "Download Aborted!"}));
    EXPECT_EQ(view.boxes[0].caption, "TervoloPLUS");
    EXPECT_EQ(view.boxes[0].buttons, BoxButtons::YesNo);
    EXPECT_EQ(view.boxes[0].owner, BoxOwner::NoneTaskModal);
    EXPECT_FALSE(session.Running());
    EXPECT_TRUE(platform.Channel().closed);
    EXPECT_GE(platform.Channel().purges, 1u);
}

TEST_F(StartStopTest, ImageThatCannotBeOpenedLeavesTheRunningLookUntilTheNextPress)
{
    const std::string image = File("main.rel", Rt47Image(100));
    platform.lockedFiles.insert(image);
    Press(Choices(image));
    EXPECT_EQ(view.BoxTexts(), Strings{"Error opening download Image file:\n" + image});
    EXPECT_TRUE(session.Running());
    EXPECT_TRUE(view.runningPicture);
    EXPECT_TRUE(platform.channels.empty());

    Press({});
    EXPECT_FALSE(session.Running());
    EXPECT_FALSE(view.runningPicture);
    EXPECT_EQ(view.report.back(), "Download terminated by User.");
}

TEST_F(StartStopTest, PortThatDoesNotOpenEndsTheStart)
{
    platform.failingPorts.insert("COM1");
    Press(Choices(File("main.rel", Rt47Image(100))));
    ASSERT_EQ(view.BoxTexts(), Strings{"Failed to open port"});
    EXPECT_EQ(view.boxes[0].caption, "CSerialIO");
    EXPECT_EQ(view.boxes[0].owner, BoxOwner::None);
    EXPECT_FALSE(session.Running());
    EXPECT_FALSE(view.locked);
    EXPECT_TRUE(view.timers.empty());
    EXPECT_TRUE(platform.Channel().closed);
}

// The window tells the channel of each chunk it has done with, so the reader may use its room
// again; a chunk that does not start where the last one ended means one was lost, and the bytes
// to read may be overwritten: the download ends with the reason.
TEST_F(StartStopTest, HandledChunksAreToldToTheChannelAndALostOneEndsTheDownload)
{
    StartImage(Rt47Image(66));
    platform.Arrive(Text("xyz"));
    Pump();
    EXPECT_EQ(platform.Channel().handledBytes, 3u);
    platform.Arrive(Text("ab"));
    platform.Arrive(Text("cd"));
    platform.queued.erase(platform.queued.begin());
    Pump();
    ASSERT_GE(view.report.size(), 2u);
    EXPECT_EQ(view.report[view.report.size() - 2], "Data received from MS was lost!");
    EXPECT_EQ(view.report.back(), "Download Aborted!");
    EXPECT_FALSE(session.Running());
    EXPECT_TRUE(platform.Channel().closed);
}

// A box of the engine runs the window's message loop while its chunk is still being read: what
// is handled under the box is told to the channel only once that chunk is done with too.
TEST_F(StartStopTest, BytesHandledUnderABoxAreToldOnceTheBoxsOwnChunkIsDone)
{
    StartImage(Rt47Image(66));
    platform.Arrive(Text(">i"));
    Pump();
    const Bytes answer = ParameterAnswer("RT47X", "RT57-0001");
    std::size_t toldUnderTheBox = ~std::size_t{0};
    view.whileNextBoxOpen = [&]
    {
        platform.Arrive(Text("xy"));
        Pump();
        toldUnderTheBox = platform.Channel().handledBytes;
    };
    platform.Arrive(answer);
    Pump();
    ASSERT_EQ(view.BoxTexts(), Strings{"Model number mismatch - Continue?"});
    EXPECT_EQ(toldUnderTheBox, 0u);
    EXPECT_EQ(platform.Channel().handledBytes, answer.size() + 2);
}

} // namespace
