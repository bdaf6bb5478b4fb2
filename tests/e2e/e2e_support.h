// Shared pieces of the whole-program tests: release files, the simulator's answers, and one
// download driven through the window.
#pragma once

#include "res/resource.h"
#include "tests/e2e/operator.h"
#include "tests/support/sim_client.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace e2e
{
// Control ids of the main window, by the names these tests read best with.
enum ControlId : int
{
    kStartButton = IDC_START_DOWNLOAD,
    kReportList = IDC_REPORT_LIST,
    kBootButton = IDC_BOOT_CODE_BUTTON,
    kMainButton = IDC_MAIN_CODE_BUTTON,
    kLanguagePackButton = IDC_LANGUAGE_PACK_BUTTON,
    kBaudList = IDC_BAUD_RATE,
    kPortList = IDC_COM_PORT,
    kLanguagePackPercent = IDC_LANGUAGE_PACK_PERCENT,
    kMainPercent = IDC_MAIN_CODE_PERCENT,
    kBootPercent = IDC_BOOT_CODE_PERCENT,
    kModelList = IDC_MOBILE_MODEL,
    kImageFileBox = IDC_IMAGE_FILE,
    kGangModeBox = IDC_GANG_MODE,
    kTimeBox = IDC_DOWNLOAD_TIME,
    kLanguagePackFileBox = IDC_LANGUAGE_PACK_FILE,
};

constexpr unsigned kStepMs = 30000;      // one protocol step, generously
constexpr unsigned kDownloadMs = 180000; // a whole small download

struct ReleaseFile
{
    std::string path;                 // Windows path
    std::vector<std::uint8_t> blocks; // the data blocks, 1024 bytes each
    std::uint32_t BlockCount() const { return static_cast<std::uint32_t>(blocks.size() / 1024); }
};

// An image of blockCount blocks whose model code is `model`; the blocks listed are all 0xFF.
ReleaseFile MakeImage(const std::string& name, std::uint32_t blockCount, const char model[4],
                      const std::set<std::uint32_t>& blankBlocks = {});
// A language pack whose model field (offset 6) is `model`, padded with blanks to 8.
ReleaseFile MakeLanguagePack(const std::string& name, std::uint32_t blockCount,
                             const std::string& model);

struct Frame
{
    std::uint64_t timeUs = 0;
    std::vector<std::uint8_t> bytes;
    char Letter() const { return bytes.size() > 1 ? static_cast<char>(bytes[1]) : '\0'; }
};

class Simulator
{
public:
    // The simulator on COMn: control port TERVOLO_SIM_CONTROL (COM1's) + n - 1.
    bool Connect(unsigned com = 1);
    // Sends a command; an answer whose last line is not OK fails the calling test.
    std::vector<std::string> Do(const std::string& line, unsigned timeoutMs = kStepMs);
    std::vector<Frame> Frames();
    std::vector<Frame> FramesOf(char letter);
    std::vector<std::uint8_t> Flash(const char* section); // "main" or "lp"
    std::string Line();
    bool WaitFrame(char letter, unsigned count, unsigned timeoutMs);

private:
    SimClient m_client;
};

// One download set up through the controls, as an operator does it.
struct Choices
{
    std::string baud = "115200";
    std::string model = "RT47";
    bool boot = false;
    bool main = true;
    bool languagePack = false;
    bool gangMode = false;
    std::string imagePath;
    std::string lpPath;
    // Started as app\TervoloPLUS.exe from the folder above the program's, so that its first
    // argument is a relative path.
    bool relativeStart = false;
};

bool Prepare(Operator& op, const Choices& choices);
std::string ProgramPath();
std::string Join(const std::vector<std::string>& lines);
} // namespace e2e
