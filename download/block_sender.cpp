// The block senders: one data-block frame per call, with the progress it shows. The frame
// buffer m_blockFrame serves every block, and each block is read once from its file.
#include "download/download_session.h"

#include "download/progress_text.h"
#include "files/release_file.h"

#include <algorithm>

namespace
{
constexpr std::size_t kFrameHeaderSize = kBlockFrameSize - kBlockDataSize;
}

bool CDownloadSession::SendMainBlock(std::uint32_t block)
{
    FillBlockHeader(m_blockFrame, block, Section::MainCode);
    ShowBlockProgress(Section::MainCode, block, m_mainBlockCount);

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
    WriteBlockFrame();
    return true;
}

bool CDownloadSession::SendLpBlock(std::uint32_t block)
{
    FillBlockHeader(m_blockFrame, block, Section::LanguagePack);
    ShowBlockProgress(Section::LanguagePack, block, m_lpBlockCount);

    std::uint8_t* data = m_blockFrame + kFrameHeaderSize;
    const std::size_t read =
        m_lpFile != nullptr ? ReadReleaseBlock(m_lpFile.get(), block, data) : 0;
    if (read != kBlockDataSize)
    {
        ShowMessage("Error reading LP");
        m_engine.Abort();
        // true: the engine must not go on to another block of the ended download.
        return true;
    }
    if (IsBlankBlock(data))
    {
        return false;
    }
    WriteBlockFrame();
    return true;
}

void CDownloadSession::ShowBlockProgress(Section section, std::uint32_t block,
                                         std::uint32_t blockCount)
{
    const BlockProgress progress = ProgressOfBlock(section, block, blockCount);
    if (progress.inFile)
    {
        m_view.SetProgress(progress.bar, static_cast<int>(block));
        m_view.ShowPercent(progress.bar, progress.percent.c_str());
    }
    else
    {
        ShowMessage("Invalid Block Number!");
    }
    // One "Sending Block" line, rewritten for every block; block 0 starts it.
    if (block != 0)
    {
        m_view.ReplaceLastReportLine(progress.sendingLine.c_str());
    }
    else
    {
        AddReportLine(progress.sendingLine.c_str());
    }
}

void CDownloadSession::WriteBlockFrame()
{
    const std::size_t written =
        m_channel != nullptr ? m_channel->Write(m_blockFrame, kBlockFrameSize) : 0;
    if (written != kBlockFrameSize)
    {
        ShowMessage("Error writing block to COM Port!");
    }
}
