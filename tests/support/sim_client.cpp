#include "sim_client.h"

#include "sim/hex_text.h"

#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace
{

constexpr unsigned kRetryPauseMs = 100;
constexpr std::size_t kBlockSize = 1024;
constexpr std::size_t kReceiveSize = 65536;

unsigned long long Deadline(unsigned timeoutMs)
{
    return GetTickCount64() + timeoutMs;
}

// Milliseconds left, as select wants them.
timeval TimeLeft(unsigned long long deadline)
{
    const unsigned long long now = GetTickCount64();
    const unsigned long long left = deadline > now ? deadline - now : 0;
    timeval time;
    time.tv_sec = static_cast<long>(left / 1000);
    time.tv_usec = static_cast<long>((left % 1000) * 1000);
    return time;
}

bool WaitReady(SOCKET socket, bool forWrite, unsigned long long deadline)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval time = TimeLeft(deadline);
    return select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &time) > 0;
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::string(prefix).size(), prefix) == 0;
}

bool IsFinalLine(const std::string& line)
{
    return StartsWith(line, "OK") || StartsWith(line, "ERR");
}

// "WORD <number> <hex>" into its number and bytes.
bool SplitNumberAndHex(const std::string& line, unsigned long long& number,
                       std::vector<std::uint8_t>& bytes)
{
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    if (second == std::string::npos)
    {
        return false;
    }
    number = std::strtoull(line.c_str() + first + 1, nullptr, 10);
    bytes = FromHex(line.substr(second + 1));
    return true;
}

} // namespace

std::vector<std::uint8_t> FromHex(const std::string& text)
{
    std::vector<std::uint8_t> bytes;
    sim::ParseHex(text, bytes);
    return bytes;
}

SimClient::SimClient()
{
    WSADATA data;
    m_winsockStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

SimClient::~SimClient()
{
    Disconnect();
    if (m_winsockStarted)
    {
        WSACleanup();
    }
}

bool SimClient::Connect(unsigned short port, unsigned timeoutMs)
{
    Disconnect();
    const unsigned long long deadline = Deadline(timeoutMs);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (;;)
    {
        SOCKET candidate = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (candidate == INVALID_SOCKET)
        {
            m_lastError = "socket failed";
            return false;
        }
        u_long nonBlocking = 1;
        ioctlsocket(candidate, FIONBIO, &nonBlocking);
        connect(candidate, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        int error = 0;
        int length = sizeof(error);
        if (WaitReady(candidate, true, deadline) &&
            getsockopt(candidate, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) ==
                0 &&
            error == 0)
        {
            u_long blocking = 0;
            ioctlsocket(candidate, FIONBIO, &blocking);
            BOOL noDelay = TRUE;
            setsockopt(candidate, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                       sizeof(noDelay));
            m_socket = candidate;
            m_pending.clear();
            return true;
        }
        closesocket(candidate);
        if (GetTickCount64() >= deadline)
        {
            m_lastError = "cannot connect to 127.0.0.1:" + std::to_string(port);
            return false;
        }
        Sleep(kRetryPauseMs);
    }
}

void SimClient::Disconnect()
{
    if (m_socket != INVALID_SOCKET)
    {
        closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
    m_pending.clear();
}

std::vector<std::string> SimClient::Command(const std::string& line, unsigned timeoutMs)
{
    std::vector<std::string> lines;
    if (m_socket == INVALID_SOCKET)
    {
        m_lastError = "not connected";
        return lines;
    }
    if (line.find_first_of("\r\n") != std::string::npos)
    {
        m_lastError = "a command is one line";
        return lines;
    }
    const unsigned long long deadline = Deadline(timeoutMs);
    if (!SendAll(line + "\n", deadline))
    {
        return lines;
    }
    std::string answer;
    while (ReadLine(answer, deadline))
    {
        lines.push_back(answer);
        if (IsFinalLine(answer))
        {
            m_lastError = answer;
            return lines;
        }
    }
    // A late answer would be taken for the next command's: start afresh.
    Disconnect();
    lines.clear();
    return lines;
}

bool SimClient::SendAll(const std::string& text, unsigned long long deadline)
{
    std::size_t sent = 0;
    while (sent < text.size())
    {
        if (!WaitReady(m_socket, true, deadline))
        {
            m_lastError = "time-out sending the command";
            return false;
        }
        const int count =
            send(m_socket, text.data() + sent, static_cast<int>(text.size() - sent), 0);
        if (count <= 0)
        {
            m_lastError = "connection lost";
            Disconnect();
            return false;
        }
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

bool SimClient::ReadLine(std::string& line, unsigned long long deadline)
{
    for (;;)
    {
        const std::size_t end = m_pending.find('\n');
        if (end != std::string::npos)
        {
            line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
            {
                line.pop_back();
            }
            return true;
        }
        if (!WaitReady(m_socket, false, deadline))
        {
            m_lastError = "time-out waiting for the answer";
            return false;
        }
        char buffer[kReceiveSize];
        const int count = recv(m_socket, buffer, static_cast<int>(sizeof(buffer)), 0);
        if (count <= 0)
        {
            m_lastError = "connection lost";
            return false;
        }
        m_pending.append(buffer, static_cast<std::size_t>(count));
    }
}

bool SimClient::CommandOk(const std::string& line, unsigned timeoutMs)
{
    const std::vector<std::string> lines = Command(line, timeoutMs);
    return !lines.empty() && StartsWith(lines.back(), "OK");
}

bool SimClient::Reset()
{
    return CommandOk("RESET");
}

bool SimClient::Set(const std::string& field, const std::vector<std::uint8_t>& bytes)
{
    return CommandOk("SET " + field + " " + sim::ToHex(bytes));
}

bool SimClient::SetStr(const std::string& field, const std::string& text)
{
    return CommandOk("SETSTR " + field + " " + text);
}

bool SimClient::SetNum(const std::string& field, unsigned long long value)
{
    return CommandOk("SETNUM " + field + " " + std::to_string(value));
}

bool SimClient::Mode(const std::string& mode)
{
    return CommandOk("MODE " + mode);
}

bool SimClient::Fault(const std::string& fault)
{
    return CommandOk("FAULT " + fault);
}

bool SimClient::Pace(bool on)
{
    return CommandOk(on ? "PACE on" : "PACE off");
}

bool SimClient::Send(const std::vector<std::uint8_t>& bytes)
{
    return CommandOk("SEND " + sim::ToHex(bytes));
}

bool SimClient::Unplug()
{
    return CommandOk("UNPLUG");
}

bool SimClient::Plug()
{
    return CommandOk("PLUG");
}

bool SimClient::WaitFrame(char letter, unsigned count, unsigned timeoutMs)
{
    // The simulator answers by itself when its time is up; allow for the round trip.
    return CommandOk("WAITFRAME " + std::string(1, letter) + " " + std::to_string(count) + " " +
                         std::to_string(timeoutMs),
                     timeoutMs + kDefaultTimeoutMs);
}

bool SimClient::WaitBytes(unsigned count, unsigned timeoutMs)
{
    return CommandOk("WAITBYTES " + std::to_string(count) + " " + std::to_string(timeoutMs),
                     timeoutMs + kDefaultTimeoutMs);
}

std::vector<std::uint8_t> SimClient::Received()
{
    const std::vector<std::string> lines = Command("RECEIVED");
    if (lines.empty() || !StartsWith(lines.back(), "OK"))
    {
        return {};
    }
    const std::string& answer = lines.back();
    return answer.size() > 3 ? FromHex(answer.substr(3)) : std::vector<std::uint8_t>();
}

std::vector<SimTranscriptEntry> SimClient::Transcript()
{
    std::vector<SimTranscriptEntry> entries;
    for (const std::string& line : Command("TRANSCRIPT"))
    {
        const bool frame = StartsWith(line, "FRAME ");
        if (!frame && !StartsWith(line, "GARBAGE "))
        {
            continue;
        }
        SimTranscriptEntry entry;
        unsigned long long time = 0;
        if (SplitNumberAndHex(line, time, entry.bytes))
        {
            entry.timeUs = time;
            entry.garbage = !frame;
            entries.push_back(entry);
        }
    }
    return entries;
}

std::vector<std::uint8_t> SimClient::Flash(const std::string& section)
{
    const std::vector<std::string> lines = Command("FLASH " + section);
    if (lines.empty() || !StartsWith(lines.back(), "OK "))
    {
        return {};
    }
    const unsigned long long blocks = std::strtoull(lines.back().c_str() + 3, nullptr, 10);
    std::vector<std::uint8_t> image(static_cast<std::size_t>(blocks) * kBlockSize, 0xFF);
    for (const std::string& line : lines)
    {
        unsigned long long block = 0;
        std::vector<std::uint8_t> data;
        if (StartsWith(line, "BLOCK ") && SplitNumberAndHex(line, block, data) && block < blocks &&
            data.size() == kBlockSize)
        {
            std::copy(data.begin(), data.end(),
                      image.begin() + static_cast<std::ptrdiff_t>(block * kBlockSize));
        }
    }
    return image;
}

bool SimClient::Line(SimLineSettings& line)
{
    std::map<std::string, std::string> values = KeyValues("LINE");
    if (values.empty())
    {
        return false;
    }
    line.baudRate = std::strtoul(values["baud"].c_str(), nullptr, 10);
    line.dataBits = std::atoi(values["bits"].c_str());
    line.parity = values["parity"];
    line.stopBits = std::atoi(values["stop"].c_str());
    return true;
}

std::map<std::string, std::string> SimClient::Stats()
{
    return KeyValues("STATS");
}

std::map<std::string, std::string> SimClient::Status()
{
    return KeyValues("STATUS");
}

std::map<std::string, std::string> SimClient::KeyValues(const std::string& command)
{
    std::map<std::string, std::string> values;
    const std::vector<std::string> lines = Command(command);
    if (lines.empty() || !StartsWith(lines.back(), "OK"))
    {
        return values;
    }
    const std::string& text = lines.back();
    std::size_t position = 2;
    while (position < text.size())
    {
        const std::size_t start = text.find_first_not_of(' ', position);
        if (start == std::string::npos)
        {
            break;
        }
        const std::size_t equals = text.find('=', start);
        if (equals == std::string::npos)
        {
            break;
        }
        std::size_t end = 0;
        std::string value;
        if (equals + 1 < text.size() && text[equals + 1] == '"') // a value with blanks
        {
            end = text.find('"', equals + 2);
            end = end == std::string::npos ? text.size() : end + 1;
            value = text.substr(equals + 2, end - equals - 3);
        }
        else
        {
            end = text.find(' ', equals);
            end = end == std::string::npos ? text.size() : end;
            value = text.substr(equals + 1, end - equals - 1);
        }
        values[text.substr(start, equals - start)] = value;
        position = end;
    }
    return values;
}
