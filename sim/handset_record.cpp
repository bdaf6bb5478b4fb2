#include "sim/handset_record.h"

#include <cstring>

namespace sim
{

const RecordField kRecordFields[] = {
    {"product_id", 2, 16, false}, {"dwnld_id", 18, 16, false},  {"block_size", 34, 4, true},
    {"flash_id", 38, 4, true},    {"window_size", 42, 1, true}, {"encode", 43, 1, true},
    {"flash_numb", 44, 1, true},  {"spare_1", 45, 1, true},     {"flash_2_id", 46, 4, true},
    {"mobile_id", 50, 5, false},  {"spare", 55, 11, false},
};
const std::size_t kRecordFieldCount = sizeof(kRecordFields) / sizeof(kRecordFields[0]);

namespace
{

const char* const kExtendedMobileIds[] = {"RT47X", "RT47 ", "RT37 "};

const RecordField* FieldOrError(std::string_view name, std::string& error)
{
    const RecordField* field = FindRecordField(name);
    if (field == nullptr)
    {
        error = "unknown field " + std::string(name);
    }
    return field;
}

} // namespace

const RecordField* FindRecordField(std::string_view name)
{
    for (std::size_t i = 0; i < kRecordFieldCount; ++i)
    {
        if (name == kRecordFields[i].name)
        {
            return &kRecordFields[i];
        }
    }
    return nullptr;
}

bool IsExtendedMobileId(std::string_view mobileId)
{
    for (const char* id : kExtendedMobileIds)
    {
        if (mobileId == id)
        {
            return true;
        }
    }
    return false;
}

HandsetRecord::HandsetRecord()
{
    m_bytes[0] = kAnswerStart;
    m_bytes[1] = kProtocolChangeLetter;
    std::string ignored;
    SetText("product_id", kDefaultProductId, '\0', ignored);
    SetText("dwnld_id", kDefaultDownloadId, '\0', ignored);
    SetNumber("block_size", kDefaultBlockSize, ignored);
    SetNumber("flash_id", kDefaultFlashId, ignored);
    SetNumber("window_size", kDefaultWindowSize, ignored);
    SetNumber("flash_numb", kDefaultFlashCount, ignored);
    SetText("mobile_id", kDefaultMobileId, ' ', ignored);
}

bool HandsetRecord::SetBytes(std::string_view name, const std::vector<std::uint8_t>& bytes,
                             std::string& error)
{
    const RecordField* field = FieldOrError(name, error);
    if (field == nullptr)
    {
        return false;
    }
    if (bytes.size() > field->width)
    {
        error = std::string(name) + " holds " + std::to_string(field->width) + " bytes";
        return false;
    }
    std::memset(&m_bytes[field->offset], 0, field->width);
    if (!bytes.empty())
    {
        std::memcpy(&m_bytes[field->offset], bytes.data(), bytes.size());
    }
    return true;
}

bool HandsetRecord::SetText(std::string_view name, std::string_view text, char pad,
                            std::string& error)
{
    const RecordField* field = FieldOrError(name, error);
    if (field == nullptr)
    {
        return false;
    }
    if (text.size() > field->width)
    {
        error = std::string(name) + " holds " + std::to_string(field->width) + " characters";
        return false;
    }
    std::memset(&m_bytes[field->offset], static_cast<unsigned char>(pad), field->width);
    if (!text.empty())
    {
        std::memcpy(&m_bytes[field->offset], text.data(), text.size());
    }
    return true;
}

bool HandsetRecord::SetNumber(std::string_view name, std::uint64_t value, std::string& error)
{
    const RecordField* field = FieldOrError(name, error);
    if (field == nullptr)
    {
        return false;
    }
    if (!field->numeric)
    {
        error = std::string(name) + " is not a number";
        return false;
    }
    if (field->width < 8 && value >> (8 * field->width) != 0)
    {
        error = std::to_string(value) + " does not fit into " + std::string(name);
        return false;
    }
    for (std::size_t i = 0; i < field->width; ++i)
    {
        m_bytes[field->offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return true;
}

std::string HandsetRecord::FieldText(std::string_view name) const
{
    const RecordField* field = FindRecordField(name);
    if (field == nullptr)
    {
        return std::string();
    }
    return std::string(reinterpret_cast<const char*>(&m_bytes[field->offset]), field->width);
}

} // namespace sim
