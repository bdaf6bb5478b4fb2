#include "tests/e2e/e2e_support.h"

#include "preset_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

namespace e2e
{
namespace
{
constexpr std::size_t kBlock = 1024;
constexpr std::size_t kHeader = 4;
constexpr std::size_t kImageModelOffset = 0x10024;
constexpr std::size_t kLanguagePackModelOffset = 6;

std::string TempFolder()
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return folder;
}

ReleaseFile WriteRelease(const std::string& name, std::vector<std::uint8_t> file,
                         std::uint32_t blockCount)
{
    ReleaseFile release;
    release.path = TempFolder() + name;
    release.blocks.assign(file.begin() + kHeader, file.begin() + kHeader + blockCount * kBlock);
    std::FILE* out = std::fopen(release.path.c_str(), "wb");
    EXPECT_NE(out, nullptr) << release.path;
    if (out != nullptr)
    {
        std::fwrite(file.data(), 1, file.size(), out);
        std::fclose(out);
    }
    return release;
}

std::vector<std::uint8_t> RandomFile(std::uint32_t blockCount, unsigned seed)
{
    // Header, the blocks, and the trailing byte that every release file has.
    std::vector<std::uint8_t> file(kHeader + blockCount * kBlock + 1);
    std::mt19937 random(seed);
    for (auto& byte : file)
        byte = static_cast<std::uint8_t>(random());
    return file;
}

std::vector<std::uint8_t> FromHex(const std::string& hex)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

bool IsOk(const std::vector<std::string>& answer)
{
    return !answer.empty() && answer.back().rfind("OK", 0) == 0;
}
} // namespace

ReleaseFile MakeImage(const std::string& name, std::uint32_t blockCount, const char model[4],
                      const std::set<std::uint32_t>& blankBlocks)
{
    std::vector<std::uint8_t> file = RandomFile(blockCount, blockCount * 7 + 1);
    for (std::uint32_t n : blankBlocks)
        std::fill_n(file.begin() + kHeader + n * kBlock, kBlock, 0xFF);
    if (file.size() >= kImageModelOffset + 16)
    {
        std::fill_n(file.begin() + kImageModelOffset, 16, 0);
        std::copy(model, model + 4, file.begin() + kImageModelOffset);
    }
    return WriteRelease(name, file, blockCount);
}

ReleaseFile MakeLanguagePack(const std::string& name, std::uint32_t blockCount,
                             const std::string& model)
{
    std::vector<std::uint8_t> file = RandomFile(blockCount, blockCount * 13 + 5);
    std::string field = model;
    field.resize(8, ' ');
    std::copy(field.begin(), field.end(), file.begin() + kLanguagePackModelOffset);
    return WriteRelease(name, file, blockCount);
}

std::uint16_t Crc16X25(const std::vector<std::uint8_t>& bytes)
{
    // Bit by bit, independent of the program's table.
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t byte : bytes)
    {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408)
                            : static_cast<std::uint16_t>(crc >> 1);
    }
    return static_cast<std::uint16_t>(~crc);
}

bool Simulator::Connect()
{
    const char* port = std::getenv("TERVOLO_SIM_CONTROL");
    const unsigned short number = static_cast<unsigned short>(port ? std::atoi(port) : 47001);
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
