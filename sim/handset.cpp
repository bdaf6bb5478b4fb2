#include "sim/handset.h"

#include <algorithm>
#include <cstdio>

namespace sim
{
namespace
{

std::vector<std::uint8_t> Answer(std::uint8_t letter)
{
    return {kAnswerStart, letter};
}

std::string Hex16(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof(text), "0x%04X", value & 0xFFFFu);
    return text;
}

void AppendFigure(std::vector<std::uint8_t>& bytes, std::uint16_t figure)
{
    bytes.push_back(static_cast<std::uint8_t>(figure >> 8)); // high byte first
    bytes.push_back(static_cast<std::uint8_t>(figure & 0xFF));
}

} // namespace

Handset::Handset(const HandsetRecord& record) : m_record(record) {}

void Handset::Reset(const HandsetRecord& record)
{
    m_record = record;
    m_faults.Clear();
    m_mainFlash = FlashImage();
    m_lpFlash = FlashImage();
    m_mode = HandsetMode::Handset;
    m_lastEraseLetter = 0;
    m_splitGapMs = kDefaultSplitGapMs;
    Replug();
}

void Handset::Replug()
{
    m_lineRate = kSignallingBaudRate;
    m_downloadTypeCode = 0;
}

FlashImage& Handset::Flash(Section section)
{
    return section == Section::Main ? m_mainFlash : m_lpFlash;
}

const FlashImage& Handset::Flash(Section section) const
{
    return section == Section::Main ? m_mainFlash : m_lpFlash;
}

Reply Handset::OnFrame(const std::vector<std::uint8_t>& frame)
{
    if (m_mode == HandsetMode::Raw)
    {
        Reply silent;
        silent.note = "raw mode: no answer";
        return silent;
    }
    std::string note;
    Step step;
    std::vector<std::uint8_t> answer;
    switch (frame[1])
    {
    case kSignalLetter:
        step.kind = StepKind::Signal;
        answer = Answer(kSignalLetter);
        break;
    case kProtocolChangeLetter:
        step.kind = StepKind::Param;
        answer = AnswerToProtocolChange(frame, note);
        break;
    case kEraseLetter:
    case kLegacyEraseLetter:
        step.kind = StepKind::Erase;
        answer = AnswerToErase(frame[1], note);
        break;
    case kOverrideLetter:
        step.kind = StepKind::Override;
        answer = Answer(kOverrideLetter);
        break;
    case kBlockLetter:
        step.kind = StepKind::Block;
        answer = AnswerToBlock(frame, step, note);
        break;
    case kChecksumLetter:
        step.kind = StepKind::Checksum;
        answer = AnswerToChecksum(frame, note);
        break;
    default:
        Reply unknown;
        unknown.note = "unknown command";
        return unknown;
    }
    Reply reply = Shape(step, std::move(answer), std::move(note));
    reply.afterRateChange = step.kind == StepKind::Param;
    return reply;
}

std::vector<std::uint8_t> Handset::AnswerToProtocolChange(const std::vector<std::uint8_t>& frame,
                                                          std::string& note)
{
    const std::uint32_t rate = BaudRateOfDigit(frame[2]);
    m_downloadTypeCode = frame[3];
    if (rate != 0)
    {
        m_lineRate = rate;
        note = "line now " + std::to_string(rate) + " baud";
    }
    else
    {
        note = "unknown baud digit, line stays at " + std::to_string(m_lineRate) + " baud";
    }
    note += ", DownloadTypeCode " + std::to_string(m_downloadTypeCode);
    note += CodeNamesMain(m_downloadTypeCode) ? " (main" : " (";
    note += CodeNamesLanguagePack(m_downloadTypeCode)
                ? (CodeNamesMain(m_downloadTypeCode) ? " + lp)" : "lp)")
                : ")";

    std::vector<std::uint8_t> answer;
    if (m_faults.StraySignalAnswer())
    {
        answer = Answer(kSignalLetter);
    }
    answer.insert(answer.end(), m_record.Bytes().begin(), m_record.Bytes().end());
    return answer;
}

std::vector<std::uint8_t> Handset::AnswerToErase(std::uint8_t letter, std::string& note)
{
    m_lastEraseLetter = letter;
    if (m_faults.TakeEraseFailure())
    {
        note = "erase failure";
        return Answer(kEraseFailedLetter);
    }
    note = "erased";
    if (CodeNamesMain(m_downloadTypeCode))
    {
        m_mainFlash.Erase();
        note += " main";
    }
    if (CodeNamesLanguagePack(m_downloadTypeCode))
    {
        m_lpFlash.Erase();
        note += " lp";
    }
    return Answer(kEraseLetter);
}

std::vector<std::uint8_t> Handset::AnswerToBlock(const std::vector<std::uint8_t>& frame, Step& step,
                                                 std::string& note)
{
    const std::uint8_t high = frame[2];
    step.section = (high & kLanguagePackBlockFlag) ? Section::LanguagePack : Section::Main;
    step.block =
        (static_cast<std::uint32_t>(high & ~kLanguagePackBlockFlag & 0xFF) << 8) | frame[3];
    note = std::string(SectionName(step.section)) + " block " + std::to_string(step.block);

    FlashImage& flash = Flash(step.section);
    flash.NoteBlock(step.block);
    if (m_faults.TakeWriteFailure(step.section, step.block))
    {
        note += ": write failure";
        return Answer(kWriteFailedLetter);
    }
    flash.Store(step.block, &frame[4]);
    return Answer(kBlockLetter);
}

std::vector<std::uint8_t> Handset::AnswerToChecksum(const std::vector<std::uint8_t>& frame,
                                                    std::string& note)
{
    const unsigned pcMain = (frame[2] << 8) | frame[3];
    const unsigned pcLp = (frame[4] << 8) | frame[5];
    const std::uint16_t ownMain = m_mainFlash.Crc();
    const std::uint16_t ownLp = m_lpFlash.Crc();
    const bool mainCompared = CodeNamesMain(m_downloadTypeCode);
    const bool lpCompared = CodeNamesLanguagePack(m_downloadTypeCode);
    const bool good = (!mainCompared || pcMain == ownMain) && (!lpCompared || pcLp == ownLp) &&
                      !m_faults.ChecksumAlwaysBad();

    note = "PC main " + Hex16(pcMain) + " lp " + Hex16(pcLp) + "; MS main " + Hex16(ownMain) +
           " over " + std::to_string(m_mainFlash.ImageBlocks()) + " blocks" +
           (mainCompared ? "" : " (not compared)") + ", lp " + Hex16(ownLp) + " over " +
           std::to_string(m_lpFlash.ImageBlocks()) + " blocks" +
           (lpCompared ? "" : " (not compared)") + (good ? ": good" : ": BAD");

    std::vector<std::uint8_t> answer = Answer(good ? kChecksumLetter : kChecksumBadLetter);
    AppendFigure(answer, ownMain);
    if (m_record.IsExtendedFamily())
    {
        AppendFigure(answer, ownLp);
    }
    return answer;
}

Reply Handset::Shape(const Step& step, std::vector<std::uint8_t> answer, std::string note)
{
    Reply reply;
    const bool acknowledged =
        step.kind == StepKind::Block && answer.size() == 2 && answer[1] == kBlockLetter;
    const AnswerShape shape = m_faults.TakeAnswerShape(step);
    if (shape.silent)
    {
        reply.note = note + (note.empty() ? "" : "; ") + "silent";
        return reply;
    }
    if (shape.replaced)
    {
        answer = shape.replacement;
        note += std::string(note.empty() ? "" : "; ") + "garbage answer";
    }
    else
    {
        reply.blockAcknowledged = acknowledged;
    }

    std::size_t offset = 0;
    std::uint32_t wait = shape.delayMs;
    for (std::size_t size : shape.splitSizes)
    {
        if (offset >= answer.size())
        {
            break;
        }
        const std::size_t end = std::min(answer.size(), offset + size);
        reply.pieces.push_back({wait, {answer.begin() + offset, answer.begin() + end}});
        offset = end;
        wait = m_splitGapMs;
    }
    if (offset < answer.size())
    {
        reply.pieces.push_back({wait, {answer.begin() + offset, answer.end()}});
    }
    reply.note = std::move(note);
    return reply;
}

} // namespace sim
