#include "test_downloader_dlg.h"

#include <iterator>

namespace
{
const char* const kProgramOnly[] = {"C:\\TervoloPLUS\\TervoloPLUS.exe"};
}

TestDownloaderDlg::TestDownloaderDlg()
{
    // The test program's own arguments are not the window's business.
    SetCommandLine(1, kProgramOnly);
}

const MessageMap& TestDownloaderDlg::GetMessageMap() const
{
    static const MessageEntry kEntries[] = {
        On::Message<&TestDownloaderDlg::OnRunTask>(kRunOnUiMessage),
    };
    static const MessageMap kMap{kEntries, std::size(kEntries), &CDownloaderDlg::GetMessageMap()};
    return kMap;
}

BOOL TestDownloaderDlg::OnInitDialog()
{
    const BOOL result = CDownloaderDlg::OnInitDialog();
    if (m_harness != nullptr)
    {
        m_harness->Initialised(m_hWnd);
    }
    return result;
}

LRESULT TestDownloaderDlg::OnRunTask(WPARAM, LPARAM lParam)
{
    return RunUiTask(lParam);
}

RunningMainWindow::RunningMainWindow() : dialog(std::make_unique<TestDownloaderDlg>())
{
    TestDownloaderDlg* window = dialog.get();
    thread = std::make_unique<DialogThread>(
        [window](DialogThread& harness)
        {
            window->SetHarness(&harness);
            return window->DoModal();
        });
}
