// The common Open and Save As dialogs (GetOpenFileNameA, GetSaveFileNameA) with a filter
// written as "Text (*.ext)|*.ext|...". The record m_ofn may be adjusted before DoModal.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <cstddef>
#include <string>

class CFileDialog
{
public:
    static constexpr std::size_t kPathSize = 500;

    CFileDialog(bool openDialog, const char* filter, HWND owner);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // Shows the dialog; true when the operator chose a file.
    bool DoModal();
    // The file name proposed when the dialog opens (none unless set).
    void SetPathName(const char* path);
    // The chosen path; empty after a cancel.
    const char* GetPathName() const { return m_path; }

    OPENFILENAMEA m_ofn = {};

private:
    bool m_openDialog;
    std::string m_filter; // the filter with its '|' turned into the zeros the dialog expects
    char m_path[kPathSize] = {};
};
