#include "framework/file_dialog.h"

CFileDialog::CFileDialog(bool openDialog, const char* filter, HWND owner)
    : m_openDialog(openDialog), m_filter(filter != nullptr ? filter : "")
{
    for (char& c : m_filter)
    {
        if (c == '|')
        {
            c = '\0';
        }
    }
    m_filter.push_back('\0'); // the list ends with an empty entry

    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.hwndOwner = owner;
    m_ofn.lpstrFilter = m_filter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_path;
    m_ofn.nMaxFile = static_cast<DWORD>(kPathSize);
    m_ofn.Flags = OFN_HIDEREADONLY | (openDialog ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT);
}

bool CFileDialog::DoModal()
{
    const BOOL chosen = m_openDialog ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
    if (!chosen)
    {
        m_path[0] = '\0';
    }
    return chosen != FALSE;
}

void CFileDialog::SetPathName(const char* path)
{
    lstrcpynA(m_path, path, static_cast<int>(kPathSize));
}
