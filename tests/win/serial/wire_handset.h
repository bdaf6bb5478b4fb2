// The simulator's handset in process, at the far end of the driver model's wire: it assembles
// the PC's frames from what crosses the wire and answers through the model. Bytes sent at a
// rate it is not listening on are lost, and an answer at a new rate waits until the PC has set
// its line to that rate.
#pragma once

#include "sim/frame_assembler.h"
#include "sim/handset.h"
#include "strict_comm_driver.h"

#include <functional>
#include <mutex>

class WireHandset final : public StrictCommDriver::FarEnd
{
public:
    WireHandset() : m_driver(this) {}

    StrictCommDriver& Driver() { return m_driver; }
    // Runs `change` on the handset while no byte is handled (faults, flash, record).
    void With(const std::function<void(sim::Handset&)>& change);
    std::size_t MisheardBytes();

    void OnBytesFromPc(const Bytes& bytes, DWORD pcBaudRate) override;
    void OnLineSet(DWORD pcBaudRate) override;

private:
    void Answer(const std::vector<sim::AnswerPiece>& pieces);

    std::mutex m_lock;
    sim::Handset m_handset;
    sim::FrameAssembler m_frames;
    std::vector<sim::AnswerPiece> m_held; // the answer that waits for the PC's new rate
    std::size_t m_misheard = 0;
    StrictCommDriver m_driver; // last: its wire stops before the handset goes
};
