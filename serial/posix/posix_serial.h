// The serial channel on POSIX systems: one terminal device at one baud rate, 8N1, raw, held
// exclusively, with a reader thread that sleeps in poll() until bytes arrive or the owner stops
// it through a pipe of its own.
#pragma once

#include "serial/receive_buffer.h"
#include "serial/serial_channel.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace serial
{

// Whether termios knows this rate as one of the four line rates of a download.
bool IsSupportedBaudRate(std::uint32_t baudRate);

// Threads: "owner" constructs, writes, purges and closes; "reader" is the thread started at the
// open. The owner sets the reader's fields before the reader starts and touches them again only
// after it has joined the reader.
class CPosixSerial : public SerialChannel
{
public:
    // Opens the device exclusively (TIOCEXCL against other openers, flock against other
    // programs that lock, root included), sets the line and starts the reader, which hands every
    // read to `sink`. Failures go to `report` with the caption "CSerialIO" and leave an object
    // that is not IsOpen(), on which the other calls are harmless.
    CPosixSerial(const std::string& path, std::uint32_t baudRate, ChunkSink& sink,
                 FailureReport& report);
    ~CPosixSerial() override;
    CPosixSerial(const CPosixSerial&) = delete;
    CPosixSerial& operator=(const CPosixSerial&) = delete;

    bool IsOpen() const override { return m_fd >= 0; }
    std::size_t Write(const std::uint8_t* bytes, std::size_t count) override;
    void Purge() override;
    const std::uint8_t* RxBufferStart() const override { return m_rxBuffer; }
    std::uint32_t RxWriteIndex() const override { return m_writeIndex.load(); }
    void Close() override;

private:
    bool Open(const std::string& path, std::uint32_t baudRate);
    void ReaderLoop();
    // One read of what poll() announced; false once the device has gone.
    bool ReadOnce(short events);

    ChunkSink& m_sink;                            // reader
    FailureReport& m_report;                      // owner at open, reader for its own failure
    int m_fd = -1;                                // owner opens and closes; reader polls and reads
    int m_stopRead = -1;                          // reader polls this end of the stop pipe
    int m_stopWrite = -1;                         // owner writes a byte to stop the reader
    std::atomic<std::uint32_t> m_writeIndex;      // reader writes, owner reads whole
    std::uint8_t m_rxBuffer[kRxBufferBytes] = {}; // reader writes; sink reads notified chunks
    std::thread m_reader;                         // owner
};

} // namespace serial
