// The window's side of the download-file check: it hands its folders and a view of its file
// boxes to the check in files/.
#include "app/downloader_dlg.h"

#include "files/release_conversion.h"

#include <cstdlib>

bool CDownloaderDlg::CheckDownloadFile(FileCheckResult& result, char* path, bool isImage)
{
    class WindowView : public ConversionView
    {
    public:
        explicit WindowView(CDownloaderDlg& window) : m_window(window) {}
        void TakeFileBoxTexts() override { m_window.UpdateData(true); }
        void ShowFileBoxTexts() override { m_window.UpdateData(false); }
        void ClearStartRequest() override { m_window.m_startRequested = false; }
        void EndProgram(int exitCode) override { std::exit(exitCode); }

    private:
        CDownloaderDlg& m_window;
    };

    WindowView view(*this);
    const ConversionSetup setup{m_hWnd,
                                m_tempDir,
                                m_programDir,
                                {ImageAbsBrowseDirectory, ImageRelBrowseDirectory,
                                 LPAbsBrowseDirectory, LPRelBrowseDirectory, kTextBufferSize}};
    return ::CheckDownloadFile(result, path, kTextBufferSize, isImage, setup, view);
}
