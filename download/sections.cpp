// The three sections a download can send, their picture buttons and their rules: the boot code
// never goes without the main code, and only models that take language packs get one.
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

bool CDownloaderDlg::SectionButtonsLocked() const
{
    // A locked preset fixes the sections, and a running download keeps the ones it started with.
    return m_startMode == StartModePreset || m_downloadRunning;
}

void CDownloaderDlg::OnLanguagePackButton()
{
    if (SectionButtonsLocked())
    {
        return;
    }
    SelectLanguagePack(m_languagePackSelected == 0);
}

void CDownloaderDlg::OnMainCodeButton()
{
    if (SectionButtonsLocked())
    {
        return;
    }
    if (m_mainCodeSelected != 0)
    {
        if (m_bootCodeSelected == 0)
        {
            SelectMainCode(false);
        }
    }
    else
    {
        SelectMainCode(true);
    }
}

void CDownloaderDlg::OnBootCodeButton()
{
    if (SectionButtonsLocked())
    {
        return;
    }
    if (m_bootCodeSelected != 0)
    {
        SelectBootCode(false);
        return;
    }
    if (m_mainCodeSelected == 0)
    {
        SelectMainCode(true);
    }
    SelectBootCode(true);
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
