// Which handset fits which model and files, and the report lines these checks and the
// diagnostics write. Pure functions: the engine passes the lines on to the report window.
#pragma once

#include "protocol/frames.h"

#include <cstddef>
#include <cstdint>

constexpr std::size_t kMobileIdSize = 5;
constexpr std::size_t kImageModelSize = 4;
constexpr std::size_t kLpModelSize = 8;

// A few formatted report lines in fixed buffers.
struct ReportLines
{
    static constexpr std::size_t kCapacity = 14; // the parameter dump is the longest
    static constexpr std::size_t kLineSize = 96;

    char text[kCapacity][kLineSize] = {};
    std::size_t count = 0;

    // The buffer of the next line. Past the capacity the line is written into a spare buffer
    // and not kept.
    char* Next();

private:
    char m_spare[kLineSize] = {};
};

// False for the legacy models "RT50", "RT80" and "RT30", which know no language packs.
bool IsExtendedModel(const char* modelName);

// Whether the handset that answered belongs to the family of the selected model.
bool IsCompatibleHandset(const char* modelName, const char mobileId[kMobileIdSize]);

// The image model check: the handset's model code (first four characters of product_id)
// against the image file's, the second character ignored. On a mismatch, lines holds the
// mismatch report.
struct ImageModelCheck
{
    bool match = false;
    ReportLines lines;
};
ImageModelCheck CheckImageModel(const ParameterRecord& record,
                                const char imageModel[kImageModelSize]);

enum class LpModelVerdict
{
    Match,
    ConfirmRt47IntoRt47X, // an RT47 language pack for an RT47X handset: ask the operator
    Refused,              // lines holds the mismatch report
};
struct LpModelCheck
{
    LpModelVerdict verdict = LpModelVerdict::Refused;
    ReportLines lines;
};
LpModelCheck CheckLanguagePackModel(const char lpModel[kLpModelSize],
                                    const char mobileId[kMobileIdSize]);

// The diagnostic checksum lines. answer holds the first six bytes of the handset's verdict
// (the code, then its figures in the layout of the request); bytes it did not send are 0.
ReportLines ChecksumLines(unsigned mainCrc, unsigned lpCrc, const std::uint8_t answer[6],
                          bool extendedModel, bool mainCode, bool languagePack);

// The diagnostic dump of the handset's parameter record.
ReportLines ParameterDumpLines(const ParameterRecord& record);
