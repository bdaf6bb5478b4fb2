#include "cli/console.h"

namespace
{
const char kEraseLine[] = "\x1b[K";
} // namespace

CConsole::CConsole(std::FILE* stream, bool terminal, std::size_t slots, std::size_t width)
    : m_stream(stream), m_terminal(terminal), m_width(width), m_tags(slots), m_status(slots)
{
}

void CConsole::SetTag(std::size_t slot, const std::string& tag)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_tags.at(slot) = tag;
}

std::string CConsole::Fit(const std::string& text) const
{
    // A status line that wrapped would leave the cursor arithmetic one row out.
    return text.size() < m_width ? text : text.substr(0, m_width > 1 ? m_width - 1 : 0);
}

void CConsole::EraseStatus()
{
    if (m_statusShown)
    {
        std::fprintf(m_stream, "\x1b[%zuA\r", m_status.size());
    }
}

void CConsole::DrawStatus()
{
    for (const std::string& status : m_status)
    {
        std::fprintf(m_stream, "%s%s\n", Fit(status).c_str(), kEraseLine);
    }
    m_statusShown = true;
}

void CConsole::Line(std::size_t slot, const std::string& text)
{
    std::lock_guard<std::mutex> hold(m_lock);
    EraseStatus();
    std::fprintf(m_stream, "%s%s%s\n", m_tags.at(slot).c_str(), text.c_str(),
                 m_terminal ? kEraseLine : "");
    if (m_statusShown)
    {
        DrawStatus();
    }
    std::fflush(m_stream);
}

void CConsole::ErrorLine(std::size_t slot, const std::string& text)
{
    if (m_stream == stderr)
    {
        Line(slot, text);
        return;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    // Both streams may be the one terminal: the status lines make room and come back below.
    EraseStatus();
    std::fflush(m_stream);
    std::fprintf(stderr, "%s%s%s\n", m_tags.at(slot).c_str(), text.c_str(),
                 m_terminal ? kEraseLine : "");
    std::fflush(stderr);
    if (m_statusShown)
    {
        DrawStatus();
    }
    std::fflush(m_stream);
}

void CConsole::Status(std::size_t slot, const std::string& text)
{
    if (!m_terminal)
    {
        return;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_status.at(slot) = m_tags.at(slot) + text;
    EraseStatus();
    DrawStatus();
    std::fflush(m_stream);
}

void CConsole::Text(const std::string& text)
{
    std::lock_guard<std::mutex> hold(m_lock);
    std::fputs(text.c_str(), m_stream);
    std::fflush(m_stream);
}
