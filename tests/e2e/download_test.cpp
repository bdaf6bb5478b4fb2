// Whole downloads through the real program, against the simulator on COM1.
#include "tests/e2e/e2e_support.h"

#include "conversion_support.h"
#include "release_content.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>

using namespace e2e;

namespace
{
const char kRt47[4] = {'R', 'T', '4', '7'};
const char kRt37[4] = {'R', 'T', '3', '7'};
const char kRt50[4] = {'R', 'T', '5', '0'};
const std::string kSuccess = "Download completed successfully...";
const std::string kAborted = "Download Aborted!";

std::vector<std::uint8_t> Header(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    return {a, b, c, d};
}

std::uint32_t BlockNumber(const Frame& frame)
{
    return ((frame.bytes[2] & 0x3Fu) << 8) | frame.bytes[3];
}

bool IsLanguagePackBlock(const Frame& frame)
{
    return (frame.bytes[2] & 0x40) != 0;
}

std::vector<std::uint8_t> Data(const Frame& frame)
{
    return std::vector<std::uint8_t>(frame.bytes.begin() + 4, frame.bytes.end());
}

std::vector<std::uint8_t> Block(const ReleaseFile& file, std::uint32_t n)
{
    return std::vector<std::uint8_t>(file.blocks.begin() + n * 1024,
                                     file.blocks.begin() + (n + 1) * 1024);
}

bool IsBlank(const std::vector<std::uint8_t>& block)
{
    return std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0xFF; });
}

// The non-blank blocks of a file, in order: what must appear on the wire.
std::vector<std::uint32_t> SentBlocks(const ReleaseFile& file)
{
    std::vector<std::uint32_t> sent;
    for (std::uint32_t n = 0; n < file.BlockCount(); ++n)
        if (!IsBlank(Block(file, n)))
            sent.push_back(n);
    return sent;
}

class Download : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Connect()) << "no simulator on the control port";
        sim.Do("RESET");
    }

    void Start(const Choices& choices)
    {
        ASSERT_TRUE(Prepare(op, choices)) << "the window did not take the choices";
        op.Click(kStartButton);
    }

    // Main code only, with the default choices.
    void StartMainCode(const ReleaseFile& image)
    {
        Choices choices;
        choices.imagePath = image.path;
        Start(choices);
    }

    void StartLanguagePack(const ReleaseFile& pack)
    {
        Choices choices;
        choices.main = false;
        choices.languagePack = true;
        choices.lpPath = pack.path;
        Start(choices);
    }

    void ExpectSuccess()
    {
        EXPECT_TRUE(op.WaitForLine(kReportList, kSuccess, kDownloadMs))
            << Join(op.Lines(kReportList)) << OpenBoxText();
        EXPECT_TRUE(op.WaitIdle(kStepMs));
        EXPECT_TRUE(op.NoMessageBoxWithin(200));
    }

    std::string OpenBoxText()
    {
        FoundMessageBox box;
        return op.WaitForMessageBox(box, 0) ? " box: " + box.caption + ": " + box.text : "";
    }

    // The abort box, answered, and the window back to idle.
    void ExpectAbort()
    {
        std::string seen;
        EXPECT_TRUE(op.Expect(kAborted, IDOK, kDownloadMs, &seen)) << seen;
        EXPECT_TRUE(op.WaitIdle(kStepMs));
        const std::vector<std::string> lines = op.Lines(kReportList);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), kAborted), 1) << Join(lines);
        EXPECT_TRUE(op.NoMessageBoxWithin(500)) << "a second box after the abort";
    }

    // Every non-blank block of the file went out once, in order, with its data.
    void ExpectBlocksOnWire(const std::vector<Frame>& frames, const ReleaseFile& file,
                            bool languagePack)
    {
        std::vector<std::uint32_t> numbers;
        for (const Frame& frame : frames)
        {
            if (IsLanguagePackBlock(frame) != languagePack)
                continue;
            const std::uint32_t n = BlockNumber(frame);
            numbers.push_back(n);
            ASSERT_LT(n, file.BlockCount());
            EXPECT_EQ(Data(frame), Block(file, n)) << "block " << n;
        }
        EXPECT_EQ(numbers, SentBlocks(file));
    }

    Operator op;
    Simulator sim;
};

TEST_F(Download, MainCodeOnlyWritesEveryNonBlankBlockAndGetsTheVerdict)
{
    const ReleaseFile image = MakeImage("main_only.rel", 70, kRt47, {2, 3, 65});
    StartMainCode(image);
    ExpectSuccess();

    const std::vector<std::string> expected = {"Signalling...",
                                               "Changing protocol...",
                                               "Protocol Response received...",
                                               "Image File Model Number Matches...",
                                               "Waiting for erase response...",
                                               "Sending Block 0x0045 of 0x0045",
                                               "Waiting for checksum response...",
                                               kSuccess};
    EXPECT_EQ(op.Lines(kReportList), expected);
    EXPECT_EQ(op.LastLine(kBootPercent), "100%");
    EXPECT_EQ(op.LastLine(kMainPercent), "100%");
    EXPECT_TRUE(std::regex_match(op.LastLine(kTimeBox), std::regex("[0-9]{2}m[0-5][0-9]s")));

    const std::vector<Frame> frames = sim.Frames();
    std::vector<Frame> p, e, w, c;
    for (const Frame& f : frames)
    {
        if (f.Letter() == 'p')
            p.push_back(f);
        if (f.Letter() == 'e' || f.Letter() == 'E')
            e.push_back(f);
        if (f.Letter() == 'w')
            w.push_back(f);
        if (f.Letter() == 'c')
            c.push_back(f);
    }
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].bytes, Header('<', 'p', '0', 2));
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].bytes, (std::vector<std::uint8_t>{'<', 'e'}));
    ExpectBlocksOnWire(w, image, false);
    const std::uint16_t crc = Crc16X25Bitwise(image.blocks);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].bytes, (std::vector<std::uint8_t>{'<', 'c', static_cast<std::uint8_t>(crc >> 8),
                                                     static_cast<std::uint8_t>(crc & 0xFF), 0, 0}));
    std::vector<std::uint8_t> flash = sim.Flash("main");
    flash.resize(image.blocks.size(), 0xFF);
    EXPECT_EQ(flash, image.blocks);
}

TEST_F(Download, LanguagePackOnlySendsMarkedBlocksAndItsOwnCrc)
{
    const ReleaseFile pack = MakeLanguagePack("LPT47_only.rel", 7, "RT47 ");
    StartLanguagePack(pack);
    ExpectSuccess();

    const std::vector<std::string> lines = op.Lines(kReportList);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Language Pack Model Number Matches..."),
              lines.end());
    EXPECT_EQ(op.LastLine(kLanguagePackPercent), "100%");
    ASSERT_EQ(sim.FramesOf('p').size(), 1u);
    EXPECT_EQ(sim.FramesOf('p')[0].bytes, Header('<', 'p', '0', 3));
    const std::vector<Frame> w = sim.FramesOf('w');
    ASSERT_FALSE(w.empty());
    EXPECT_EQ(w[0].bytes[2], 0x40);
    ExpectBlocksOnWire(w, pack, true);
    const std::uint16_t crc = Crc16X25Bitwise(pack.blocks);
    ASSERT_EQ(sim.FramesOf('c').size(), 1u);
    EXPECT_EQ(sim.FramesOf('c')[0].bytes,
              (std::vector<std::uint8_t>{'<', 'c', 0, 0, static_cast<std::uint8_t>(crc >> 8),
                                         static_cast<std::uint8_t>(crc & 0xFF)}));
}

TEST_F(Download, BothSectionsShareOneEraseAndOneChecksumRequest)
{
    const ReleaseFile image = MakeImage("both_main.rel", 66, kRt47, {64});
    const ReleaseFile pack = MakeLanguagePack("LPT47_both.rel", 3, "RT47 ");
    Choices choices;
    choices.languagePack = true;
    choices.imagePath = image.path;
    choices.lpPath = pack.path;
    Start(choices);
    ExpectSuccess();

    const std::vector<Frame> frames = sim.Frames();
    EXPECT_EQ(sim.FramesOf('p')[0].bytes, Header('<', 'p', '0', 4));
    EXPECT_EQ(sim.FramesOf('e').size(), 1u);
    ASSERT_EQ(sim.FramesOf('c').size(), 1u);
    // The language pack follows the last main-code block with nothing in between.
    std::vector<Frame> w = sim.FramesOf('w');
    auto firstLp = std::find_if(w.begin(), w.end(), IsLanguagePackBlock);
    ASSERT_NE(firstLp, w.end());
    ASSERT_NE(firstLp, w.begin());
    EXPECT_EQ(BlockNumber(*(firstLp - 1)), 65u);
    EXPECT_EQ(BlockNumber(*firstLp), 0u);
    EXPECT_TRUE(std::all_of(firstLp, w.end(), IsLanguagePackBlock));
    ExpectBlocksOnWire(w, image, false);
    ExpectBlocksOnWire(w, pack, true);
    const std::uint16_t mainCrc = Crc16X25Bitwise(image.blocks);
    const std::uint16_t lpCrc = Crc16X25Bitwise(pack.blocks);
    EXPECT_EQ(sim.FramesOf('c')[0].bytes,
              (std::vector<std::uint8_t>{'<', 'c', static_cast<std::uint8_t>(mainCrc >> 8),
                                         static_cast<std::uint8_t>(mainCrc & 0xFF),
                                         static_cast<std::uint8_t>(lpCrc >> 8),
                                         static_cast<std::uint8_t>(lpCrc & 0xFF)}));
}

TEST_F(Download, LegacyHandsetErasesWithCapitalEUnlessBootCodeIsWritten)
{
    sim.Do("SETSTR mobile_id RT50 ");
    sim.Do("SETSTR product_id RT50-LEGACY");
    const ReleaseFile image = MakeImage("legacy.rel", 65, kRt50, {});
    Choices choices;
    choices.model = "RT50";
    choices.imagePath = image.path;
    Start(choices);
    ExpectSuccess();
    ASSERT_EQ(sim.FramesOf('E').size(), 1u);
    EXPECT_TRUE(sim.FramesOf('e').empty());
    op.Close();

    Operator second;
    sim.Do("RESET");
    sim.Do("SETSTR mobile_id RT50 ");
    sim.Do("SETSTR product_id RT50-LEGACY");
    choices.boot = true;
    ASSERT_TRUE(Prepare(second, choices));
    second.Click(kStartButton);
    EXPECT_TRUE(second.WaitForLine(kReportList, kSuccess, kDownloadMs))
        << Join(second.Lines(kReportList));
    EXPECT_EQ(sim.FramesOf('p')[0].bytes, Header('<', 'p', '0', 1));
    EXPECT_EQ(sim.FramesOf('e').size(), 1u);
    EXPECT_TRUE(sim.FramesOf('E').empty());
}

TEST_F(Download, EveryBaudRateSendsItsDigitAndReopensAtThatRate)
{
    struct Rate
    {
        const char* text;
        std::uint8_t digit;
    };
    const Rate rates[] = {{"115200", '0'}, {"57600", '1'}, {"38400", '2'}, {"19200", '4'}};
    std::set<std::uint32_t> blanks;
    for (std::uint32_t n = 1; n < 64; ++n)
        blanks.insert(n);
    const ReleaseFile image = MakeImage("rates.rel", 65, kRt47, blanks);
    for (const Rate& rate : rates)
    {
        SCOPED_TRACE(rate.text);
        sim.Do("RESET");
        sim.Do("FAULT delay block 1500"); // time to read the line settings mid-transfer
        Operator one;
        Choices choices;
        choices.baud = rate.text;
        choices.imagePath = image.path;
        ASSERT_TRUE(Prepare(one, choices));
        one.Click(kStartButton);
        ASSERT_TRUE(sim.WaitFrame('w', 1, kStepMs));
        EXPECT_EQ(sim.Line(), std::string("OK baud=") + rate.text + " bits=8 parity=none stop=1");
        EXPECT_TRUE(one.WaitForLine(kReportList, kSuccess, kDownloadMs));
        ASSERT_EQ(sim.FramesOf('p').size(), 1u);
        EXPECT_EQ(sim.FramesOf('p')[0].bytes, Header('<', 'p', rate.digit, 2));
    }
}

TEST_F(Download, TwoWriteFailuresResendTheSameFrameAfterAPause)
{
    sim.Do("FAULT write_fail main 66 2");
    const ReleaseFile image = MakeImage("write_fail.rel", 68, kRt47, {});
    StartMainCode(image);
    ExpectSuccess();
    std::vector<Frame> sends;
    for (const Frame& frame : sim.FramesOf('w'))
        if (BlockNumber(frame) == 66)
            sends.push_back(frame);
    ASSERT_EQ(sends.size(), 3u);
    EXPECT_EQ(sends[1].bytes, sends[0].bytes);
    EXPECT_EQ(sends[2].bytes, sends[0].bytes);
    EXPECT_GE(sends[1].timeUs - sends[0].timeUs, 900000u) << "no pause after \">W\"";
    std::vector<std::uint8_t> flash = sim.Flash("main");
    flash.resize(image.blocks.size(), 0xFF);
    EXPECT_EQ(flash, image.blocks);
}

TEST_F(Download, ThirdWriteFailureAborts)
{
    sim.Do("FAULT write_fail main 65 3");
    const ReleaseFile image = MakeImage("write_abort.rel", 68, kRt47, {});
    StartMainCode(image);
    ExpectAbort();
    EXPECT_TRUE(sim.FramesOf('c').empty());
    const std::vector<std::string> lines = op.Lines(kReportList);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Write Failed!");
}

TEST_F(Download, EraseFailuresAreRetriedThreeTimes)
{
    sim.Do("FAULT erase_fail 3");
    const ReleaseFile image = MakeImage("erase_retry.rel", 65, kRt47, {});
    StartMainCode(image);
    ExpectSuccess();
    EXPECT_EQ(sim.FramesOf('e').size(), 4u);
    const std::vector<std::string> lines = op.Lines(kReportList);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Erase Failed!"), 3);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Retrying..."), 3);
}

TEST_F(Download, FourthEraseFailureAborts)
{
    sim.Do("FAULT erase_fail 4");
    const ReleaseFile image = MakeImage("erase_abort.rel", 65, kRt47, {});
    StartMainCode(image);
    ExpectAbort();
    EXPECT_EQ(sim.FramesOf('e').size(), 4u);
    EXPECT_TRUE(sim.FramesOf('w').empty());
}

TEST_F(Download, ParameterRecordInTwoPiecesIsTakenOnce)
{
    sim.Do("FAULT split param 20,46");
    const ReleaseFile image = MakeImage("split.rel", 65, kRt47, {});
    StartMainCode(image);
    ExpectSuccess();
    const std::vector<std::string> lines = op.Lines(kReportList);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Protocol Response received..."), 1);
    EXPECT_EQ(sim.FramesOf('e').size(), 1u);
}

TEST_F(Download, StraySignalAnswerBeforeTheRecordIsAccepted)
{
    sim.Do("FAULT stray_i");
    const ReleaseFile image = MakeImage("stray.rel", 65, kRt47, {});
    StartMainCode(image);
    ExpectSuccess();
}

TEST_F(Download, ImageModelMismatchAsksAndYesGoesOn)
{
    const ReleaseFile image = MakeImage("mismatch_yes.rel", 65, kRt37, {});
    StartMainCode(image);
    FoundMessageBox box;
    ASSERT_TRUE(op.WaitForMessageBox(box, kStepMs));
    EXPECT_EQ(box.caption, "TervoloPLUS");
    EXPECT_EQ(box.text, "Model number mismatch - Continue?");
    const std::vector<std::string> lines = op.Lines(kReportList);
    const std::vector<std::string> tail(lines.end() - 3, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Image File Model Number Mismatch...", "PC: R 37",
                                              "MS: R 47"}));
    op.Answer(box, IDYES);
    ExpectSuccess();
}

TEST_F(Download, ImageModelMismatchAnsweredNoAborts)
{
    const ReleaseFile image = MakeImage("mismatch_no.rel", 65, kRt37, {});
    StartMainCode(image);
    std::string seen;
    ASSERT_TRUE(op.Expect("Model number mismatch - Continue?", IDNO, kStepMs, &seen)) << seen;
    ExpectAbort();
    EXPECT_TRUE(sim.FramesOf('e').empty());
}

TEST_F(Download, LanguagePackMismatchAbortsWithoutAQuestion)
{
    const ReleaseFile pack = MakeLanguagePack("LPT37_wrong.rel", 3, "RT37 ");
    StartLanguagePack(pack);
    ExpectAbort();
    const std::vector<std::string> lines = op.Lines(kReportList);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Language Pack File Model Number Mismatch..."),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "PC: RT37 "), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "MS: RT47 "), lines.end());
}

TEST_F(Download, Rt47LanguagePackIntoRt47xOverridesTheConfiguration)
{
    sim.Do("SETSTR mobile_id RT47X");
    const ReleaseFile pack = MakeLanguagePack("LPT47_into_x.rel", 3, "RT47 ");
    Choices choices;
    choices.model = "RT47X";
    choices.main = false;
    choices.languagePack = true;
    choices.lpPath = pack.path;
    Start(choices);
    std::string seen;
    ASSERT_TRUE(
        op.Expect("Downloading RT47 LP into a RT47X - Are you sure?", IDYES, kStepMs, &seen))
        << seen;
    ExpectSuccess();
    std::string letters;
    for (const Frame& frame : sim.Frames())
        if (frame.Letter() == 'e' || frame.Letter() == 'o')
            letters += frame.Letter();
    EXPECT_EQ(letters, "eoe");
    const std::vector<std::string> lines = op.Lines(kReportList);
    for (const char* line :
         {"Erasing existing LP...", "Overriding RT47X cfg...", "Override succesfully completed..."})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
}

TEST_F(Download, BadChecksumEndsWithoutTheAbortBox)
{
    sim.Do("FAULT checksum_bad");
    const ReleaseFile image = MakeImage("bad_crc.rel", 65, kRt47, {});
    StartMainCode(image);
    EXPECT_TRUE(op.WaitForLine(kReportList, "Download FAILED...", kDownloadMs));
    EXPECT_TRUE(op.WaitIdle(kStepMs));
    EXPECT_TRUE(op.NoMessageBoxWithin(1000));
    EXPECT_EQ(op.LastLine(kReportList), "Download FAILED...");
}

TEST_F(Download, StopDuringTheTransferEndsItAndAllowsANewStart)
{
    sim.Do("PACE on");
    const ReleaseFile image = MakeImage("stop.rel", 200, kRt47, {});
    StartMainCode(image);
    ASSERT_TRUE(sim.WaitFrame('w', 5, kDownloadMs));
    op.Click(kStartButton);
    EXPECT_TRUE(op.WaitForLine(kReportList, "Download terminated by User.", kStepMs));
    EXPECT_TRUE(op.WaitIdle(kStepMs));
    const std::size_t sent = sim.FramesOf('w').size();
    EXPECT_FALSE(sim.WaitFrame('w', static_cast<unsigned>(sent + 2), 1500));

    sim.Do("RESET");
    const ReleaseFile small = MakeImage("after_stop.rel", 65, kRt47, {});
    op.SetText(kImageFileBox, small.path);
    op.Click(kStartButton);
    ExpectSuccess();
}

TEST_F(Download, FiftyThreeWrongAnswersToSignallingAbort)
{
    sim.Do("FAULT garbage signal 2A2A always");
    const ReleaseFile image = MakeImage("signal_limit.rel", 65, kRt47, {});
    StartMainCode(image);
    ExpectAbort();
    EXPECT_GE(sim.FramesOf('i').size(), 53u);
    EXPECT_TRUE(sim.FramesOf('p').empty());
}

TEST_F(Download, GangModePromptCancelledAborts)
{
    const ReleaseFile image = MakeImage("gang_cancel.rel", 65, kRt47, {});
    Choices choices;
    choices.gangMode = true;
    choices.imagePath = image.path;
    Start(choices);
    FoundMessageBox box;
    ASSERT_TRUE(op.WaitForMessageBox(box, kStepMs));
    EXPECT_EQ(box.text, "Press OK when all units read Signalling...");
    EXPECT_EQ(box.caption, "TervoloPLUS");
    op.Answer(box, IDCANCEL);
    ExpectAbort();
    EXPECT_TRUE(sim.FramesOf('p').empty());
}

TEST_F(Download, GangModeSendsTheFirstBlockAboutSixtyOneSecondsAfterTheErase)
{
    const ReleaseFile image = MakeImage("gang.rel", 65, kRt47, {});
    Choices choices;
    choices.gangMode = true;
    choices.imagePath = image.path;
    Start(choices);
    std::string seen;
    ASSERT_TRUE(op.Expect("Press OK when all units read Signalling...", IDOK, kStepMs, &seen))
        << seen;
    ExpectSuccess();
    const std::vector<Frame> e = sim.FramesOf('e');
    const std::vector<Frame> w = sim.FramesOf('w');
    ASSERT_EQ(e.size(), 1u);
    ASSERT_FALSE(w.empty());
    const double wait = (w[0].timeUs - e[0].timeUs) / 1e6;
    EXPECT_GT(wait, 59.5);
    EXPECT_LT(wait, 66.0);
}

TEST_F(Download, UnpluggedHandsetLeavesAProgramThatStopsAndStartsAgain)
{
    sim.Do("PACE on");
    const ReleaseFile image = MakeImage("unplug.rel", 200, kRt47, {});
    StartMainCode(image);
    ASSERT_TRUE(sim.WaitFrame('w', 3, kDownloadMs));
    sim.Do("UNPLUG");
    // A block already on its way when the line went fails to write, and the reader's read may
    // fail as well; each box holds its thread until the operator answers it.
    FoundMessageBox box;
    while (op.WaitForMessageBox(box, 2000))
    {
        EXPECT_TRUE(box.text == "Error writing block to COM Port!" || box.text == "ReadFile Error!")
            << box.text;
        op.Answer(box, IDOK);
    }
    op.Click(kStartButton); // the operator stops the stalled download
    EXPECT_TRUE(op.WaitForLine(kReportList, "Download terminated by User.", kStepMs));
    EXPECT_TRUE(op.WaitIdle(kStepMs));
    sim.Do("PLUG");
    sim.Do("RESET");
    const ReleaseFile small = MakeImage("replugged.rel", 65, kRt47, {});
    op.SetText(kImageFileBox, small.path);
    op.Click(kStartButton);
    ExpectSuccess();
}

TEST_F(Download, MotorolaImageIsConvertedByTheKitAndDownloaded)
{
    const ReleaseFile image = MakeImage("converted_src.rel", 70, kRt47, {2, 3});
    const std::string folder = image.path.substr(0, image.path.rfind('\\') + 1);
    const std::string source = folder + "converted image.mot";
    const std::string release = folder + "converted.rel";
    std::remove(release.c_str());
    ASSERT_TRUE(WriteFile(source, MotorolaText(image.blocks)));

    Choices choices;
    choices.imagePath = source;
    // The Save As dialog moves the current folder away from the one the relative start named.
    choices.relativeStart = true;
    Start(choices);
    std::string proposed;
    ASSERT_TRUE(op.SaveAs(release, kStepMs, &proposed)) << OpenBoxText();
    EXPECT_EQ(proposed, "converted image.rel");
    ExpectSuccess();
    EXPECT_EQ(op.Text(kImageFileBox), release); // the next start sends the release file
    ExpectBlocksOnWire(sim.FramesOf('w'), image, false);
    std::vector<std::uint8_t> flash = sim.Flash("main");
    flash.resize(image.blocks.size(), 0xFF);
    EXPECT_EQ(flash, image.blocks);
    std::remove(source.c_str());
    std::remove(release.c_str());
}
} // namespace
