// The dialog framework through a small probe dialog built on the About box's template.
#include "framework/data_exchange.h"
#include "framework/dialog.h"
#include "framework/message_box.h"
#include "res/resource.h"
#include "dialog_harness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <iterator>

namespace
{
constexpr UINT kProbeMessage = WM_APP + 1;    // answered by a row: 42 + wParam
constexpr UINT kConsumedMessage = WM_APP + 2; // taken away by PreTranslateMessage

class ProbeDialog : public CDialog
{
public:
    ProbeDialog() : CDialog(IDD_ABOUTBOX) {}

    DialogThread* harness = nullptr;
    // Written on the dialog's thread, read by the test after a synchronising message.
    int okButtonClicks = 0;
    int probeCalls = 0;
    int consumedCalls = 0;
    std::atomic<int> preTranslatedProbes{0};
    std::atomic<int> preTranslatedConsumed{0};
    bool passCloseToDefault = false;
    char version[64] = "probe text";

protected:
    const MessageMap& GetMessageMap() const override
    {
        static const MessageEntry kEntries[] = {
            On::Clicked<&ProbeDialog::OnOkButton>(IDOK),
            On::SysCommand<&ProbeDialog::OnSysCommand>(),
            On::Message<&ProbeDialog::OnProbe>(kProbeMessage),
            On::Message<&ProbeDialog::OnConsumed>(kConsumedMessage),
            On::Message<&ProbeDialog::OnRunTask>(kRunOnUiMessage),
        };
        static const MessageMap kMap{kEntries, std::size(kEntries), &CDialog::GetMessageMap()};
        return kMap;
    }
    void DoDataExchange(CDataExchange& dx) override { DDX_Text(dx, IDC_ABOUT_VERSION, version); }

public:
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == kProbeMessage)
        {
            ++preTranslatedProbes;
        }
        if (msg->message == kConsumedMessage)
        {
            ++preTranslatedConsumed;
            return TRUE;
        }
        return CDialog::PreTranslateMessage(msg);
    }

protected:
    BOOL OnInitDialog() override
    {
        const BOOL result = CDialog::OnInitDialog();
        // Shown at once (not at the modal loop's first idle moment), so that EndDialog's hiding
        // of the window is what the tests see.
        ShowWindow(m_hWnd, SW_SHOW);
        harness->Initialised(m_hWnd);
        return result;
    }

private:
    void OnOkButton() { ++okButtonClicks; }
    void OnSysCommand(UINT, LPARAM)
    {
        if (passCloseToDefault)
        {
            SetMsgHandled(false);
        }
    }
    LRESULT OnProbe(WPARAM wParam, LPARAM)
    {
        ++probeCalls;
        return 42 + static_cast<LRESULT>(wParam);
    }
    LRESULT OnConsumed(WPARAM, LPARAM)
    {
        ++consumedCalls;
        return 0;
    }
    LRESULT OnRunTask(WPARAM, LPARAM lParam) { return RunUiTask(lParam); }
};

class FrameworkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        thread = std::make_unique<DialogThread>(
            [this](DialogThread& harness)
            {
                dialog.harness = &harness;
                return dialog.DoModal();
            });
        ASSERT_TRUE(thread->Started());
    }

    ProbeDialog dialog;
    std::unique_ptr<DialogThread> thread;
};

TEST_F(FrameworkTest, InitialisationPutsFieldsIntoControls)
{
    EXPECT_EQ(WindowText(thread->Item(IDC_ABOUT_VERSION)), "probe text");
}

TEST_F(FrameworkTest, FirstMatchingRowHandlesAndOthersFallThroughToTheBaseTable)
{
    // The button's own click is taken by the derived row: the dialog stays.
    SendMessageA(thread->Item(IDOK), BM_CLICK, 0, 0);
    int clicks = 0;
    thread->Run([&] { clicks = dialog.okButtonClicks; });
    EXPECT_EQ(clicks, 1);

    // IDOK without a control (as the Enter key sends it) matches only the base row: OnOK takes
    // the controls into the fields and ends the dialog.
    SetWindowTextA(thread->Item(IDC_ABOUT_VERSION), "typed");
    PostMessageA(thread->Window(), WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    INT_PTR result = 0;
    ASSERT_TRUE(thread->WaitForEnd(result));
    EXPECT_EQ(result, IDOK);
    EXPECT_STREQ(dialog.version, "typed");
    EXPECT_EQ(dialog.okButtonClicks, 1);
}

TEST_F(FrameworkTest, MessageRowReturnsItsResultToTheSender)
{
    EXPECT_EQ(SendMessageA(thread->Window(), kProbeMessage, 5, 0), 47);
}

TEST_F(FrameworkTest, HandlerThatDeclinesLetsTheDefaultProcessingAct)
{
    // Handled: the close box does nothing; EndDialog would have hidden the window.
    SendMessageA(thread->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    bool stillShown = false;
    thread->Run([&] { stillShown = IsWindowVisible(thread->Window()) != FALSE; });
    EXPECT_TRUE(stillShown);

    // Declined: the default processing turns SC_CLOSE into IDCANCEL, which ends the dialog.
    thread->Run([&] { dialog.passCloseToDefault = true; });
    SendMessageA(thread->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    INT_PTR result = 0;
    ASSERT_TRUE(thread->WaitForEnd(result));
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(FrameworkTest, PreTranslateMessageSeesMessagesOfTheDialogAndItsControls)
{
    HWND okButton = thread->Item(IDOK);
    PostMessageA(okButton, kProbeMessage, 0, 0);
    PostMessageA(thread->Window(), kConsumedMessage, 0, 0);
    PostMessageA(thread->Window(), kProbeMessage, 0, 0);

    const ULONGLONG deadline = GetTickCount64() + kWaitLimitMs;
    int probes = 0;
    while (GetTickCount64() < deadline)
    {
        thread->Run([&] { probes = dialog.probeCalls; });
        if (probes == 1)
        {
            break;
        }
        Sleep(10);
    }
    // The message to the button went through the hook and on to the button (which ignores it);
    // the one to the dialog went through the hook and on to its row.
    EXPECT_EQ(probes, 1);
    EXPECT_EQ(dialog.preTranslatedProbes.load(), 2);
    EXPECT_EQ(dialog.preTranslatedConsumed.load(), 1);
    int consumed = -1;
    thread->Run([&] { consumed = dialog.consumedCalls; });
    EXPECT_EQ(consumed, 0);
}

TEST(FrameworkStandaloneTest, MissingTemplateMakesDoModalFail)
{
    CDialog dialog(9999);
    EXPECT_EQ(dialog.DoModal(), -1);
}

TEST(FrameworkStandaloneTest, ApplicationNameIsTheProgramFileNameWithoutExtension)
{
    EXPECT_STREQ(ApplicationName(), "framework_tests");
}
} // namespace
