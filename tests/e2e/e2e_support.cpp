#include "tests/e2e/e2e_support.h"

#include "preset_store.h"
#include "release_content.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace e2e
{
namespace
{
constexpr std::size_t kBlock = 1024;

ReleaseFile WriteRelease(const std::string& name, const std::string& content)
{
    ReleaseFile release;
    release.path = TempFolder() + name;
    release.blocks = ReleaseBlocks(content);
    EXPECT_TRUE(WriteFile(release.path, content)) << release.path;
    return release;
}

bool IsOk(const std::vector<std::string>& answer)
{
    return !answer.empty() && answer.back().rfind("OK", 0) == 0;
}
} // namespace

ReleaseFile MakeImage(const std::string& name, std::uint32_t blockCount, const char model[4],
                      const std::set<std::uint32_t>& blankBlocks)
{
    const std::vector<std::size_t> blank(blankBlocks.begin(), blankBlocks.end());
    return WriteRelease(name,
                        RandomImage(blockCount, std::string(model, 4), blockCount * 7 + 1, blank));
}

ReleaseFile MakeLanguagePack(const std::string& name, std::uint32_t blockCount,
                             const std::string& model)
{
    return WriteRelease(name, RandomLanguagePack(blockCount, model, blockCount * 13 + 5));
}

bool Simulator::Connect(unsigned com)
{
    const char* port = std::getenv("TERVOLO_SIM_CONTROL");
    const unsigned short number =
        static_cast<unsigned short>((port ? std::atoi(port) : 47001) + static_cast<int>(com) - 1);
    return m_client.Connect(number, 10000);
}

std::vector<std::string> Simulator::Do(const std::string& line, unsigned timeoutMs)
{
    std::vector<std::string> answer = m_client.Command(line, timeoutMs);
    EXPECT_TRUE(IsOk(answer)) << line << " -> " << Join(answer);
    return answer;
}

std::vector<Frame> Simulator::Frames()
{
    std::vector<Frame> frames;
    for (const std::string& line : Do("TRANSCRIPT"))
    {
        std::istringstream in(line);
        std::string word, hex;
        Frame frame;
        if (in >> word >> frame.timeUs >> hex && word == "FRAME")
        {
            frame.bytes = FromHex(hex);
            frames.push_back(frame);
        }
    }
    return frames;
}

std::vector<Frame> Simulator::FramesOf(char letter)
{
    std::vector<Frame> chosen;
    for (const Frame& frame : Frames())
        if (frame.Letter() == letter)
            chosen.push_back(frame);
    return chosen;
}

std::vector<std::uint8_t> Simulator::Flash(const char* section)
{
    std::vector<std::uint8_t> image;
    for (const std::string& line : Do(std::string("FLASH ") + section))
    {
        std::istringstream in(line);
        std::string word, hex;
        unsigned number = 0;
        if (in >> word >> number >> hex && word == "BLOCK")
        {
            const std::vector<std::uint8_t> block = FromHex(hex);
            if (image.size() < (number + 1) * kBlock)
                image.resize((number + 1) * kBlock, 0xFF);
            std::copy(block.begin(), block.end(), image.begin() + number * kBlock);
        }
    }
    return image;
}

std::string Simulator::Line()
{
    const std::vector<std::string> answer = Do("LINE");
    return answer.empty() ? std::string() : answer.back();
}

bool Simulator::WaitFrame(char letter, unsigned count, unsigned timeoutMs)
{
    const std::vector<std::string> answer =
        m_client.Command("WAITFRAME " + std::string(1, letter) + " " + std::to_string(count) + " " +
                             std::to_string(timeoutMs),
                         timeoutMs + 10000);
    return IsOk(answer);
}

bool Prepare(Operator& op, const Choices& choices)
{
    // Every run starts from the same stored "Development", whatever the last run saved.
    preset_store::SeedIdleDevelopment();
    std::string program = ToWindowsPath(ProgramPath());
    if (choices.relativeStart)
    {
        const std::size_t name = program.rfind('\\');
        const std::size_t folder = program.rfind('\\', name - 1);
        SetCurrentDirectoryA(program.substr(0, folder + 1).c_str());
        program = program.substr(folder + 1);
    }
    if (!op.Launch(program))
    {
        ADD_FAILURE() << "the program's window did not appear: " << ProgramPath();
        return false;
    }
    // Start-up may report that no settings are stored yet.
    FoundMessageBox box;
    while (op.WaitForMessageBox(box, 1500))
        op.Answer(box, IDOK);
    const bool port = op.Choose(kPortList, "COM1");
    const bool baud = op.Choose(kBaudList, choices.baud);
    const bool model = op.Choose(kModelList, choices.model);
    const bool sections = op.SetSections(choices.boot, choices.main, choices.languagePack);
    EXPECT_TRUE(port && baud && model && sections)
        << "port " << port << ", baud " << baud << ", model " << model << ", sections " << sections;
    op.SetCheck(kGangModeBox, choices.gangMode);
    if (!choices.imagePath.empty())
        op.SetText(kImageFileBox, choices.imagePath);
    if (!choices.lpPath.empty())
        op.SetText(kLanguagePackFileBox, choices.lpPath);
    return port && baud && model && sections;
}

std::string ProgramPath()
{
    const char* path = std::getenv("TERVOLO_EXE");
    return path != nullptr ? path : "TervoloPLUS.exe";
}

std::string Join(const std::vector<std::string>& lines)
{
    std::string joined;
    for (const std::string& line : lines)
        joined += line + " | ";
    return joined;
}
} // namespace e2e
