// Client of the handset simulator's control channel (tervolo-sim --control PORT), for the
// Windows tests: one TCP connection to 127.0.0.1, one command line at a time. The commands
// are described in sim/CONTROL.md.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The bytes of a hex text of the simulator's answers; empty when it is not hex.
std::vector<std::uint8_t> FromHex(const std::string& text);

// One line of TRANSCRIPT: a frame the PC sent, or bytes outside any frame.
struct SimTranscriptEntry
{
    std::uint64_t timeUs = 0; // since the simulator's RESET
    std::vector<std::uint8_t> bytes;
    bool garbage = false;
};

// The answer to LINE: what the PC has put on the line.
struct SimLineSettings
{
    unsigned long baudRate = 0;
    int dataBits = 0;
    std::string parity; // "none", "even", "odd", ...
    int stopBits = 0;
};

class SimClient
{
public:
    static constexpr unsigned kDefaultTimeoutMs = 30000;

    SimClient();
    ~SimClient();
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    // Connects to 127.0.0.1:port, trying again until the time is up (the simulator may
    // still be starting).
    bool Connect(unsigned short port, unsigned timeoutMs);
    void Disconnect();
    bool Connected() const { return m_socket != INVALID_SOCKET; }

    // Sends one command; returns all answer lines, the last one "OK..." or "ERR...".
    // Empty when the connection failed or the time ran out (LastError says which); after a
    // time-out the connection is closed, since a late answer would pass for the next one's,
    // so Connect again.
    std::vector<std::string> Command(const std::string& line,
                                     unsigned timeoutMs = kDefaultTimeoutMs);
    // The last line of the last answer, or why there was none.
    const std::string& LastError() const { return m_lastError; }

    // Commands whose answer is a plain OK: true on OK.
    bool Reset();
    bool Set(const std::string& field, const std::vector<std::uint8_t>& bytes);
    bool SetStr(const std::string& field, const std::string& text);
    bool SetNum(const std::string& field, unsigned long long value);
    bool Mode(const std::string& mode);   // "handset" or "raw"
    bool Fault(const std::string& fault); // the words after FAULT, e.g. "write_fail main 3 2"
    bool Pace(bool on);
    bool Send(const std::vector<std::uint8_t>& bytes);
    bool Unplug();
    bool Plug();

    // True once `count` frames with this letter have come since RESET.
    bool WaitFrame(char letter, unsigned count, unsigned timeoutMs);
    bool WaitBytes(unsigned count, unsigned timeoutMs);

    std::vector<std::uint8_t> Received();
    std::vector<SimTranscriptEntry> Transcript();
    // The section's flash image ("main" or "lp"), unwritten blocks 0xFF.
    std::vector<std::uint8_t> Flash(const std::string& section);
    bool Line(SimLineSettings& line);
    // key=value pairs of STATS and STATUS.
    std::map<std::string, std::string> Stats();
    std::map<std::string, std::string> Status();

private:
    bool CommandOk(const std::string& line, unsigned timeoutMs = kDefaultTimeoutMs);
    bool SendAll(const std::string& text, unsigned long long deadline);
    bool ReadLine(std::string& line, unsigned long long deadline);
    std::map<std::string, std::string> KeyValues(const std::string& command);

    SOCKET m_socket = INVALID_SOCKET;
    bool m_winsockStarted = false;
    std::string m_pending; // received, not yet split into lines
    std::string m_lastError;
};
