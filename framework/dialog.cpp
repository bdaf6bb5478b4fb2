#include "framework/dialog.h"

#include "framework/data_exchange.h"
#include "framework/dialog_init.h"
#include "framework/message_box.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <vector>

namespace
{
// The dialogs that run modally on this thread, innermost last, and the message-filter hook
// through which their modal loops offer each message to PreTranslateMessage. DialogBoxParamA
// runs its own loop, so a hook is the only place to see messages before they are dispatched.
struct ModalDialogs
{
    std::vector<CDialog*> running;
    HHOOK hook = nullptr;
};

thread_local ModalDialogs t_modal;

CDialog* DialogOwning(HWND window)
{
    for (HWND h = window; h != nullptr; h = GetAncestor(h, GA_PARENT))
    {
        for (auto it = t_modal.running.rbegin(); it != t_modal.running.rend(); ++it)
        {
            if ((*it)->GetSafeHwnd() == h)
            {
                return *it;
            }
        }
    }
    return nullptr;
}

LRESULT CALLBACK MessageFilterProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0 && lParam != 0)
    {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        if (CDialog* dialog = DialogOwning(msg->hwnd))
        {
            try
            {
                if (dialog->PreTranslateMessage(msg))
                {
                    return TRUE;
                }
            }
            catch (...)
            {
                // Nothing may unwind through the system's loop; the message goes on unchanged.
            }
        }
    }
    return CallNextHookEx(t_modal.hook, code, wParam, lParam);
}

// Registers one modal run of a dialog for the hook; the first one on a thread installs it.
class ModalRun
{
public:
    explicit ModalRun(CDialog* dialog) : m_dialog(dialog)
    {
        if (t_modal.running.empty())
        {
            t_modal.hook =
                SetWindowsHookExA(WH_MSGFILTER, &MessageFilterProc, nullptr, GetCurrentThreadId());
        }
        t_modal.running.push_back(dialog);
    }
    ~ModalRun()
    {
        auto& running = t_modal.running;
        running.erase(std::remove(running.begin(), running.end(), m_dialog), running.end());
        if (running.empty() && t_modal.hook != nullptr)
        {
            UnhookWindowsHookEx(t_modal.hook);
            t_modal.hook = nullptr;
        }
    }
    ModalRun(const ModalRun&) = delete;
    ModalRun& operator=(const ModalRun&) = delete;

private:
    CDialog* m_dialog;
};

// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message)
{
    switch (message)
    {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}
} // namespace

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal()
{
    HWND owner = m_parent != nullptr ? m_parent : GetActiveWindow();
    ModalRun run(this);
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), owner,
                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result)
{
    ::EndDialog(m_hWnd, result);
}

HWND CDialog::GetDlgItem(int id) const
{
    return ::GetDlgItem(m_hWnd, id);
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return true;
}

int CDialog::ShowMessageBox(const char* text, UINT type, const char* caption) const
{
    return AppMessageBox(m_hWnd, text, type, caption);
}

const MessageMap& CDialog::GetMessageMap() const
{
    static const MessageEntry kEntries[] = {
        On::AnyCommand<&CDialog::OnOK>(IDOK),
        On::AnyCommand<&CDialog::OnCancel>(IDCANCEL),
    };
    static const MessageMap kMap{kEntries, std::size(kEntries), nullptr};
    return kMap;
}

void CDialog::DoDataExchange(CDataExchange&) {}

BOOL CDialog::PreTranslateMessage(MSG*)
{
    // The modal loop does the dialog keyboard handling (IsDialogMessage) itself.
    return FALSE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(true))
    {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG)
    {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hwnd;
    }
    else
    {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (self == nullptr)
    {
        return FALSE; // messages before WM_INITDIALOG (WM_SETFONT) need nothing of ours
    }

    // The dialog procedure is the boundary: no exception goes back into the system.
    try
    {
        const INT_PTR result = self->Dispatch(message, wParam, lParam);
        if (message == WM_NCDESTROY)
        {
            SetWindowLongPtrA(hwnd, DWLP_USER, 0);
            self->m_hWnd = nullptr;
        }
        return result;
    }
    catch (const std::exception& e)
    {
        AppMessageBox(hwnd, e.what());
    }
    catch (...)
    {
        AppMessageBox(hwnd, "Unexpected error.");
    }
    return FALSE;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        ExecuteDialogInit(m_hWnd, GetModuleHandleA(nullptr), m_templateId);
        return OnInitDialog();
    }

    for (const MessageMap* map = &GetMessageMap(); map != nullptr; map = map->base)
    {
        for (std::size_t i = 0; i < map->count; ++i)
        {
            const MessageEntry& entry = map->entries[i];
            if (!entry.Matches(message, wParam, lParam))
            {
                continue;
            }
            // Handlers can run nested (a message box inside a handler), so each run keeps its
            // own flag.
            const bool outer = m_msgHandled;
            m_msgHandled = true;
            const LRESULT result = entry.thunk(*this, wParam, lParam);
            const bool handled = m_msgHandled;
            m_msgHandled = outer;
            return handled ? Result(message, result) : FALSE;
        }
    }
    return FALSE;
}

INT_PTR CDialog::Result(UINT message, LRESULT result)
{
    if (ReturnsResultDirectly(message))
    {
        return static_cast<INT_PTR>(result);
    }
    if (m_hWnd != nullptr)
    {
        SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
    }
    return TRUE;
}
