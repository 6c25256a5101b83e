// The receiver's side of the loader record exchange, shared by the resident loader and
// the SFLD: the 0x55/0x77 handshake, taking a frame apart and checking its brackets,
// length and XOR word, the one-byte answer, and after a refused frame the drain back to
// waiting (REC_WAIT once the line has been quiet).
#pragma once

#include <array>
#include <cstdint>

#include "sim/sim_core.h"

namespace zelvar::sim {

struct SimFrame {
    const uint8_t* payload = nullptr;  // address and data, a range, or nothing (end frame)
    uint16_t size = 0;                 // payload bytes
    int number = 0;                    // frames counted since the receiver started
};

// The loader that owns the exchange decides what a checked frame means.
class IRecordSink {
  public:
    virtual ~IRecordSink() = default;
    virtual bool PayloadSizeAllowed(uint16_t size) const = 0;
    // REC_ACK or an error answer for a frame whose brackets and check word are right.
    virtual uint8_t AcceptFrame(const SimFrame& frame) = 0;
    // After the answer has been queued; frame is null when the frame never completed.
    virtual void FrameAnswered(const SimFrame* frame, uint8_t answer) = 0;
};

class CRecordExchange {
  public:
    CRecordExchange(CSimCore& core, IRecordSink& sink);

    void Reset();  // idle: no frame expected yet
    void Arm();    // sends REC_WAIT: a frame may come
    // Inside a frame or draining after a refusal: every byte belongs to the exchange.
    bool Busy() const;
    // REC_WAIT or REC_ACK went out and the line has not been quiet since for
    // kArmedQuietMs: a byte that is no frame belongs to a frame whose bracket was lost.
    bool Expecting(double now) const;
    // Takes the handshake byte 0x55, a frame's opening bracket and every byte while
    // busy. False when the byte is not the exchange's (the owner decides).
    bool Feed(const RxByte& b);
    void Tick(double now);
    double Deadline() const;

  private:
    enum class State { Idle, Armed, Length, Payload, Check, Close, Draining };
    void Take(uint8_t value);
    void Complete(bool closed);
    void SendAck();
    void Refuse(uint8_t answer, const SimFrame* frame);
    uint16_t ComputeCheck() const;

    CSimCore& m_core;
    IRecordSink& m_sink;
    State m_state = State::Idle;
    std::array<uint8_t, kMaxPayload> m_payload{};
    uint16_t m_size = 0;  // payload bytes announced
    uint16_t m_got = 0;   // header, payload or check bytes taken in the current state
    uint16_t m_header = 0;
    uint16_t m_check = 0;
    int m_number = 0;
    double m_lastByteMs = 0;
};

}  // namespace zelvar::sim
