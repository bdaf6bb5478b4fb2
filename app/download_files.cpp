// The decision whether a file offered for download is sent. For now only release files are
// sent; the conversion of other formats comes with the conversion feature.
#include "app/downloader_dlg.h"

#include "files/file_class.h"

bool CDownloaderDlg::CheckDownloadFile(FileCheckResult& result, char* path, bool /*isImage*/)
{
    result = FileCheckResult::Accepted;
    if (!HasReleaseExtension(path))
    {
        result = FileCheckResult::UnknownExtension;
        return false;
    }
    return true;
}
