#include "protocol/model_check.h"

#include <cstdio>
#include <cstring>

namespace
{

const char* const kLegacyModels[] = {"RT50", "RT80", "RT30"};
// Mobile ids of the extended family; four-character models are padded with a space.
// "RT37X" is not one of them.
const char* const kExtendedMobileIds[] = {"RT47X", "RT47 ", "RT37 "};
constexpr char kRt47[] = "RT47";
constexpr char kRt47XMobileId[] = "RT47X";
constexpr std::size_t kIgnoredModelChar = 1; // the second character of a model code
constexpr std::size_t kAnswerSize = 6;

bool InExtendedFamily(const char mobileId[kMobileIdSize])
{
    for (const char* id : kExtendedMobileIds)
    {
        if (std::memcmp(mobileId, id, kMobileIdSize) == 0)
        {
            return true;
        }
    }
    return false;
}

// The four characters of a model code with the second one blanked.
void BlankedModelCode(const char* code, char out[kImageModelSize])
{
    std::memcpy(out, code, kImageModelSize);
    out[kIgnoredModelChar] = ' ';
}

// A character field of the record printed as text: exactly its width, then a NUL.
template <std::size_t Width> struct FieldText
{
    explicit FieldText(const char (&field)[Width]) { std::memcpy(text, field, Width); }
    char text[Width + 1] = {};
};

} // namespace

char* ReportLines::Next()
{
    if (count < kCapacity)
    {
        return text[count++];
    }
    return m_spare;
}

bool IsExtendedModel(const char* modelName)
{
    for (const char* legacy : kLegacyModels)
    {
        // Up to and including the NUL: "RT50" but not "RT50X".
        if (std::strncmp(modelName, legacy, std::strlen(legacy) + 1) == 0)
        {
            return false;
        }
    }
    return true;
}

bool IsCompatibleHandset(const char* modelName, const char mobileId[kMobileIdSize])
{
    return IsExtendedModel(modelName) == InExtendedFamily(mobileId);
}

ImageModelCheck CheckImageModel(const ParameterRecord& record,
                                const char imageModel[kImageModelSize])
{
    char pc[kImageModelSize];
    char ms[kImageModelSize];
    BlankedModelCode(imageModel, pc);
    BlankedModelCode(record.product_id, ms);

    ImageModelCheck check;
    check.match = std::memcmp(pc, ms, kImageModelSize) == 0;
    if (!check.match)
    {
        ReportLines& lines = check.lines;
        std::snprintf(lines.Next(), ReportLines::kLineSize, "Image File Model Number Mismatch...");
        std::snprintf(lines.Next(), ReportLines::kLineSize, "PC: %c%c%c%c", pc[0], pc[1], pc[2],
                      pc[3]);
        std::snprintf(lines.Next(), ReportLines::kLineSize, "MS: %c%c%c%c", ms[0], ms[1], ms[2],
                      ms[3]);
    }
    return check;
}

LpModelCheck CheckLanguagePackModel(const char lpModel[kLpModelSize],
                                    const char mobileId[kMobileIdSize])
{
    LpModelCheck check;
    if (std::memcmp(lpModel, mobileId, kMobileIdSize) == 0)
    {
        check.verdict = LpModelVerdict::Match;
        return check;
    }
    if (std::memcmp(lpModel, kRt47, std::strlen(kRt47)) == 0 &&
        std::memcmp(mobileId, kRt47XMobileId, kMobileIdSize) == 0)
    {
        check.verdict = LpModelVerdict::ConfirmRt47IntoRt47X;
        return check;
    }
    check.verdict = LpModelVerdict::Refused;
    ReportLines& lines = check.lines;
    std::snprintf(lines.Next(), ReportLines::kLineSize,
                  "Language Pack File Model Number Mismatch...");
    std::snprintf(lines.Next(), ReportLines::kLineSize, "PC: %c%c%c%c%c", lpModel[0], lpModel[1],
                  lpModel[2], lpModel[3], lpModel[4]);
    std::snprintf(lines.Next(), ReportLines::kLineSize, "MS: %c%c%c%c%c", mobileId[0], mobileId[1],
                  mobileId[2], mobileId[3], mobileId[4]);
    return check;
}

ReportLines ChecksumLines(unsigned mainCrc, unsigned lpCrc, const std::uint8_t answer[kAnswerSize],
                          bool extendedModel, bool mainCode, bool languagePack)
{
    const unsigned pcFigure = (lpCrc << 16) | mainCrc;
    // The handset's figures follow its two-byte code; a legacy handset sends the main one only.
    unsigned msFigure = (static_cast<unsigned>(answer[2]) << 8) | answer[3];
    if (extendedModel)
    {
        msFigure |=
            (static_cast<unsigned>(answer[4]) << 24) | (static_cast<unsigned>(answer[5]) << 16);
    }

    ReportLines lines;
    std::snprintf(lines.Next(), ReportLines::kLineSize, "PC CRC Checksum: 0x%08x", pcFigure);
    std::snprintf(lines.Next(), ReportLines::kLineSize, "MS CRC Checksum: 0x%08x", msFigure);
    if (mainCode)
    {
        std::snprintf(lines.Next(), ReportLines::kLineSize, "Code CRC Checksum: 0x%04x", mainCrc);
    }
    if (languagePack)
    {
        std::snprintf(lines.Next(), ReportLines::kLineSize, "Lang. Pack CRC Checksum: 0x%04x",
                      lpCrc);
    }
    return lines;
}

ReportLines ParameterDumpLines(const ParameterRecord& record)
{
    ReportLines lines;
    const std::size_t size = ReportLines::kLineSize;
    std::snprintf(lines.Next(), size, "### Parameter Exchange Debug Info");
    std::snprintf(lines.Next(), size, "Command RX:  %s", FieldText<2>(record.commandEcho).text);
    std::snprintf(lines.Next(), size, "product_id[16]: %s", FieldText<16>(record.product_id).text);
    std::snprintf(lines.Next(), size, "dwnld_id[16]: %s", FieldText<16>(record.dwnld_id).text);
    std::snprintf(lines.Next(), size, "block_size: %d", static_cast<int>(record.block_size));
    std::snprintf(lines.Next(), size, "flash_id: 0x%08x", static_cast<unsigned>(record.flash_id));
    std::snprintf(lines.Next(), size, "window_size: %d", static_cast<int>(record.window_size));
    std::snprintf(lines.Next(), size, "encode: 0x%02x", static_cast<unsigned>(record.encode));
    std::snprintf(lines.Next(), size, "flash_numb: 0x%02x",
                  static_cast<unsigned>(record.flash_numb));
    std::snprintf(lines.Next(), size, "spare_1: 0x%02x", static_cast<unsigned>(record.spare_1));
    std::snprintf(lines.Next(), size, "flash_2_id: 0x%08x",
                  static_cast<unsigned>(record.flash_2_id));
    std::snprintf(lines.Next(), size, "mobile_id[5]: %s", FieldText<5>(record.mobile_id).text);
    std::snprintf(lines.Next(), size, "spare[11]: %s", FieldText<11>(record.spare).text);
    std::snprintf(lines.Next(), size, "############################");
    return lines;
}
