#include "wire_handset.h"

#include <chrono>

void WireHandset::With(const std::function<void(sim::Handset&)>& change)
{
    std::lock_guard<std::mutex> hold(m_lock);
    change(m_handset);
}

std::size_t WireHandset::MisheardBytes()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_misheard;
}

void WireHandset::OnBytesFromPc(const Bytes& bytes, DWORD pcBaudRate)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (pcBaudRate != m_handset.LineRate())
    {
        m_misheard += bytes.size();
        return;
    }
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto nowUs = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    for (const sim::ReceivedRecord& record :
         m_frames.Feed(bytes.data(), bytes.size(), static_cast<std::uint64_t>(nowUs)))
    {
        if (record.kind != sim::RecordKind::Frame)
            continue;
        const sim::Reply reply = m_handset.OnFrame(record.bytes);
        if (reply.afterRateChange)
            m_held = reply.pieces;
        else
            Answer(reply.pieces);
    }
}

void WireHandset::OnLineSet(DWORD pcBaudRate)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_held.empty() && pcBaudRate == m_handset.LineRate())
    {
        Answer(m_held);
        m_held.clear();
    }
}

void WireHandset::Answer(const std::vector<sim::AnswerPiece>& pieces)
{
    DWORD afterMs = 0;
    for (const sim::AnswerPiece& piece : pieces)
    {
        afterMs += piece.waitMs;
        m_driver.Arrive(piece.bytes, 0, afterMs);
    }
}
