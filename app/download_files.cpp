// The window's side of the download-file check: it hands its folders and a view of its file
// boxes to the check in files/.
#include "app/downloader_dlg.h"

#include "files/release_conversion.h"

#include <cstdio>
#include <cstdlib>

bool CDownloaderDlg::CheckDownloadFile(FileCheckResult& result, char* path, bool isImage)
{
    class WindowView : public ConversionView
    {
    public:
        explicit WindowView(CDownloaderDlg& window) : m_window(window) {}
        void TakeFileBoxTexts() override { m_window.UpdateData(true); }
        void ShowFileBoxTexts() override { m_window.UpdateData(false); }
        // The session drops the start request itself when a file is refused.
        void ClearStartRequest() override {}
        void EndProgram(int exitCode) override { m_window.EndProgram(exitCode); }

    private:
        CDownloaderDlg& m_window;
    };

    // The conversion works on the path field of the file box, which it refills from the box and
    // gives back to it; the session then sends what the box shows.
    char* field = isImage ? m_imagePath : m_lpPath;
    std::snprintf(field, kTextBufferSize, "%s", path);
    WindowView view(*this);
    const ConversionSetup setup{m_hWnd,
                                m_tempDir,
                                m_programDir,
                                {ImageAbsBrowseDirectory, ImageRelBrowseDirectory,
                                 LPAbsBrowseDirectory, LPRelBrowseDirectory, kTextBufferSize}};
    const bool sent = ::CheckDownloadFile(result, field, kTextBufferSize, isImage, setup, view);
    std::snprintf(path, kTextBufferSize, "%s", field);
    return sent;
}

void CDownloaderDlg::EndProgram(int exitCode)
{
    std::exit(exitCode);
}
