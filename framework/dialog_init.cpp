#include "framework/dialog_init.h"

#include <cstddef>

namespace
{
// 16-bit message numbers of the list-entry records.
constexpr WORD kListBoxAddString = 0x0401;
constexpr WORD kComboBoxAddString = 0x0403;

constexpr std::size_t kRecordHeaderSize = 2 + 2 + 4; // control id, message, text length

WORD ReadWord(const BYTE* p)
{
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

DWORD ReadDword(const BYTE* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
           (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}
} // namespace

bool ExecuteDialogInit(HWND dialog, HINSTANCE module, UINT templateId)
{
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(templateId),
                               MAKEINTRESOURCEA(kDialogInitResourceType));
    if (info == nullptr)
    {
        return true;
    }
    const DWORD size = SizeofResource(module, info);
    HGLOBAL loaded = LoadResource(module, info);
    const BYTE* data = loaded != nullptr ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (data == nullptr)
    {
        return false;
    }

    // Records: control id, message, length of the text including its zero, the text. Records are
    // packed without alignment; a zero control id ends the table.
    std::size_t offset = 0;
    while (offset + 2 <= size)
    {
        const WORD controlId = ReadWord(data + offset);
        if (controlId == 0)
        {
            return true;
        }
        if (offset + kRecordHeaderSize > size)
        {
            return false;
        }
        const WORD message = ReadWord(data + offset + 2);
        const DWORD length = ReadDword(data + offset + 4);
        const BYTE* text = data + offset + kRecordHeaderSize;
        offset += kRecordHeaderSize;
        if (length == 0 || length > size - offset || text[length - 1] != 0)
        {
            return false;
        }
        offset += length;

        const LPARAM textParam = reinterpret_cast<LPARAM>(text);
        switch (message)
        {
        case kComboBoxAddString:
            SendDlgItemMessageA(dialog, controlId, CB_ADDSTRING, 0, textParam);
            break;
        case kListBoxAddString:
            SendDlgItemMessageA(dialog, controlId, LB_ADDSTRING, 0, textParam);
            break;
        default:
            return false;
        }
    }
    return false;
}
