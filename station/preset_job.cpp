#include "station/preset_job.h"

#include "files/recent_files.h"
#include "protocol/frames.h"
#include "settings/registry_encoding.h"

namespace
{
// The main window's value names and defaults, read the way it reads them.
constexpr char kMainCodeValue[] = "MainCodeDownload"; // a stored preset always has it
constexpr char kBootCodeValue[] = "BootCodeDownload";
constexpr char kLanguagePackValue[] = "LanguagePackDownload";
constexpr char kGangModeValue[] = "GangMode";
constexpr char kModelValue[] = "MobileModel";
constexpr char kBaudRateValue[] = "BaudRate";
constexpr char kImagePrefix[] = "Image";
constexpr char kLpPrefix[] = "LP";
constexpr bool kDefaultMainCode = true;
constexpr int kDefaultBaudIndex = 0;
constexpr std::size_t kMaxPorts = 8;
constexpr char kPresetOption[] = "/P";

bool Flag(const PresetLookup& lookup, const char* name, bool fallback)
{
    const std::optional<std::string> text = lookup(name, false);
    return text ? FlagFromText(text->c_str()) : fallback;
}
} // namespace

bool JobFromPreset(const std::string& preset, const PresetLookup& lookup,
                   const std::vector<std::string>& ports, JobFile& job, std::string& error)
{
    const std::string name = "Preset \"" + preset + "\"";
    if (!lookup(kMainCodeValue, false))
    {
        error = name + " is not stored.";
        return false;
    }
    if (ports.empty() || ports.size() > kMaxPorts)
    {
        error = name + ": a station runs on one to eight ports.";
        return false;
    }
    JobFile read;
    read.model = lookup(kModelValue, false).value_or("");
    read.bootCode = Flag(lookup, kBootCodeValue, false);
    read.mainCode = Flag(lookup, kMainCodeValue, kDefaultMainCode);
    read.languagePack = Flag(lookup, kLanguagePackValue, false);
    read.gangMode = Flag(lookup, kGangModeValue, false);
    const std::optional<std::string> baud = lookup(kBaudRateValue, false);
    const int index =
        baud ? SelectableIndex(IndexFromText(baud->c_str()), kBaudRateCount) : kDefaultBaudIndex;
    read.baudRate = BaudRateAt(index < 0 ? kDefaultBaudIndex : index);
    read.imagePath = lookup(CurrentFileName(kImagePrefix).c_str(), true).value_or("");
    read.lpPath = lookup(CurrentFileName(kLpPrefix).c_str(), true).value_or("");
    read.ports = ports;
    read.station = true;
    if (read.model.empty())
    {
        error = name + " has no model.";
        return false;
    }
    if (read.mainCode && read.imagePath.empty())
    {
        error = name + " sends the main code but names no image file.";
        return false;
    }
    if (read.languagePack && read.lpPath.empty())
    {
        error = name + " sends the language pack but names no language-pack file.";
        return false;
    }
    // Only the sections the preset sends: a file left in a box stays behind.
    read.imagePath = read.mainCode ? read.imagePath : std::string();
    read.lpPath = read.languagePack ? read.lpPath : std::string();
    job = read;
    return true;
}

bool ParsePresetArguments(const std::vector<std::string>& arguments, std::string& preset,
                          std::vector<std::string>& ports)
{
    if (arguments.empty() || arguments[0].compare(0, 2, kPresetOption) != 0 ||
        arguments[0].size() == 2)
    {
        return false;
    }
    preset = arguments[0].substr(2);
    ports.assign(arguments.begin() + 1, arguments.end());
    return true;
}
