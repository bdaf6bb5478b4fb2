// A port's answers to the engine: block senders, writes, questions and the download's
// milestones.
#include "runner/port_session.h"

#include "download/progress_text.h"
#include "files/release_file.h"

#include <algorithm>

namespace
{
constexpr std::size_t kFrameHeaderSize = kBlockFrameSize - kBlockDataSize;
} // namespace

bool CPortSession::SendBlock(Section section, std::uint32_t block)
{
    std::uint8_t* const frame = m_frame.data();
    FillBlockHeader(frame, block, section);
    std::uint8_t* const data = frame + kFrameHeaderSize;
    const bool languagePack = section == Section::LanguagePack;
    const std::uint32_t blockCount =
        languagePack ? m_job.setup.lpBlockCount : m_job.setup.mainBlockCount;
    const BlockProgress progress = ProgressOfBlock(section, block, blockCount);
    if (!progress.inFile)
    {
        ShowMessage("Invalid Block Number!");
    }
    m_sendingLine = progress.sendingLine.c_str();
    const std::uint32_t mainCount = m_job.setup.mainCode ? m_job.setup.mainBlockCount : 0;
    m_block.section = section;
    m_block.block = block;
    m_block.blockCount = blockCount;
    m_block.blocksDone = (languagePack ? std::uint64_t{mainCount} : 0) + block + 1;
    m_block.blocksTotal =
        std::uint64_t{mainCount} + (m_job.setup.languagePack ? m_job.setup.lpBlockCount : 0);
    NoteBlock(BlockEvent::Stage::Ahead);
    if (!ReadBlock(section, block, data))
    {
        PlainLine(m_sendingLine);
        ShowMessage("Error reading LP");
        m_record.SetReason("Error reading LP");
        m_engine.Abort();
        // true: the engine must not go on to another block of the ended download.
        return true;
    }
    NoteBlock(BlockEvent::Stage::Read);
    if (IsBlankBlock(data))
    {
        NoteBlock(BlockEvent::Stage::Skipped);
        return false;
    }
    WriteBlockFrame();
    return true;
}

void CPortSession::NoteBlock(BlockEvent::Stage stage)
{
    m_block.stage = stage;
    m_block.transfer = m_record.Transfer();
    m_observer.BlockProgressed(m_block);
}

bool CPortSession::ReadBlock(Section section, std::uint32_t block, std::uint8_t* data) const
{
    if (section == Section::LanguagePack)
    {
        return (m_job.lp != nullptr ? m_job.lp->ReadBlock(block, data) : 0) == kBlockDataSize;
    }
    // Bytes past the end of the image are blank, as in the window.
    if (m_job.image != nullptr)
    {
        m_job.image->ReadBlock(block, data);
    }
    else
    {
        std::fill(data, data + kBlockDataSize, kBlankByte);
    }
    return true;
}

void CPortSession::WriteBlockFrame()
{
    if (!m_loop.Writable())
    {
        return; // the stop request is handled as soon as the engine returns
    }
    m_record.BlockGoingOut();
    const std::size_t written = m_loop.Write(m_frame.data(), kBlockFrameSize);
    m_record.BlockWritten();
    if (written != kBlockFrameSize)
    {
        ShowMessage("Error writing block to COM Port!");
    }
    NoteBlock(BlockEvent::Stage::Sent);
}

void CPortSession::WritePort(const std::uint8_t* bytes, std::size_t count)
{
    // After a stop request nothing more goes to the handset.
    m_loop.Write(bytes, count);
}

void CPortSession::WriteSignal(const std::uint8_t* bytes, std::size_t count)
{
    m_loop.WriteSignal(bytes, count);
}

std::uint16_t CPortSession::SectionCrc(Section section)
{
    const std::shared_ptr<const CReleaseImage>& file =
        section == Section::MainCode ? m_job.image : m_job.lp;
    return file != nullptr ? file->Crc() : 0;
}

void CPortSession::HandsetIdentified(const ParameterRecord& record)
{
    m_record.HandsetIdentified(record);
    m_observer.HandsetIdentified(m_record.ProductId(), m_record.MobileId());
}

void CPortSession::Concluded(DownloadVerdict verdict)
{
    // The line before the abort's says what went wrong, unless the host already knows better.
    m_record.Concluded(verdict, m_lastLine);
}

bool CPortSession::AskOkCancel(const char* text)
{
    // The gang prompt: nobody is there to press OK, so Gang Mode goes on.
    Line(std::string(text) + " OK (Gang Mode)");
    return true;
}

bool CPortSession::AskYesNo(const char* text)
{
    if (m_job.yes)
    {
        Line(std::string(text) + " Yes (--yes)");
        return true;
    }
    Line(std::string(text) + " No (--yes answers Yes)");
    m_record.SetReason(std::string(text) + " No", FailureClass::ModelMismatch);
    return false;
}

void CPortSession::Pause(unsigned milliseconds)
{
    // A stop request cuts the pause short; nothing is written after it.
    m_loop.WaitForStop(std::chrono::milliseconds(milliseconds));
}
