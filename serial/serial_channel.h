// The download's view of one open serial port at one baud rate: the Win32 channel of the window
// and the POSIX channel of the console program both offer it. A reader thread stores what
// arrives in the channel's receive buffer (the rules of serial/receive_buffer.h) and hands each
// read to a sink as a count and the address of the bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace serial
{

// Receives every read of a channel's reader, on the reader's thread, 0-byte reads included.
// The bytes stay in the channel's buffer until the reader comes round to them again.
class ChunkSink
{
public:
    virtual void OnChunk(std::size_t count, const std::uint8_t* chunk) = 0;

protected:
    ~ChunkSink() = default;
};

// Told of a channel's failures, to show or print them as its owner sees fit: the text and the
// caption it belongs to ("CSerialIO" for the open, "TracingThread" for the reader, whose reports
// come on the reader's thread).
class FailureReport
{
public:
    virtual void ReportFailure(const char* text, const char* caption) = 0;
    // After a reported failure the program cannot go on from: only the owner may end the
    // program. An owner that goes on finds the channel not open.
    virtual void EndProgram(int exitCode) { static_cast<void>(exitCode); }

protected:
    ~FailureReport() = default;
};

} // namespace serial

class SerialChannel
{
public:
    virtual ~SerialChannel() = default;

    // False when the port could not be opened: nothing is read, writes go nowhere.
    virtual bool IsOpen() const = 0;
    // One write call for the whole frame, waiting until it is done; returns the bytes written.
    virtual std::size_t Write(const std::uint8_t* bytes, std::size_t count) = 0;
    // Drops what waits in both directions (PurgeComm with all four flags, tcflush).
    virtual void Purge() = 0;
    // The receive buffer and the reader's write index, read whole (the end of data so far).
    virtual const std::uint8_t* RxBufferStart() const = 0;
    virtual std::uint32_t RxWriteIndex() const = 0;
    // Ends the reader by handshake, then closes the port. May be called more than once.
    virtual void Close() = 0;
    // Any thread, for a stop request while the owner may be waiting in Write(): that write and
    // every later one fail at once. A channel whose writes end by their bound alone keeps this.
    virtual void Interrupt() {}
    // The consumer has done with `count` notified bytes, which it read in place after the reader
    // handed them on. A channel whose consumer does that holds its reader back, so that no read
    // lands on bytes not yet done with; a consumer that copies each chunk as it is handed on
    // (the console program's) leaves this alone.
    virtual void ChunksHandled(std::size_t count) { static_cast<void>(count); }
};
