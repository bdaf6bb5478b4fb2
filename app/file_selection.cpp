// Handlers of the two file boxes and their Browse... buttons. The recent-file lists and the
// browse dialogs come with the file-selection feature; until then the boxes are plain edit
// fields whose texts the download start takes.
#include "app/downloader_dlg.h"

void CDownloaderDlg::OnBrowseImage() {}

void CDownloaderDlg::OnBrowseLanguagePack() {}

void CDownloaderDlg::OnDropDownImage() {}

void CDownloaderDlg::OnDropDownLanguagePack() {}

void CDownloaderDlg::OnSelEndOkImage() {}

void CDownloaderDlg::OnSelEndOkLanguagePack() {}
