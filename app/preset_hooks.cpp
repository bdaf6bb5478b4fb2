// Where the main window meets its presets. The preset store is not part of the program yet:
// until it is, start-up and shutdown keep the window's own defaults, and the Presets menu
// command does nothing.
#include "app/downloader_dlg.h"

void CDownloaderDlg::LoadPreset(bool /*keepSections*/) {}

void CDownloaderDlg::SavePreset() {}

void CDownloaderDlg::OnPresets() {}
