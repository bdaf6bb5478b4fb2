// The console output of all ports: report lines as they come and, on a terminal, one live
// status line per port kept below them and rewritten in place. Every port's thread prints
// through one object; a lock keeps lines whole.
#pragma once

#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

class CConsole
{
public:
    // terminal: the stream is a terminal that understands the VT100 cursor controls.
    CConsole(std::FILE* stream, bool terminal, std::size_t slots, std::size_t width);

    bool Terminal() const { return m_terminal; }
    // One report line of port `slot` (prefixed with the port's tag when there are several).
    void Line(std::size_t slot, const std::string& text);
    // A failure of port `slot`'s channel: on standard error, whatever the report's stream is.
    void ErrorLine(std::size_t slot, const std::string& text);
    // The live status of port `slot`: rewritten in place on a terminal, dropped otherwise.
    void Status(std::size_t slot, const std::string& text);
    void SetTag(std::size_t slot, const std::string& tag);
    // Plain text after everything else (summary, results), below the status lines.
    void Text(const std::string& text);

private:
    void EraseStatus();
    void DrawStatus();
    std::string Fit(const std::string& text) const;

    std::mutex m_lock;
    std::FILE* m_stream;
    bool m_terminal;
    std::size_t m_width;
    std::vector<std::string> m_tags;   // "[ttyUSB0] " with several ports, else empty
    std::vector<std::string> m_status; // per slot
    bool m_statusShown = false;        // the status lines are on the screen below the cursor's row
};

// Whether this stream is a terminal; on Windows also turns on its VT100 processing, and says no
// when that is not available. width: its columns.
bool IsTerminal(std::FILE* stream, std::size_t& width);
