#include "sim/record_exchange.h"

#include <cstdio>

namespace zelvar::sim {

namespace {
// Two data bytes four bytes apart (after the 4-byte address): one lane of the 16-bit
// check word and one of a 32-bit sum.
constexpr uint16_t kSpoiltFirstByte = 8;
constexpr uint16_t kSpoiltSecondByte = 12;

std::string Hex2(uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}
}  // namespace

CRecordExchange::CRecordExchange(CSimCore& core, IRecordSink& sink) : m_core(core), m_sink(sink) {}

void CRecordExchange::Reset() {
    m_state = State::Idle;
}

void CRecordExchange::Arm() {
    m_core.SendByte(REC_WAIT);
    m_state = State::Armed;
    m_lastByteMs = m_core.Now();
}

bool CRecordExchange::Expecting(double now) const {
    return m_state == State::Armed && now - m_lastByteMs < kArmedQuietMs;
}

bool CRecordExchange::Busy() const {
    return m_state != State::Idle && m_state != State::Armed;
}

bool CRecordExchange::Feed(const RxByte& b) {
    if (!Busy()) {
        if (m_state == State::Armed) {
            m_lastByteMs = b.timeMs;  // bytes that are not a frame keep the wait going
        }
        if (b.junk) {
            return false;
        }
        if (b.value == REC_ACK) {
            if (!m_core.MissThisHandshake()) {
                Arm();
            }
            return true;
        }
        if (b.value != FRAME_OPEN) {
            return false;
        }
        // A frame is taken also without the handshake: the loader writes a frame again
        // when it has had too many REC_WAIT bytes.
        m_number = m_core.NextFrameNumber();
        m_state = State::Length;
        m_got = 0;
        m_header = 0;
        m_lastByteMs = b.timeMs;
        return true;
    }
    m_lastByteMs = b.timeMs;
    if (m_state != State::Draining) {
        Take(b.value);  // junk inside a frame is taken as it came
    }
    return true;
}

void CRecordExchange::Take(uint8_t value) {
    switch (m_state) {
        case State::Length:
            m_header = static_cast<uint16_t>(m_header << 8 | value);
            if (++m_got < 2) {
                return;
            }
            if (m_header > kMaxPayload / 2 || !m_sink.PayloadSizeAllowed(m_header * 2)) {
                m_core.Event("frame " + std::to_string(m_number) + ": length " +
                             std::to_string(m_header) + " words refused");
                Refuse(BAD_LENGTH, nullptr);
                return;
            }
            m_size = static_cast<uint16_t>(m_header * 2);
            m_got = 0;
            m_check = 0;
            m_state = m_size == 0 ? State::Check : State::Payload;
            return;
        case State::Payload:
            m_payload[m_got++] = value;
            if (m_got == m_size) {
                m_got = 0;
                m_state = State::Check;
            }
            return;
        case State::Check:
            m_check = static_cast<uint16_t>(m_check << 8 | value);
            if (++m_got == 2) {
                m_state = State::Close;
            }
            return;
        case State::Close:
            Complete(value == FRAME_CLOSE);
            return;
        default:
            return;
    }
}

uint16_t CRecordExchange::ComputeCheck() const {
    uint16_t sum = 0;
    for (uint16_t i = 0; i + 1 < m_size; i += 2) {
        sum ^= static_cast<uint16_t>(m_payload[i] << 8 | m_payload[i + 1]);
    }
    return sum;
}

void CRecordExchange::Complete(bool closed) {
    SimFrame frame{m_payload.data(), m_size, m_number};
    const SimFaults& faults = m_core.Options().faults;
    if (faults.spoilFrame == m_number && m_size >= kSpoiltSecondByte + 1) {
        m_payload[kSpoiltFirstByte] ^= 1;
        m_payload[kSpoiltSecondByte] ^= 1;
        m_core.Event("frame " + std::to_string(m_number) + ": spoilt where its check cannot see");
    }
    if (faults.silenceAfterFrame == m_number) {
        m_core.BeginSilence();
    }
    uint8_t answer = REC_ACK;
    std::string why;
    if (!closed) {
        answer = NO_REC_END;
        why = " (no closing bracket)";
    } else if (ComputeCheck() != m_check) {
        answer = BAD_CSUM;
        why = " (check word)";
    } else if (faults.badCsumFrame == m_number) {
        answer = BAD_CSUM;
        why = " (fault on request)";
    } else {
        answer = m_sink.AcceptFrame(frame);
    }
    if (faults.stormFrame == m_number && faults.stormCount > 0) {
        m_core.Event("frame " + std::to_string(m_number) + ": storm of " +
                     std::to_string(faults.stormCount) + " REC_WAIT");
        for (int i = 0; i < faults.stormCount; ++i) {
            m_core.SendByte(REC_WAIT);
        }
    }
    m_core.Event("frame " + std::to_string(m_number) + ": " + std::to_string(m_size) +
                 " payload bytes, answer " + Hex2(answer) + why);
    if (answer == REC_ACK) {
        SendAck();
        m_state = State::Armed;  // the next frame may follow
        m_sink.FrameAnswered(&frame, answer);
    } else {
        Refuse(answer, &frame);
    }
}

void CRecordExchange::SendAck() {
    if (m_core.Options().faults.corruptAckFrame == m_number) {
        // The frame is taken all the same; only its answer is spoilt.
        m_core.Event("frame " + std::to_string(m_number) + ": REC_ACK sent as " +
                     Hex2(kCorruptedAck));
        m_core.SendByte(kCorruptedAck);
    } else {
        m_core.SendByte(REC_ACK);
    }
}

void CRecordExchange::Refuse(uint8_t answer, const SimFrame* frame) {
    m_core.SendByte(answer);
    m_state = State::Draining;
    m_sink.FrameAnswered(frame, answer);
}

void CRecordExchange::Tick(double now) {
    if (m_state == State::Draining && now - m_lastByteMs >= kDrainQuietMs) {
        m_core.Event("drained, waiting for a frame");
        Arm();
    } else if (Busy() && m_state != State::Draining && now - m_lastByteMs >= kRecordTimeoutMs) {
        m_core.Event("frame " + std::to_string(m_number) + ": timed out");
        Refuse(RECORD_TIMEOUT, nullptr);
        m_lastByteMs = now;
    }
}

double CRecordExchange::Deadline() const {
    if (m_state == State::Draining) {
        return m_lastByteMs + kDrainQuietMs;
    }
    return Busy() ? m_lastByteMs + kRecordTimeoutMs : kNever;
}

}  // namespace zelvar::sim
