// Presets in the prefix's real registry: the first run, what a save writes, what a load
// applies, the preset browser with its name prompt, and the locked preset mode.
#include "app/settings_controls.h"
#include "preset_store.h"
#include "res/resource.h"
#include "settings/preset_registry.h"
#include "test_downloader_dlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <thread>

namespace
{
using preset_store::Values;

std::string Stored(const char* preset, const char* name)
{
    return preset_store::Read(preset, name).value_or("<missing>");
}

struct TitleSearch
{
    const char* title;
    HWND found;
};

BOOL CALLBACK FindTitled(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<TitleSearch*>(param);
    if (IsWindowVisible(window) && WindowText(window).rfind(search->title, 0) == 0)
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible window of the thread whose caption begins with `title`.
HWND WaitForWindow(DWORD thread, const char* title)
{
    const ULONGLONG deadline = GetTickCount64() + kWaitLimitMs;
    TitleSearch search{title, nullptr};
    while (EnumThreadWindows(thread, &FindTitled, reinterpret_cast<LPARAM>(&search)),
           search.found == nullptr && GetTickCount64() < deadline)
    {
        Sleep(10);
    }
    return search.found;
}

// A click whose handler shows no box: handled when this returns.
void ClickNow(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Click(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Picks a line of the browser's list as a mouse click does: select, then tell the dialog.
void Pick(HWND browser, const char* name)
{
    HWND list = GetDlgItem(browser, IDC_PRESET_LIST);
    const LRESULT index = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(name));
    ASSERT_NE(index, LB_ERR) << name;
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(browser, WM_COMMAND, MAKEWPARAM(IDC_PRESET_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

std::vector<std::string> Lines(HWND list)
{
    std::vector<std::string> lines;
    for (int i = 0; i < ListBoxCount(list); ++i)
    {
        lines.push_back(ListBoxLine(list, i));
    }
    return lines;
}

Values WithValues(Values values, const Values& changes)
{
    for (const auto& [name, text] : changes)
    {
        bool replaced = false;
        for (auto& value : values)
        {
            if (value.first == name)
            {
                value.second = text;
                replaced = true;
            }
        }
        if (!replaced)
        {
            values.emplace_back(name, text);
        }
    }
    return values;
}

// The store holds "Development" as the window starts without presets, and these presets.
void SeedStore(const std::vector<std::pair<std::string, Values>>& presets)
{
    preset_store::SeedIdleDevelopment();
    for (const auto& [name, values] : presets)
    {
        preset_store::Write(name, values);
    }
}

// Opens the browser from the Presets menu; the send ends when the browser does.
struct OpenBrowser
{
    explicit OpenBrowser(RunningMainWindow& window)
        : send(window.thread->Window(), WM_COMMAND, MAKEWPARAM(ID_PRESETS_BROWSE, 0), 0),
          dialog(WaitForWindow(window.thread->Thread(), "Browsing Preset Entries"))
    {
    }
    AsyncSend send;
    HWND dialog;
};

TEST(FirstRun, ReportsTheMissingPresetTakesTheDefaultsAndCloseWritesDevelopment)
{
    preset_store::Clear();
    SeenMessageBox box;
    std::thread answer([&] { box = AnswerMessageBox(BoxFilter{}, IDOK); });
    RunningMainWindow window(WindowStart{false, {}});
    answer.join();
    ASSERT_TRUE(window.thread->Started());
    EXPECT_EQ(box.text, "Failed to read the Registry Settings. Close and Restart TervoloPLUS.");
    EXPECT_EQ(box.caption, "app_tests");
    EXPECT_EQ(box.owner, window.thread->Window());

    std::string folders;
    int sections[3] = {};
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            sections[0] = d.m_bootCodeSelected;
            sections[1] = d.m_mainCodeSelected;
            sections[2] = d.m_languagePackSelected;
            folders = std::string(d.ImageAbsBrowseDirectory) + d.ImageRelBrowseDirectory +
                      d.LPAbsBrowseDirectory + d.LPRelBrowseDirectory;
        });
    EXPECT_EQ(sections[0], 0);
    EXPECT_EQ(sections[1], 1);
    EXPECT_EQ(sections[2], 0);
    EXPECT_EQ(folders, "C:\\C:\\C:\\C:\\");
    EXPECT_EQ(SendMessageA(window.thread->Item(IDC_GANG_MODE), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    ASSERT_TRUE(window.Close());
    const std::vector<std::string> names = preset_store::ValueNames("Development");
    const std::set<std::string> written(names.begin(), names.end());
    const Values expected =
        WithValues(preset_store::IdleDevelopment(), {{"MainCodeDownload", "1"}});
    EXPECT_EQ(written.size(), expected.size());
    for (const auto& [name, text] : expected)
    {
        EXPECT_EQ(Stored("Development", name.c_str()), text) << name;
    }
}

TEST(SavePreset, WritesEveryChoiceInItsEncodingAndFiveOfSixRecentFiles)
{
    {
        RunningMainWindow window;
        HWND main = window.thread->Window();
        ClickNow(main, IDC_BOOT_CODE_BUTTON);
        ChooseModel(main, window.thread->Item(IDC_MOBILE_MODEL), "RT47X");
        SendMessageA(window.thread->Item(IDC_COM_PORT), CB_SETCURSEL, 2, 0);
        SendMessageA(window.thread->Item(IDC_BAUD_RATE), CB_SETCURSEL, 2, 0);
        SendMessageA(window.thread->Item(IDC_GANG_MODE), BM_SETCHECK, BST_CHECKED, 0);
        HWND image = window.thread->Item(IDC_IMAGE_FILE);
        // Six entries, as two loads of a preset can leave.
        for (const char* entry :
             {"C:\\a.rel", "C:\\bb.rel", "C:\\c.rel", "C:\\d.rel", "C:\\e.rel", "C:\\f.rel"})
        {
            SendMessageA(image, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
        }
        SetWindowTextA(image, "C:\\rel\\main.rel");
        window.Run([](TestDownloaderDlg& d)
                   { std::snprintf(d.LPRelBrowseDirectory, 500, "D:\\lp\\"); });
        ASSERT_TRUE(window.Close());
    }
    const Values expected = {
        {"GangMode", "1"},
        {"BootCodeDownload", "1"},
        {"MainCodeDownload", "1"},
        {"LanguagePackDownload", "0"},
        {"MobileModel", "RT47X"},
        {"ComPort", "2"},
        {"BaudRate", "2"},
        {"ImageNoOfRecentFiles", "0006"},
        {"ImageFilename0Length", "0008"},
        {"ImageFilename0", "C:\\a.rel"},
        {"ImageFilename1Length", "0009"},
        {"ImageFilename4", "C:\\e.rel"},
        {"ImageFilenameLength", "0015"},
        {"ImageFilename", "C:\\rel\\main.rel"},
        {"LPNoOfRecentFiles", "0000"},
        {"LPRelBrowseDirectoryLength", "0006"},
        {"LPRelBrowseDirectory", "D:\\lp\\"},
        {"ImageAbsBrowseDirectoryLength", "0003"},
        {"ImageAbsBrowseDirectory", "C:\\"},
    };
    for (const auto& [name, text] : expected)
    {
        EXPECT_EQ(Stored("Development", name.c_str()), text) << name;
    }
    EXPECT_FALSE(preset_store::Read("Development", "ImageFilename5").has_value());

    // The next start brings the five back, in their order, and the choices with them.
    RunningMainWindow again(WindowStart{false, {}});
    HWND image = again.thread->Item(IDC_IMAGE_FILE);
    ASSERT_EQ(SendMessageA(image, CB_GETCOUNT, 0, 0), 5);
    EXPECT_EQ(ComboBoxEntry(image, 0), "C:\\a.rel");
    EXPECT_EQ(ComboBoxEntry(image, 4), "C:\\e.rel");
    EXPECT_EQ(WindowText(image), "C:\\rel\\main.rel");
    EXPECT_EQ(SendMessageA(again.thread->Item(IDC_MOBILE_MODEL), CB_GETCURSEL, 0, 0), 6);
    EXPECT_EQ(SendMessageA(again.thread->Item(IDC_GANG_MODE), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST(LoadPreset, FlagsIndexesAndMissingValuesReadBack)
{
    // "-1" is a list without selection; BaudRate and LPFilename are missing.
    preset_store::Clear();
    preset_store::Write("Development", {{"GangMode", "1"},
                                        {"BootCodeDownload", "0"},
                                        {"MainCodeDownload", "1"},
                                        {"LanguagePackDownload", "1"},
                                        {"MobileModel", "RT47"},
                                        {"ComPort", "-1"},
                                        {"ImageFilenameLength", "0008"},
                                        {"ImageFilename", "C:\\x.rel"}});
    RunningMainWindow window(WindowStart{false, {}});
    EXPECT_EQ(SendMessageA(window.thread->Item(IDC_COM_PORT), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendMessageA(window.thread->Item(IDC_BAUD_RATE), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendMessageA(window.thread->Item(IDC_MOBILE_MODEL), CB_GETCURSEL, 0, 0), 5);
    EXPECT_EQ(SendMessageA(window.thread->Item(IDC_GANG_MODE), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(WindowText(window.thread->Item(IDC_IMAGE_FILE)), "C:\\x.rel");
    EXPECT_EQ(WindowText(window.thread->Item(IDC_LANGUAGE_PACK_FILE)), "");
    int languagePack = 0;
    std::string folder;
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            languagePack = d.m_languagePackSelected;
            folder = d.LPAbsBrowseDirectory;
        });
    // The preset's own model takes language packs, though the list's first entry does not.
    EXPECT_EQ(languagePack, 1);
    EXPECT_EQ(folder, "C:\\");
}

TEST(LoadPreset, StoredValuesLongerThanTheirRoomTakeTheirDefaultsExceptTheModel)
{
    preset_store::Clear();
    preset_store::Write("Development",
                        {{"MainCodeDownload", "1"},
                         {"MobileModel", "RT47XXXXXXXXXXXX"},
                         {"ImageAbsBrowseDirectoryLength", "9999"},
                         {"ImageAbsBrowseDirectory", "C:\\" + std::string(600, 'f') + "\\"},
                         {"ImageFilenameLength", "0003"},
                         {"ImageFilename", "C:\\long\\a.rel"}});
    RunningMainWindow window(WindowStart{false, {}});
    std::string folder, model;
    window.Run(
        [&](TestDownloaderDlg& d)
        {
            folder = d.ImageAbsBrowseDirectory;
            model = d.m_modelName;
        });
    EXPECT_EQ(folder, "C:\\");
    // A model too long for the list is one it does not have: kept, and saved back unchanged.
    EXPECT_EQ(model, "RT47XXXXXXXXXXXX");
    EXPECT_EQ(SendMessageA(window.thread->Item(IDC_MOBILE_MODEL), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(WindowText(window.thread->Item(IDC_IMAGE_FILE)), "");
    ASSERT_TRUE(window.Close());
    EXPECT_EQ(Stored("Development", "MobileModel"), "RT47XXXXXXXXXXXX");
}

TEST(SavePreset, ModelNotInTheListGoesBackUnchanged)
{
    SeedStore({});
    preset_store::Write("Development", {{"MobileModel", "RT99"}});
    RunningMainWindow window(WindowStart{false, {}});
    EXPECT_EQ(SendMessageA(window.thread->Item(IDC_MOBILE_MODEL), CB_GETCURSEL, 0, 0), CB_ERR);
    ASSERT_TRUE(window.Close());
    EXPECT_EQ(Stored("Development", "MobileModel"), "RT99");
}

TEST(LockedPreset, ClosingWritesNothing)
{
    const Values lineP = WithValues(preset_store::IdleDevelopment(),
                                    {{"MainCodeDownload", "1"}, {"MobileModel", "RT47"}});
    SeedStore({{"Line P", lineP}});
    RunningMainWindow window(WindowStart{false, {"/PLine P"}});
    EXPECT_EQ(WindowText(window.thread->Window()), "TervoloPLUS - Using Preset Program \"Line P\"");
    EXPECT_EQ(GetMenu(window.thread->Window()), nullptr); // no Presets menu
    for (int id : kSettingsControls)
    {
        EXPECT_FALSE(IsWindowEnabled(window.thread->Item(id))) << id;
    }
    SendMessageA(window.thread->Item(IDC_GANG_MODE), BM_SETCHECK, BST_CHECKED, 0);
    SetWindowTextA(window.thread->Item(IDC_IMAGE_FILE), "C:\\other.rel");
    ASSERT_TRUE(window.Close());
    for (const auto& [name, text] : lineP)
    {
        EXPECT_EQ(Stored("Line P", name.c_str()), text) << name;
    }
    EXPECT_EQ(Stored("Development", "MainCodeDownload"), "0");
}

class PresetBrowserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        lineA = WithValues(preset_store::IdleDevelopment(), {{"MainCodeDownload", "1"}});
        lineB = WithValues(preset_store::IdleDevelopment(), {{"BootCodeDownload", "1"},
                                                             {"MainCodeDownload", "1"},
                                                             {"MobileModel", "RT37"},
                                                             {"ComPort", "4"},
                                                             {"BaudRate", "1"}});
        SeedStore({{"Line A", lineA}, {"Line B", lineB}});
        window = std::make_unique<RunningMainWindow>(WindowStart{false, {}});
        ASSERT_TRUE(window->thread->Started());
    }

    std::string PresetName()
    {
        std::string name;
        window->Run([&](TestDownloaderDlg& d) { name = d.m_presetName; });
        return name;
    }

    Values lineA, lineB;
    std::unique_ptr<RunningMainWindow> window;
};

TEST_F(PresetBrowserTest, PickAndOkLoadThePresetAndSaveItBackUnchanged)
{
    OpenBrowser browser(*window);
    ASSERT_NE(browser.dialog, nullptr);
    HWND list = GetDlgItem(browser.dialog, IDC_PRESET_LIST);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"Development", "Line A", "Line B"}));
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(PresetName(), "Development"); // showing the first line is no pick
    Pick(browser.dialog, "Line B");
    EXPECT_EQ(PresetName(), "Line B");
    Click(browser.dialog, IDOK);
    browser.send.Wait();

    int boot = 0;
    window->Run([&](TestDownloaderDlg& d) { boot = d.m_bootCodeSelected; });
    EXPECT_EQ(boot, 1);
    EXPECT_EQ(SendMessageA(window->thread->Item(IDC_MOBILE_MODEL), CB_GETCURSEL, 0, 0), 3);
    EXPECT_EQ(SendMessageA(window->thread->Item(IDC_COM_PORT), CB_GETCURSEL, 0, 0), 4);
    for (const auto& [name, text] : lineB)
    {
        EXPECT_EQ(Stored("Line B", name.c_str()), text) << name;
    }
}

TEST_F(PresetBrowserTest, NewSetupRefusesNamesTheRegistryCannotHoldAndOkCreatesThePreset)
{
    HWND image = window->thread->Item(IDC_IMAGE_FILE);
    SendMessageA(image, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("C:\\kept.rel"));
    SetWindowTextA(image, "C:\\now.rel");

    OpenBrowser browser(*window);
    ASSERT_NE(browser.dialog, nullptr);
    Click(browser.dialog, IDC_NEW_SETUP);
    HWND prompt = WaitForWindow(window->thread->Thread(), "New Preset Entry");
    ASSERT_NE(prompt, nullptr);
    for (const std::string& refused : {std::string("Line\\3"), std::string(300, 'n')})
    {
        SetDlgItemTextA(prompt, IDC_PRESET_NAME_EDIT, refused.c_str());
        Click(prompt, IDOK);
        const SeenMessageBox box = AnswerMessageBox(OfThread(window->thread->Thread()), IDOK);
        EXPECT_TRUE(box.found);
        EXPECT_EQ(box.owner, prompt);
        EXPECT_NE(box.text.find("preset name"), std::string::npos) << box.text;
        EXPECT_TRUE(IsWindow(prompt)); // the operator can mend the name
    }
    SetDlgItemTextA(prompt, IDC_PRESET_NAME_EDIT, "Line 3");
    Click(prompt, IDOK);
    while (IsWindow(prompt))
    {
        Sleep(10);
    }
    EXPECT_EQ(WindowText(browser.dialog), "Tervolo - Using Preset Program \"Line 3\"");
    HWND list = GetDlgItem(browser.dialog, IDC_PRESET_LIST);
    EXPECT_EQ(ListBoxLine(list, ListBoxCount(list) - 1), "Line 3");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(browser.dialog, IDC_NEW_SETUP)));
    Click(browser.dialog, IDOK);
    browser.send.Wait();

    EXPECT_EQ(PresetName(), "Line 3");
    EXPECT_EQ(Stored("Line 3", "ImageNoOfRecentFiles"), "0000"); // only Development keeps lists
    EXPECT_EQ(Stored("Line 3", "ImageFilename"), "C:\\now.rel");
    EXPECT_FALSE(preset_store::Exists("Line"));
    EXPECT_FALSE(preset_store::Exists(std::string(300, 'n')));
}

TEST_F(PresetBrowserTest, DeleteActsAtOnceSparesDevelopmentAndCancelRestoresTheName)
{
    window->Run([](TestDownloaderDlg& d) { std::snprintf(d.m_presetName, 500, "Line A"); });
    {
        OpenBrowser browser(*window);
        ASSERT_NE(browser.dialog, nullptr);
        Pick(browser.dialog, "Development");
        Click(browser.dialog, IDC_DELETE_SETUP);
        const SeenMessageBox reserved = AnswerMessageBox(OfThread(window->thread->Thread()), IDOK);
        EXPECT_EQ(reserved.text, "Development is a reserved preset!");
        EXPECT_EQ(reserved.owner, browser.dialog);

        Pick(browser.dialog, "Line B");
        ClickNow(browser.dialog, IDC_DELETE_SETUP);
        EXPECT_FALSE(preset_store::Exists("Line B"));
        HWND list = GetDlgItem(browser.dialog, IDC_PRESET_LIST);
        EXPECT_EQ(Lines(list), (std::vector<std::string>{"Development", "Line A"}));
        EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
        EXPECT_EQ(PresetName(), "Development");
        Click(browser.dialog, IDCANCEL);
        browser.send.Wait();
    }
    EXPECT_EQ(PresetName(), "Line A");

    // A Cancel after deleting the preset that was current leaves "Development", even when
    // another preset was picked since: closing must not save over that one.
    const Values lineC = WithValues(lineA, {{"GangMode", "1"}});
    preset_store::Write("Line C", lineC);
    OpenBrowser browser(*window);
    ASSERT_NE(browser.dialog, nullptr);
    Pick(browser.dialog, "Line A");
    ClickNow(browser.dialog, IDC_DELETE_SETUP);
    Pick(browser.dialog, "Line C");
    Click(browser.dialog, IDCANCEL);
    browser.send.Wait();
    EXPECT_EQ(PresetName(), "Development");
    EXPECT_FALSE(preset_store::Exists("Line A"));
    ASSERT_TRUE(window->Close());
    for (const auto& [name, text] : lineC)
    {
        EXPECT_EQ(Stored("Line C", name.c_str()), text) << name;
    }
}

TEST_F(PresetBrowserTest, LoadedLegacyModelTurnsTheLanguagePackOff)
{
    preset_store::Write("Line L", WithValues(lineA, {{"LanguagePackDownload", "1"}}));
    ChooseModel(window->thread->Window(), window->thread->Item(IDC_MOBILE_MODEL), "RT47");
    ClickNow(window->thread->Window(), IDC_LANGUAGE_PACK_BUTTON);
    OpenBrowser browser(*window);
    ASSERT_NE(browser.dialog, nullptr);
    Pick(browser.dialog, "Line L"); // stored with the language pack on, for an RT50
    Click(browser.dialog, IDOK);
    browser.send.Wait();
    int languagePack = -1;
    window->Run([&](TestDownloaderDlg& d) { languagePack = d.m_languagePackSelected; });
    EXPECT_EQ(languagePack, 0);
    EXPECT_EQ(Stored("Line L", "LanguagePackDownload"), "0");
}

TEST_F(PresetBrowserTest, PresetThatCannotBeReadIsNotSavedOver)
{
    Values unreadable = WithValues(lineB, {{"GangMode", "1"}});
    unreadable.erase(std::find_if(unreadable.begin(), unreadable.end(),
                                  [](const auto& value)
                                  { return value.first == "MainCodeDownload"; }));
    preset_store::Write("Line Z", unreadable);
    OpenBrowser browser(*window);
    ASSERT_NE(browser.dialog, nullptr);
    Pick(browser.dialog, "Line Z");
    Click(browser.dialog, IDOK);
    const SeenMessageBox box = AnswerMessageBox(OfThread(window->thread->Thread()), IDOK);
    browser.send.Wait();
    EXPECT_EQ(box.text, "Failed to read the Registry Settings. Close and Restart TervoloPLUS.");
    EXPECT_EQ(PresetName(), "Line Z");
    ASSERT_TRUE(window->Close()); // neither OK nor closing writes the defaults into it
    EXPECT_EQ(preset_store::ValueNames("Line Z").size(), unreadable.size());
    for (const auto& [name, text] : unreadable)
    {
        EXPECT_EQ(Stored("Line Z", name.c_str()), text) << name;
    }
}

TEST_F(PresetBrowserTest, NamePromptCancelledOrLeftEmptyChangesNothingAndOkWithoutAPickSaves)
{
    window->Run([](TestDownloaderDlg& d) { std::snprintf(d.m_presetName, 500, "Line A"); });
    SendMessageA(window->thread->Item(IDC_GANG_MODE), BM_SETCHECK, BST_CHECKED, 0);
    for (const int answer : {IDCANCEL, IDOK})
    {
        OpenBrowser browser(*window);
        ASSERT_NE(browser.dialog, nullptr);
        Click(browser.dialog, IDC_NEW_SETUP);
        HWND prompt = WaitForWindow(window->thread->Thread(), "New Preset Entry");
        ASSERT_NE(prompt, nullptr);
        Click(prompt, answer); // the name field left empty
        if (answer == IDOK)
        {
            const SeenMessageBox box = AnswerMessageBox(OfThread(window->thread->Thread()), IDOK);
            EXPECT_EQ(box.text, "No Preset name selected!");
            EXPECT_EQ(box.owner, browser.dialog);
        }
        while (IsWindow(prompt))
        {
            Sleep(10);
        }
        EXPECT_EQ(WindowText(browser.dialog), "Browsing Preset Entries");
        EXPECT_EQ(Lines(GetDlgItem(browser.dialog, IDC_PRESET_LIST)).size(), 3u);
        EXPECT_EQ(PresetName(), "Line A");
        Click(browser.dialog, answer); // OK without a pick: no load, the window saved as it is
        browser.send.Wait();
    }
    EXPECT_EQ(PresetName(), "Line A");
    EXPECT_EQ(Stored("Line A", "GangMode"), "1");
}
} // namespace

namespace
{
TEST(PresetBrowserEmptyStore, ListsNothingRefusesDeleteAndOkCreatesTheCurrentPreset)
{
    preset_store::Clear();
    std::thread answer([] { AnswerMessageBox(BoxFilter{}, IDOK); }); // the missing preset
    RunningMainWindow window(WindowStart{false, {}});
    answer.join();
    ASSERT_TRUE(window.thread->Started());
    OpenBrowser browser(window);
    ASSERT_NE(browser.dialog, nullptr);
    HWND list = GetDlgItem(browser.dialog, IDC_PRESET_LIST);
    EXPECT_EQ(ListBoxCount(list), 0);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
    Click(browser.dialog, IDC_DELETE_SETUP);
    const SeenMessageBox box = AnswerMessageBox(OfThread(window.thread->Thread()), IDOK);
    EXPECT_EQ(box.text, "No preset selected !");
    EXPECT_EQ(box.owner, browser.dialog);
    Click(browser.dialog, IDOK);
    browser.send.Wait();
    EXPECT_EQ(Stored("Development", "MainCodeDownload"), "1");
}

TEST(PresetListingTest, StopsAtAnyErrorButSkipsANameTooLong)
{
    DWORD calls = 0;
    const std::vector<std::string> names = CollectSubkeyNames(
        [&calls](DWORD index, std::string& name) -> LONG
        {
            ++calls;
            if (index == 1)
            {
                return ERROR_MORE_DATA;
            }
            if (index >= 3)
            {
                return ERROR_KEY_DELETED; // as at every index once the key is gone
            }
            name = "P" + std::to_string(index);
            return ERROR_SUCCESS;
        });
    EXPECT_EQ(names, (std::vector<std::string>{"P0", "P2"}));
    EXPECT_EQ(calls, 4u);
}

TEST(PresetRegistryTest, RefusedKeyIsReportedWithoutOwnerAndNothingIsWritten)
{
    preset_store::Clear();
    const std::string tooLong(300, 'k');
    SeenMessageBox box;
    std::thread answer([&] { box = AnswerMessageBox(BoxFilter{}, IDOK); });
    CPresetRegistry(tooLong.c_str()).WriteValue("GangMode", "1");
    answer.join();
    EXPECT_EQ(box.text, "Error creating key to Registry!");
    EXPECT_EQ(box.caption, "RuzUror");
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_TRUE(CPresetRegistry("Development").Presets().empty());
    EXPECT_EQ(CPresetRegistry("Development").DeletePreset("Nowhere"), 0);
}
} // namespace
