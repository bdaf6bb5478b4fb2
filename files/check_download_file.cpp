// The decision whether a file offered for download is sent. For now only release files are
// sent; the conversion of other formats and the language-pack name check come with the
// conversion feature and keep this signature.
#include "app/downloader_dlg.h"

#include "files/file_class.h"

namespace
{
constexpr int kUnknownExtension = 1;
}

bool CDownloaderDlg::CheckDownloadFile(int& result, char* path, bool /*isImage*/)
{
    // The file boxes may have been edited since the paths were last taken from them.
    UpdateData(true);
    result = 0;
    if (!HasReleaseExtension(path))
    {
        result = kUnknownExtension;
        return false;
    }
    return true;
}
