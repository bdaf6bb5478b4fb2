// The block senders: one data-block frame per call, with the progress it shows. The frame
// buffer m_blockFrame serves every block, and each block is read once from its file.
#include "app/downloader_dlg.h"

#include "download/progress_text.h"
#include "download/release_file.h"

#include <algorithm>

namespace
{
constexpr std::size_t kFrameHeaderSize = kBlockFrameSize - kBlockDataSize;
}

bool CDownloaderDlg::SendMainBlock(HANDLE port, std::uint32_t block)
{
    FillBlockHeader(m_blockFrame, block, Section::MainCode);

    switch (RegionOfImageBlock(block, m_mainBlockCount))
    {
    case ImageRegion::Boot:
        m_bootCodeProgress.SetPos(static_cast<int>(block));
        ReplacePercent(m_bootCodePercent, BootPercentText(block).c_str());
        break;
    case ImageRegion::Main:
        m_mainCodeProgress.SetPos(static_cast<int>(block));
        ReplacePercent(m_mainCodePercent, MainPercentText(block, m_mainBlockCount).c_str());
        break;
    case ImageRegion::Invalid:
        ShowMessageBox("Invalid Block Number!");
        break;
    }
    ShowSendingBlock(block, m_mainBlockCount);

    // An image byte that cannot be read counts as blank, like one past the end of the file.
    std::uint8_t* data = m_blockFrame + kFrameHeaderSize;
    if (m_imageFile != nullptr)
    {
        ReadReleaseBlock(m_imageFile.get(), block, data);
    }
    else
    {
        std::fill(data, data + kBlockDataSize, kBlankByte);
    }
    if (IsBlankBlock(data))
    {
        return false;
    }
    WriteBlockFrame(port);
    return true;
}

bool CDownloaderDlg::SendLpBlock(HANDLE port, std::uint32_t block)
{
    FillBlockHeader(m_blockFrame, block, Section::LanguagePack);

    if (IsLanguagePackBlock(block, m_lpBlockCount))
    {
        m_languagePackProgress.SetPos(static_cast<int>(block));
        ReplacePercent(m_languagePackPercent,
                       LanguagePackPercentText(block, m_lpBlockCount).c_str());
    }
    else
    {
        ShowMessageBox("Invalid Block Number!");
    }
    ShowSendingBlock(block, m_lpBlockCount);

    std::uint8_t* data = m_blockFrame + kFrameHeaderSize;
    const std::size_t read =
        m_lpFile != nullptr ? ReadReleaseBlock(m_lpFile.get(), block, data) : 0;
    if (read != kBlockDataSize)
    {
        ShowMessageBox("Error reading LP");
        m_engine.Abort();
        // true: the engine must not go on to another block of the ended download.
        return true;
    }
    if (IsBlankBlock(data))
    {
        return false;
    }
    WriteBlockFrame(port);
    return true;
}

void CDownloaderDlg::ReplacePercent(CListBoxCtl& box, const char* text)
{
    box.DeleteString(0);
    box.AddString(text);
}

void CDownloaderDlg::ShowSendingBlock(std::uint32_t block, std::uint32_t blockCount)
{
    // One "Sending Block" line, rewritten for every block; block 0 starts it.
    if (block != 0)
    {
        m_reportList.DeleteString(m_reportList.GetCount() - 1);
    }
    AddReportLine(SendingBlockText(block, blockCount).c_str());
}

void CDownloaderDlg::WriteBlockFrame(HANDLE port)
{
    DWORD written = 0;
    WriteFile(port, m_blockFrame, static_cast<DWORD>(kBlockFrameSize), &written, nullptr);
    if (written != kBlockFrameSize)
    {
        ShowMessageBox("Error writing block to COM Port!");
    }
}
