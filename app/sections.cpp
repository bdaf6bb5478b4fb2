// The section buttons of the main window: their pictures and file controls follow the section
// flags, and their clicks follow the section rules.
#include "app/downloader_dlg.h"

void CDownloaderDlg::SelectLanguagePack(bool on)
{
    if (on && IsExtendedModel())
    {
        m_languagePackButton.SetBitmap(m_languagePackOnBitmap.Get());
        m_languagePackFileBox.Enable(true);
        m_browseLanguagePackButton.Enable(true);
        m_languagePackSelected = 1;
    }
    else
    {
        m_languagePackButton.SetBitmap(m_languagePackOffBitmap.Get());
        m_languagePackFileBox.Enable(false);
        m_browseLanguagePackButton.Enable(false);
        m_languagePackSelected = 0;
    }
}

void CDownloaderDlg::SelectMainCode(bool on)
{
    m_mainCodeButton.SetBitmap(on ? m_mainCodeOnBitmap.Get() : m_mainCodeOffBitmap.Get());
    m_imageFileBox.Enable(on);
    m_browseImageButton.Enable(on);
    m_mainCodeSelected = on ? 1 : 0;
}

void CDownloaderDlg::SelectBootCode(bool on)
{
    m_bootCodeButton.SetBitmap(on ? m_bootCodeOnBitmap.Get() : m_bootCodeOffBitmap.Get());
    m_bootCodeSelected = on ? 1 : 0;
}

SectionFlags CDownloaderDlg::Sections() const
{
    SectionFlags flags;
    flags.bootCode = m_bootCodeSelected != 0;
    flags.mainCode = m_mainCodeSelected != 0;
    flags.languagePack = m_languagePackSelected != 0;
    return flags;
}

void CDownloaderDlg::ApplySections(SectionFlags flags)
{
    const SectionFlags now = Sections();
    if (flags.mainCode != now.mainCode)
    {
        SelectMainCode(flags.mainCode);
    }
    if (flags.bootCode != now.bootCode)
    {
        SelectBootCode(flags.bootCode);
    }
    if (flags.languagePack != now.languagePack)
    {
        SelectLanguagePack(flags.languagePack);
    }
}

bool CDownloaderDlg::SectionButtonsLocked() const
{
    // A locked preset fixes the sections, and a running download keeps the ones it started with.
    return m_startMode == StartModePreset || m_session.Running();
}

void CDownloaderDlg::OnLanguagePackButton()
{
    if (!SectionButtonsLocked())
    {
        ApplySections(AfterLanguagePackClick(Sections(), IsExtendedModel()));
    }
}

void CDownloaderDlg::OnMainCodeButton()
{
    if (!SectionButtonsLocked())
    {
        ApplySections(AfterMainCodeClick(Sections()));
    }
}

void CDownloaderDlg::OnBootCodeButton()
{
    if (!SectionButtonsLocked())
    {
        ApplySections(AfterBootCodeClick(Sections()));
    }
}

void CDownloaderDlg::TakeSelectedModel()
{
    const int index = m_modelList.GetCurSel();
    const int length = index >= 0 ? m_modelList.GetLBTextLen(index) : -1;
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof m_modelName)
    {
        m_modelList.GetLBText(index, m_modelName);
    }
}

void CDownloaderDlg::OnModelChange()
{
    TakeSelectedModel();
    if (!IsExtendedModel())
    {
        SelectLanguagePack(false);
    }
}

bool CDownloaderDlg::IsExtendedModel() const
{
    return ::IsExtendedModel(m_modelName);
}
