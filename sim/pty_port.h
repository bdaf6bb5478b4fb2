// The handset's end of the line: a pseudo-terminal whose slave side the PC opens as its COM
// port, published under a stable path by a symbolic link.
#pragma once

#include "sim/unique_fd.h"

#include <cstdint>
#include <string>
#include <vector>

struct termios;

namespace sim
{

// What the PC has put on the line.
struct LineSettings
{
    std::uint32_t baudRate = 0; // 0: a speed without a number
    int dataBits = 8;
    const char* parity = "none"; // "none", "even", "odd", "mark", "space"
    int stopBits = 1;
};

LineSettings DescribeTermios(const termios& settings);
std::string FormatLineSettings(const LineSettings& line); // "baud=19200 bits=8 ..."

class PtyPort
{
public:
    // Creates the pair: master non-blocking, slave kept open by us as well, so that the
    // master never sees a hang-up while the PC closes and reopens its side between rates.
    // The line starts raw, 8N1 at 19200 baud.
    bool Open(std::string& error);
    void Close(); // the PC's side fails from now on

    bool IsOpen() const { return static_cast<bool>(m_master); }
    int MasterFd() const { return m_master.Get(); }

    // Readable when the PC has opened or closed the slave; ReadEvents then tells what
    // happened since the last call, in order.
    enum class Event
    {
        Opened,
        Closed,
    };
    int WatchFd() const { return m_watch.Get(); }
    std::vector<Event> ReadEvents();
    const std::string& SlavePath() const { return m_slavePath; }

    bool ReadLineSettings(LineSettings& line) const;

    // Discards what waits in the terminal in either direction, so that nothing of an
    // earlier exchange reaches the PC's next open.
    void Flush();

private:
    UniqueFd m_master;
    UniqueFd m_slave;
    UniqueFd m_watch; // inotify on the slave's device node
    std::string m_slavePath;
};

// A symbolic link that names the current slave; replaced atomically, so that the PC never
// finds the path missing or half-made while a new terminal takes over.
class PortLink
{
public:
    PortLink() = default;
    ~PortLink() { Remove(); }
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    // Makes `path` point to `target`, creating missing folders.
    bool Publish(const std::string& path, const std::string& target, std::string& error);
    // Removes the link if it still points where we put it.
    void Remove();

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_target;
};

} // namespace sim
