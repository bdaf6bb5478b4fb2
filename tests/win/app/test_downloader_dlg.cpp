#include "test_downloader_dlg.h"

#include "res/resource.h"
#include "preset_store.h"

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

RunningMainWindow::RunningMainWindow(WindowStart start)
    : arguments(std::move(start.arguments)), dialog(std::make_unique<TestDownloaderDlg>())
{
    if (start.seedIdlePreset)
    {
        preset_store::SeedIdleDevelopment();
    }
    argv.push_back(kProgramOnly[0]);
    for (const std::string& argument : arguments)
    {
        argv.push_back(argument.c_str());
    }
    dialog->SetCommandLine(static_cast<int>(argv.size()), argv.data());
    TestDownloaderDlg* window = dialog.get();
    thread = std::make_unique<DialogThread>(
        [window](DialogThread& harness)
        {
            window->SetHarness(&harness);
            return window->DoModal();
        });
}

bool RunningMainWindow::Running()
{
    bool running = false;
    Run([&](TestDownloaderDlg& d) { running = d.m_session.Running(); });
    return running;
}

void RunningMainWindow::TypePath(int fileBoxId, const std::string& path)
{
    SetWindowTextA(thread->Item(fileBoxId), path.c_str());
}

SeenMessageBox RunningMainWindow::StartExpectingMessage()
{
    AsyncSend click(thread->Item(IDC_START_DOWNLOAD), BM_CLICK);
    const SeenMessageBox box = AnswerMessageBox(OfThread(thread->Thread()), IDOK);
    click.Wait();
    return box;
}

HeldDownload::HeldDownload(RunningMainWindow& window)
    : m_lock(CreateFileA(image.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr))
{
    SendMessageA(window.thread->Item(IDC_MAIN_CODE_BUTTON), BM_CLICK, 0, 0);
    window.TypePath(IDC_IMAGE_FILE, image.Path());
    box = window.StartExpectingMessage();
    m_lock.Reset();
}

bool RunningMainWindow::Close()
{
    PostMessageA(thread->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    INT_PTR result = 0;
    return thread->WaitForEnd(result);
}
