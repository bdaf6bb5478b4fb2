// The dialog templates, menu, texts and pictures as the running program builds them.
#include "res/resource.h"
#include "test_downloader_dlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace
{
struct ChildControl
{
    int id;
    std::string className;
    std::string text;
    HWND window;
};

// The dialog's controls in template order.
std::vector<ChildControl> ChildrenOf(HWND dialog)
{
    std::vector<ChildControl> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
    {
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        children.push_back({GetDlgCtrlID(child), className, WindowText(child), child});
    }
    return children;
}

bool SameClass(const std::string& actual, const char* expected)
{
    return _stricmp(actual.c_str(), expected) == 0;
}

bool Inside(HWND inner, HWND outer)
{
    RECT a = {};
    RECT b = {};
    GetWindowRect(inner, &a);
    GetWindowRect(outer, &b);
    return a.left >= b.left && a.right <= b.right && a.top >= b.top && a.bottom <= b.bottom;
}

constexpr int kNoId = 0xFFFF; // group boxes and the logo carry no id of their own

struct ExpectedControl
{
    int id;
    const char* className;
};

// The twenty controls of the main window, in their order.
const ExpectedControl kMainControls[] = {
    {IDC_START_DOWNLOAD, "Button"},
    {IDC_LANGUAGE_PACK_BUTTON, "Button"},
    {IDC_MAIN_CODE_BUTTON, "Button"},
    {IDC_BOOT_CODE_BUTTON, "Button"},
    {IDC_LANGUAGE_PACK_PROGRESS, "msctls_progress32"},
    {IDC_MAIN_CODE_PROGRESS, "msctls_progress32"},
    {IDC_BOOT_CODE_PROGRESS, "msctls_progress32"},
    {IDC_LANGUAGE_PACK_PERCENT, "ListBox"},
    {IDC_MAIN_CODE_PERCENT, "ListBox"},
    {IDC_BOOT_CODE_PERCENT, "ListBox"},
    {IDC_LANGUAGE_PACK_FILE, "ComboBox"},
    {IDC_BROWSE_LANGUAGE_PACK, "Button"},
    {IDC_IMAGE_FILE, "ComboBox"},
    {IDC_BROWSE_IMAGE, "Button"},
    {IDC_COM_PORT, "ComboBox"},
    {IDC_BAUD_RATE, "ComboBox"},
    {IDC_MOBILE_MODEL, "ComboBox"},
    {IDC_GANG_MODE, "Button"},
    {IDC_DOWNLOAD_TIME, "ListBox"},
    {IDC_REPORT_LIST, "ListBox"},
};

class MainWindowResourcesTest : public ::testing::Test
{
protected:
    RunningMainWindow window;
};

TEST_F(MainWindowResourcesTest, ControlsComeInTheirOrderWithTheirKindsAndDistinctIds)
{
    ASSERT_TRUE(window.thread->Started());
    std::vector<ChildControl> identified;
    for (const ChildControl& child : ChildrenOf(window.thread->Window()))
    {
        if (child.id != kNoId && child.id != -1)
        {
            identified.push_back(child);
        }
    }
    ASSERT_EQ(identified.size(), std::size(kMainControls));
    std::set<int> ids;
    for (std::size_t i = 0; i < identified.size(); ++i)
    {
        EXPECT_EQ(identified[i].id, kMainControls[i].id) << "position " << i;
        EXPECT_TRUE(SameClass(identified[i].className, kMainControls[i].className))
            << identified[i].id << " is a " << identified[i].className;
        ids.insert(identified[i].id);
    }
    EXPECT_EQ(ids.size(), identified.size());
}

TEST_F(MainWindowResourcesTest, MenuCommandsDoNotShareIdsWithControls)
{
    for (const ExpectedControl& control : kMainControls)
    {
        EXPECT_NE(control.id, ID_PRESETS_BROWSE);
        EXPECT_NE(control.id, ID_HELP_ABOUT);
        EXPECT_NE(control.id, IDOK);
        EXPECT_NE(control.id, IDCANCEL);
    }
    EXPECT_NE(ID_PRESETS_BROWSE, ID_HELP_ABOUT);
}

TEST_F(MainWindowResourcesTest, ControlsSitInTheirGroups)
{
    ASSERT_TRUE(window.thread->Started());
    std::vector<ChildControl> children = ChildrenOf(window.thread->Window());
    auto group = [&](const char* caption) -> HWND
    {
        for (const ChildControl& c : children)
        {
            if (c.text == caption && (GetWindowLongA(c.window, GWL_STYLE) & BS_GROUPBOX) != 0)
            {
                return c.window;
            }
        }
        return nullptr;
    };
    const struct
    {
        const char* group;
        std::vector<int> members;
    } groups[] = {
        {"Language Pack File", {IDC_LANGUAGE_PACK_FILE, IDC_BROWSE_LANGUAGE_PACK}},
        {"Image File", {IDC_IMAGE_FILE, IDC_BROWSE_IMAGE}},
        {"COM Port", {IDC_COM_PORT}},
        {"Baud Rate", {IDC_BAUD_RATE}},
        {"Mobile Model", {IDC_MOBILE_MODEL}},
        {"Download Time", {IDC_DOWNLOAD_TIME}},
        {"Progress Report Window", {IDC_REPORT_LIST}},
    };
    for (const auto& g : groups)
    {
        HWND box = group(g.group);
        ASSERT_NE(box, nullptr) << g.group;
        for (int id : g.members)
        {
            EXPECT_TRUE(Inside(window.thread->Item(id), box)) << id << " in " << g.group;
        }
    }
    EXPECT_EQ(WindowText(window.thread->Item(IDC_GANG_MODE)), "Gang Mode");
    EXPECT_EQ(WindowText(window.thread->Item(IDC_BROWSE_IMAGE)), "Browse...");
    EXPECT_EQ(WindowText(window.thread->Item(IDC_BROWSE_LANGUAGE_PACK)), "Browse...");
}

TEST_F(MainWindowResourcesTest, FixedListsComeWithTheDialog)
{
    ASSERT_TRUE(window.thread->Started());
    const std::vector<std::string> baud = {"115200", "57600", "38400", "19200"};
    const std::vector<std::string> ports = {"COM1", "COM2", "COM3", "COM4",
                                            "COM5", "COM6", "COM7", "COM8"};
    const std::vector<std::string> models = {"RT50",  "RT80", "RT30", "RT37",
                                             "RT37X", "RT47", "RT47X"};
    const struct
    {
        int id;
        const std::vector<std::string>& entries;
    } lists[] = {{IDC_BAUD_RATE, baud}, {IDC_COM_PORT, ports}, {IDC_MOBILE_MODEL, models}};
    for (const auto& list : lists)
    {
        HWND combo = window.thread->Item(list.id);
        ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0),
                  static_cast<LRESULT>(list.entries.size()));
        for (std::size_t i = 0; i < list.entries.size(); ++i)
        {
            EXPECT_EQ(ComboBoxEntry(combo, static_cast<int>(i)), list.entries[i]);
        }
    }
}

TEST_F(MainWindowResourcesTest, WindowHasCaptionMenuAndFixedSize)
{
    ASSERT_TRUE(window.thread->Started());
    HWND dialog = window.thread->Window();
    EXPECT_EQ(WindowText(dialog), "TervoloPLUS : Halvern PLUS v1.0");
    const LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_EQ(style & WS_THICKFRAME, 0);

    RECT expected = {0, 0, 412, 241};
    MapDialogRect(dialog, &expected);
    RECT client = {};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, expected.right);
    EXPECT_EQ(client.bottom, expected.bottom);

    HMENU menu = GetMenu(dialog);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    char text[64] = {};
    GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Presets");
    GetMenuStringA(menu, 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Help");
    GetMenuStringA(menu, ID_PRESETS_BROWSE, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "Add/Modify/Browse...");
    GetMenuStringA(menu, ID_HELP_ABOUT, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "About TervoloPLUS");
}

TEST_F(MainWindowResourcesTest, LogoIsShownSunken)
{
    ASSERT_TRUE(window.thread->Started());
    bool found = false;
    for (const ChildControl& child : ChildrenOf(window.thread->Window()))
    {
        const LONG style = GetWindowLongA(child.window, GWL_STYLE);
        if (SameClass(child.className, "Static") && (style & SS_TYPEMASK) == SS_BITMAP)
        {
            found = true;
            EXPECT_NE(style & SS_SUNKEN, 0);
            HBITMAP logo = reinterpret_cast<HBITMAP>(
                SendMessageA(child.window, STM_GETIMAGE, IMAGE_BITMAP, 0));
            ASSERT_NE(logo, nullptr);
            BITMAP info = {};
            GetObjectA(logo, sizeof info, &info);
            EXPECT_EQ(info.bmWidth, 221);
            EXPECT_EQ(info.bmHeight, 27);
        }
    }
    EXPECT_TRUE(found);
}

TEST(StringTableTest, TooltipAndMenuTextsAreThereExactly)
{
    const struct
    {
        UINT id;
        const char* text;
    } strings[] = {
        {IDS_ABOUTBOX, "&About TervoloPLUS..."},
        {IDS_TIP_START_STOP, "Start/Stop Download"},
        {IDS_TIP_MAIN_CODE, "Download Main Code"},
        {IDS_TIP_BOOT_CODE, "Download Boot Code"},
        {IDS_TIP_LANGUAGE_PACK, "Download Language Pack"},
        {IDS_TIP_BAUD_RATE, "Baud Rate Selections"},
        {IDS_TIP_MOBILE_MODEL, "Choose the mobile model you wish to download to."},
        {IDS_TIP_REPORT, "Shows the current state of the download and all the relevant messages."},
        {IDS_TIP_GANG_MODE, "Select this box to use the Tandrix "},
    };
    for (const auto& s : strings)
    {
        char text[256] = {};
        LoadStringA(GetModuleHandleA(nullptr), s.id, text, sizeof text);
        EXPECT_STREQ(text, s.text) << s.id;
    }
}

TEST(PictureTest, SectionAndStartPicturesArePresent)
{
    const UINT pictures[] = {
        IDB_BOOT_CODE_OFF,         IDB_BOOT_CODE_ON,         IDB_LANGUAGE_PACK_OFF,
        IDB_MAIN_CODE_OFF,         IDB_MAIN_CODE_ON,         IDB_LANGUAGE_PACK_ON,
        IDB_START_DOWNLOAD_BITMAP, IDB_STOP_DOWNLOAD_BITMAP, IDB_LOGO};
    for (UINT id : pictures)
    {
        HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
        EXPECT_NE(bitmap, nullptr) << id;
        DeleteObject(bitmap);
    }
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)), nullptr);
}

BOOL CALLBACK FindAboutBox(HWND window, LPARAM found)
{
    if (WindowText(window) == "About TervoloPLUS" && IsWindowVisible(window))
    {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The About box, opened from the system menu and from the Help menu.
class AboutBoxTest : public ::testing::Test
{
protected:
    // Waits for the About box on the main window's thread.
    HWND WaitForAboutBox()
    {
        const ULONGLONG deadline = GetTickCount64() + kWaitLimitMs;
        while (GetTickCount64() < deadline)
        {
            HWND found = nullptr;
            EnumThreadWindows(window.thread->Thread(), &FindAboutBox,
                              reinterpret_cast<LPARAM>(&found));
            if (found != nullptr)
            {
                return found;
            }
            Sleep(10);
        }
        return nullptr;
    }

    RunningMainWindow window;
};

TEST_F(AboutBoxTest, SystemMenuItemOpensTheAboutBox)
{
    ASSERT_TRUE(window.thread->Started());
    HMENU systemMenu = GetSystemMenu(window.thread->Window(), FALSE);
    const int count = GetMenuItemCount(systemMenu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuItemID(systemMenu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    char text[64] = {};
    GetMenuStringA(systemMenu, count - 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&About TervoloPLUS...");
    MENUITEMINFOA separator = {};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(systemMenu, count - 2, TRUE, &separator);
    EXPECT_NE(separator.fType & MFT_SEPARATOR, 0u);

    AsyncSend command(window.thread->Window(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = WaitForAboutBox();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(GetWindow(about, GW_OWNER), window.thread->Window());
    std::set<int> ids;
    int identified = 0;
    for (const ChildControl& child : ChildrenOf(about))
    {
        if (child.id != kNoId && child.id != -1)
        {
            ids.insert(child.id);
            ++identified;
        }
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(identified));
    EXPECT_EQ(ids, (std::set<int>{IDC_ABOUT_LOGO, IDC_ABOUT_VERSION, IDC_ABOUT_COPYRIGHT, IDOK}));
    EXPECT_NE(SendDlgItemMessageA(about, IDC_ABOUT_LOGO, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    // The version the build was given, as the programs' version resources carry it.
    EXPECT_EQ(WindowText(GetDlgItem(about, IDC_ABOUT_VERSION)),
              "TervoloPLUS Version " TERVOLO_EXPECTED_VERSION);

    PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    command.Wait();
    EXPECT_FALSE(IsWindow(about));
}

TEST_F(AboutBoxTest, HelpMenuOpensTheSameAboutBox)
{
    ASSERT_TRUE(window.thread->Started());
    AsyncSend command(window.thread->Window(), WM_COMMAND, MAKEWPARAM(ID_HELP_ABOUT, 0), 0);
    HWND about = WaitForAboutBox();
    ASSERT_NE(about, nullptr);
    EXPECT_NE(GetDlgItem(about, IDC_ABOUT_LOGO), nullptr);
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    command.Wait();
}
} // namespace

namespace
{
// A text of a program's version resource, as Explorer shows it.
std::string VersionText(const std::vector<char>& info, const char* name)
{
    char* text = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &length))
    {
        return "(none)";
    }
    return std::string(text, length > 0 ? length - 1 : 0);
}

TEST(VersionResource, BothProgramsCarryTheBuildsVersionAndTheCompany)
{
    for (const char* program : {TERVOLO_PROGRAM_PATH, TERVOLO_CLI_PATH})
    {
        SCOPED_TRACE(program);
        const DWORD size = GetFileVersionInfoSizeA(program, nullptr);
        ASSERT_GT(size, 0u);
        std::vector<char> info(size);
        ASSERT_TRUE(GetFileVersionInfoA(program, 0, size, info.data()));
        EXPECT_EQ(VersionText(info, "CompanyName"), "Quorvatek");
        EXPECT_EQ(VersionText(info, "ProductName"), "TervoloPLUS");
        EXPECT_EQ(VersionText(info, "FileVersion"), TERVOLO_EXPECTED_VERSION);
        EXPECT_EQ(VersionText(info, "ProductVersion"), TERVOLO_EXPECTED_VERSION);
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "%lu.%lu.%lu.%lu", fixed->dwFileVersionMS >> 16,
                      fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16,
                      fixed->dwFileVersionLS & 0xFFFF);
        EXPECT_EQ(std::string(numbers).rfind(TERVOLO_EXPECTED_VERSION, 0), 0u) << numbers;
        EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    }
}

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The preset dialogs' controls, each id once.
TEST(PresetDialogTemplatesTest, IdsOfOneDialogDoNotCollide)
{
    const struct
    {
        int templateId;
        std::set<int> ids;
    } dialogs[] = {
        {IDD_PRESET_NAME, {IDC_PRESET_NAME_EDIT, IDOK, IDCANCEL}},
        {IDD_PRESET_BROWSE, {IDC_PRESET_LIST, IDC_NEW_SETUP, IDC_DELETE_SETUP, IDOK, IDCANCEL}},
    };
    for (const auto& dialog : dialogs)
    {
        HWND window =
            CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialog.templateId),
                               nullptr, &IgnoreMessages, 0);
        ASSERT_NE(window, nullptr) << dialog.templateId;
        std::multiset<int> ids;
        for (const ChildControl& child : ChildrenOf(window))
        {
            if (child.id != kNoId && child.id != -1)
            {
                ids.insert(child.id);
            }
        }
        DestroyWindow(window);
        EXPECT_EQ(ids, std::multiset<int>(dialog.ids.begin(), dialog.ids.end()))
            << dialog.templateId;
    }
}
} // namespace
