// The section buttons driven by real clicks on the running main window: their pictures, the file
// controls that follow them, the model list and the locks. The click rules themselves are tested
// natively.
#include "res/resource.h"
#include "test_downloader_dlg.h"

#include <gtest/gtest.h>

namespace
{
struct Sections
{
    int boot, main, languagePack;
    bool bootPicture, mainPicture, languagePackPicture; // the "on" picture is shown
    bool imageControls, languagePackControls;           // box and Browse... enabled
};

class SectionsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(window.thread->Started()); }

    void Click(int id) { SendMessageA(window.thread->Item(id), BM_CLICK, 0, 0); }

    void ChooseModel(const char* model)
    {
        ::ChooseModel(window.thread->Window(), window.thread->Item(IDC_MOBILE_MODEL), model);
    }

    Sections State()
    {
        Sections s = {};
        window.Run(
            [&](TestDownloaderDlg& d)
            {
                auto shows = [&](int id, const CBitmap& picture)
                {
                    return reinterpret_cast<HBITMAP>(SendMessageA(
                               d.GetDlgItem(id), BM_GETIMAGE, IMAGE_BITMAP, 0)) == picture.Get();
                };
                s.boot = d.m_bootCodeSelected;
                s.main = d.m_mainCodeSelected;
                s.languagePack = d.m_languagePackSelected;
                s.bootPicture = shows(IDC_BOOT_CODE_BUTTON, d.m_bootCodeOnBitmap);
                s.mainPicture = shows(IDC_MAIN_CODE_BUTTON, d.m_mainCodeOnBitmap);
                s.languagePackPicture = shows(IDC_LANGUAGE_PACK_BUTTON, d.m_languagePackOnBitmap);
                // Off pictures must be shown when the section is off, not just "not the on one".
                if (!s.bootPicture)
                {
                    EXPECT_TRUE(shows(IDC_BOOT_CODE_BUTTON, d.m_bootCodeOffBitmap));
                }
                if (!s.mainPicture)
                {
                    EXPECT_TRUE(shows(IDC_MAIN_CODE_BUTTON, d.m_mainCodeOffBitmap));
                }
                if (!s.languagePackPicture)
                {
                    EXPECT_TRUE(shows(IDC_LANGUAGE_PACK_BUTTON, d.m_languagePackOffBitmap));
                }
                const bool imageBox = IsWindowEnabled(d.GetDlgItem(IDC_IMAGE_FILE)) != FALSE;
                const bool imageBrowse = IsWindowEnabled(d.GetDlgItem(IDC_BROWSE_IMAGE)) != FALSE;
                EXPECT_EQ(imageBox, imageBrowse);
                s.imageControls = imageBox;
                const bool lpBox = IsWindowEnabled(d.GetDlgItem(IDC_LANGUAGE_PACK_FILE)) != FALSE;
                const bool lpBrowse =
                    IsWindowEnabled(d.GetDlgItem(IDC_BROWSE_LANGUAGE_PACK)) != FALSE;
                EXPECT_EQ(lpBox, lpBrowse);
                s.languagePackControls = lpBox;
            });
        return s;
    }

    void ExpectSections(int boot, int main, int languagePack)
    {
        const Sections s = State();
        EXPECT_EQ(s.boot, boot);
        EXPECT_EQ(s.main, main);
        EXPECT_EQ(s.languagePack, languagePack);
        EXPECT_EQ(s.bootPicture, boot != 0);
        EXPECT_EQ(s.mainPicture, main != 0);
        EXPECT_EQ(s.languagePackPicture, languagePack != 0);
        EXPECT_EQ(s.imageControls, main != 0);
        EXPECT_EQ(s.languagePackControls, languagePack != 0);
    }

    RunningMainWindow window;
};

TEST_F(SectionsTest, BootCodeBringsTheMainCodeWithIt)
{
    Click(IDC_BOOT_CODE_BUTTON);
    ExpectSections(1, 1, 0);
}

TEST_F(SectionsTest, LanguagePackTogglesForAnExtendedModel)
{
    ChooseModel("RT37X");
    Click(IDC_LANGUAGE_PACK_BUTTON);
    ExpectSections(0, 0, 1);
    Click(IDC_LANGUAGE_PACK_BUTTON);
    ExpectSections(0, 0, 0);
}

// The first model of the list is shown from start-up on, and it takes no language pack.
TEST_F(SectionsTest, ModelShownAtStartUpRulesTheLanguagePack)
{
    Click(IDC_LANGUAGE_PACK_BUTTON);
    ExpectSections(0, 0, 0);
}

TEST_F(SectionsTest, ChoosingALegacyModelTurnsTheLanguagePackOffForGood)
{
    ChooseModel("RT47");
    Click(IDC_LANGUAGE_PACK_BUTTON);
    ExpectSections(0, 0, 1);
    ChooseModel("RT80");
    ExpectSections(0, 0, 0);
    std::string model;
    window.Run([&](TestDownloaderDlg& d) { model = d.m_modelName; });
    EXPECT_EQ(model, "RT80");
    // A model that takes language packs does not turn the section back on by itself.
    ChooseModel("RT47");
    ExpectSections(0, 0, 0);
    Click(IDC_LANGUAGE_PACK_BUTTON);
    ExpectSections(0, 0, 1);
}

TEST_F(SectionsTest, ButtonsAreInertDuringADownload)
{
    HeldDownload held(window); // turns the main code on
    ASSERT_TRUE(window.Running());
    Click(IDC_BOOT_CODE_BUTTON);
    Click(IDC_MAIN_CODE_BUTTON);
    Click(IDC_LANGUAGE_PACK_BUTTON);
    // The settings are locked meanwhile: only the sections and their pictures count.
    const Sections s = State();
    EXPECT_EQ(s.boot, 0);
    EXPECT_EQ(s.main, 1);
    EXPECT_EQ(s.languagePack, 0);
    EXPECT_FALSE(s.bootPicture);
    EXPECT_TRUE(s.mainPicture);
    EXPECT_FALSE(s.languagePackPicture);
    Click(IDC_START_DOWNLOAD);
    EXPECT_FALSE(window.Running());
}

TEST_F(SectionsTest, ButtonsAreInertWithALockedPreset)
{
    window.Run([](TestDownloaderDlg& d) { d.m_startMode = StartModePreset; });
    Click(IDC_BOOT_CODE_BUTTON);
    Click(IDC_LANGUAGE_PACK_BUTTON);
    ExpectSections(0, 0, 0);
}
} // namespace
