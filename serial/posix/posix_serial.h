// The serial channel on POSIX systems: one terminal device at one baud rate, 8N1, raw, held
// exclusively, DTR and RTS off, with a reader thread that sleeps in poll() until bytes arrive or
// the owner stops it through a pipe of its own. Writes wait for the line under a bound and give
// up at a stop request.
#pragma once

#include "serial/receive_buffer.h"
#include "serial/serial_channel.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

namespace serial
{

// Whether termios knows this rate as one of the four line rates of a download.
bool IsSupportedBaudRate(std::uint32_t baudRate);

// How long `count` bytes may take to leave at `baudRate` before the write counts as failed: twice
// their time on the wire (8N1: ten bits a byte) plus a second, for a device that stops taking
// data.
std::chrono::milliseconds WriteBound(std::size_t count, std::uint32_t baudRate);

// Threads: "owner" constructs, writes, purges and closes; "reader" is the thread started at the
// open. The owner sets the reader's fields before the reader starts and touches them again only
// after it has joined the reader.
class CPosixSerial : public SerialChannel
{
public:
    // Creates the debug log `logPath` (emptied; none when empty), opens the device exclusively
    // (TIOCEXCL against other openers, flock against other programs that lock, root included),
    // sets the line and starts the reader, which hands every read to `sink` and writes its bytes
    // to the log. Failures go to `report` with the caption "CSerialIO" and leave an object that
    // is not IsOpen(), on which the other calls are harmless.
    CPosixSerial(const std::string& path, std::uint32_t baudRate, ChunkSink& sink,
                 FailureReport& report, const std::string& logPath = std::string());
    ~CPosixSerial() override;
    CPosixSerial(const CPosixSerial&) = delete;
    CPosixSerial& operator=(const CPosixSerial&) = delete;

    bool IsOpen() const override { return m_fd >= 0; }
    // Waits for the line under WriteBound(); a short count when it passes, the device fails or
    // Interrupt() was called.
    std::size_t Write(const std::uint8_t* bytes, std::size_t count) override;
    void Purge() override;
    const std::uint8_t* RxBufferStart() const override { return m_rxBuffer; }
    std::uint32_t RxWriteIndex() const override { return m_writeIndex.load(); }
    // Lets what was written leave the line (bounded; what did not is dropped), stops the reader,
    // closes the port.
    void Close() override;
    // Any thread: a write waiting for the line fails now and later ones at once; the reader ends.
    void Interrupt() override;

private:
    bool Open(const std::string& path, std::uint32_t baudRate, const std::string& logPath);
    // Waits until the driver has sent what it holds, at most WriteBound() of it; false when it
    // gave up, was stopped or the device failed.
    bool Drain();
    void ReaderLoop();
    // One read of what poll() announced; false once the device has gone.
    bool ReadOnce(short events);

    ChunkSink& m_sink;                       // reader
    FailureReport& m_report;                 // owner at open, reader for its own failure
    int m_fd = -1;                           // owner opens and closes; reader polls and reads
    std::uint32_t m_baudRate = 0;            // set at open
    std::FILE* m_log = nullptr;              // reader writes; owner opens and closes
    int m_stopRead = -1;                     // reader and writes poll this end of the stop pipe
    int m_stopWrite = -1;                    // a byte here stops the reader and the writes
    std::atomic<bool> m_interrupted{false};  // any thread sets it; writes fail from then on
    std::atomic<std::uint32_t> m_writeIndex; // reader writes, owner reads whole
    std::uint8_t m_rxBuffer[kRxBufferBytes] = {}; // reader writes; sink reads notified chunks
    std::thread m_reader;                         // owner
};

} // namespace serial
