// Message tables: each row binds one window message, one control notification or one menu
// command to a member handler. The row factories below check the handler's signature at
// compile time, so a handler of the wrong shape does not build.
//
//   const MessageMap& CMyDlg::GetMessageMap() const
//   {
//       static const MessageEntry kEntries[] = {
//           On::Paint<&CMyDlg::OnPaint>(),
//           On::Clicked<&CMyDlg::OnGo>(IDC_GO),
//       };
//       static const MessageMap kMap{kEntries, std::size(kEntries), &CDialog::GetMessageMap()};
//       return kMap;
//   }
//
// The first matching row handles the message; a table without a match hands the message to its
// base table, and the last base hands it to the default dialog processing.
#pragma once

#include <windows.h>

#include <cstddef>
#include <type_traits>

class CDialog;

using MessageThunk = LRESULT (*)(CDialog& self, WPARAM wParam, LPARAM lParam);

// Which WM_COMMAND a row takes, besides the id.
enum class CommandSource : unsigned char
{
    Notification, // a control's notification with this code (lParam = the control)
    Menu,         // a menu item or an accelerator (lParam = 0)
    Any,          // IDOK/IDCANCEL: the keyboard, the close box and buttons all send these
};

struct MessageEntry
{
    UINT message;         // WM_xxx
    UINT id;              // WM_COMMAND only: control or menu id
    UINT code;            // WM_COMMAND with CommandSource::Notification: notification code
    CommandSource source; // WM_COMMAND only
    MessageThunk thunk;

    bool Matches(UINT msg, WPARAM wParam, LPARAM lParam) const
    {
        if (msg != message)
        {
            return false;
        }
        if (msg != WM_COMMAND)
        {
            return true;
        }
        if (LOWORD(wParam) != id)
        {
            return false;
        }
        switch (source)
        {
        case CommandSource::Notification:
            return lParam != 0 && HIWORD(wParam) == code;
        case CommandSource::Menu:
            return lParam == 0 && HIWORD(wParam) <= 1;
        case CommandSource::Any:
            return true;
        }
        return false;
    }
};

struct MessageMap
{
    const MessageEntry* entries;
    std::size_t count;
    const MessageMap* base; // consulted when no row of this table matches; null at the root
};

namespace message_map_detail
{
template <class> struct MemberOf;

template <class Class, class Member> struct MemberOf<Member Class::*>
{
    using Type = Class;
};

template <auto Handler> using OwnerOf = typename MemberOf<decltype(Handler)>::Type;

// Fails the build unless Handler is a member of a dialog class with exactly this signature.
template <auto Handler, class Signature> constexpr void RequireSignature()
{
    using Owner = OwnerOf<Handler>;
    static_assert(std::is_base_of_v<CDialog, Owner>, "handlers must be members of a dialog class");
    static_assert(std::is_same_v<decltype(Handler), Signature Owner::*>,
                  "handler signature does not match its message-table row");
}

template <auto Handler> LRESULT CallVoid(CDialog& self, WPARAM, LPARAM)
{
    (static_cast<OwnerOf<Handler>&>(self).*Handler)();
    return 0;
}

template <auto Handler> LRESULT CallMessage(CDialog& self, WPARAM wParam, LPARAM lParam)
{
    return (static_cast<OwnerOf<Handler>&>(self).*Handler)(wParam, lParam);
}

template <auto Handler> LRESULT CallSysCommand(CDialog& self, WPARAM wParam, LPARAM lParam)
{
    (static_cast<OwnerOf<Handler>&>(self).*Handler)(static_cast<UINT>(wParam), lParam);
    return 0;
}

template <auto Handler> LRESULT CallTimer(CDialog& self, WPARAM wParam, LPARAM)
{
    (static_cast<OwnerOf<Handler>&>(self).*Handler)(static_cast<UINT_PTR>(wParam));
    return 0;
}

template <auto Handler> LRESULT CallQueryDragIcon(CDialog& self, WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>((static_cast<OwnerOf<Handler>&>(self).*Handler)());
}
} // namespace message_map_detail

// Row factories, one per kind of row. The comment gives the handler's signature.
struct On
{
    // BN_CLICKED from button `id`: void OnX()
    template <auto Handler> static constexpr MessageEntry Clicked(UINT id)
    {
        return Notification<Handler>(id, BN_CLICKED);
    }

    // Notification `code` (CBN_SELCHANGE, CBN_DROPDOWN, ...) from control `id`: void OnX()
    template <auto Handler> static constexpr MessageEntry Notification(UINT id, UINT code)
    {
        message_map_detail::RequireSignature<Handler, void()>();
        return {WM_COMMAND, id, code, CommandSource::Notification,
                &message_map_detail::CallVoid<Handler>};
    }

    // Menu command `id`: void OnX()
    template <auto Handler> static constexpr MessageEntry MenuCommand(UINT id)
    {
        message_map_detail::RequireSignature<Handler, void()>();
        return {WM_COMMAND, id, 0, CommandSource::Menu, &message_map_detail::CallVoid<Handler>};
    }

    // Command `id` from any source (IDOK, IDCANCEL): void OnX()
    template <auto Handler> static constexpr MessageEntry AnyCommand(UINT id)
    {
        message_map_detail::RequireSignature<Handler, void()>();
        return {WM_COMMAND, id, 0, CommandSource::Any, &message_map_detail::CallVoid<Handler>};
    }

    // Any message, raw: LRESULT OnX(WPARAM, LPARAM)
    template <auto Handler> static constexpr MessageEntry Message(UINT message)
    {
        message_map_detail::RequireSignature<Handler, LRESULT(WPARAM, LPARAM)>();
        return {message, 0, 0, CommandSource::Any, &message_map_detail::CallMessage<Handler>};
    }

    // WM_SYSCOMMAND: void OnSysCommand(UINT id, LPARAM param)
    template <auto Handler> static constexpr MessageEntry SysCommand()
    {
        message_map_detail::RequireSignature<Handler, void(UINT, LPARAM)>();
        return {WM_SYSCOMMAND, 0, 0, CommandSource::Any,
                &message_map_detail::CallSysCommand<Handler>};
    }

    // WM_PAINT: void OnPaint()
    template <auto Handler> static constexpr MessageEntry Paint()
    {
        message_map_detail::RequireSignature<Handler, void()>();
        return {WM_PAINT, 0, 0, CommandSource::Any, &message_map_detail::CallVoid<Handler>};
    }

    // WM_QUERYDRAGICON: HCURSOR OnQueryDragIcon()
    template <auto Handler> static constexpr MessageEntry QueryDragIcon()
    {
        message_map_detail::RequireSignature<Handler, HCURSOR()>();
        return {WM_QUERYDRAGICON, 0, 0, CommandSource::Any,
                &message_map_detail::CallQueryDragIcon<Handler>};
    }

    // WM_DESTROY: void OnDestroy()
    template <auto Handler> static constexpr MessageEntry Destroy()
    {
        message_map_detail::RequireSignature<Handler, void()>();
        return {WM_DESTROY, 0, 0, CommandSource::Any, &message_map_detail::CallVoid<Handler>};
    }

    // WM_TIMER: void OnTimer(UINT_PTR timerId)
    template <auto Handler> static constexpr MessageEntry Timer()
    {
        message_map_detail::RequireSignature<Handler, void(UINT_PTR)>();
        return {WM_TIMER, 0, 0, CommandSource::Any, &message_map_detail::CallTimer<Handler>};
    }
};
