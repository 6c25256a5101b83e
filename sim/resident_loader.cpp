#include "sim/resident_loader.h"

#include <algorithm>
#include <cstdio>

#include "sim/sim_checksum.h"

namespace zelvar::sim {

namespace {
uint32_t BigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}
}  // namespace

void CResidentLoader::Enter() {
    m_core.SetSpeed(kLoaderSpeed);
    m_core.Event("mode resident loader");
    m_versionSent = false;
    m_inText = false;
    m_exchange.Reset();
    ClearRam();
}

void CResidentLoader::ClearRam() {
    m_written.reset();
    m_ramBase = 0;
    m_ramUsed = 0;
}

void CResidentLoader::OnByte(const RxByte& b) {
    if (m_exchange.Busy()) {
        m_exchange.Feed(b);
        return;
    }
    if (m_inText) {
        TakeText(b);
        return;
    }
    if (b.value == REC_ACK && !b.junk && !m_versionSent) {
        m_versionSent = true;
        m_core.SendText("$VER PFLD " + m_core.Options().pfldVersion + "\r\n");
        return;
    }
    // Looked at before the exchange takes the byte, which restarts the quiet time.
    bool frameAwaited = m_exchange.Expecting(b.timeMs);
    if (m_exchange.Feed(b)) {
        return;
    }
    if (b.junk || frameAwaited) {
        return;  // a framing error, or a byte of a frame whose bracket was lost
    }
    switch (b.value) {
        case '$':
            m_inText = true;
            m_text.clear();
            break;
        case STEP_D:
            m_core.SendByte(STEP_D);
            break;
        case STEP_E:
            m_exchange.Arm();
            break;
        default:
            break;
    }
}

void CResidentLoader::TakeText(const RxByte& b) {
    if (b.junk) {
        m_inText = false;
    } else if (b.value == '\r' || b.value == '\n') {
        m_inText = false;
        HandleText();
    } else if (m_text.size() >= static_cast<size_t>(kMaxLoaderText)) {
        m_inText = false;
    } else {
        m_text += static_cast<char>(b.value);
    }
}

void CResidentLoader::HandleText() {
    uint32_t address = 0;
    if (m_text == "A") {
        m_core.Event("loader probe");
        m_core.SendText("A:PFLD " + m_core.Options().pfldVersion + "\r\n");
    } else if (m_text.size() > 1 && m_text[0] == 'R' && ParseHex32(m_text.substr(1), address)) {
        char reply[40];
        std::snprintf(reply, sizeof reply, "R%X,%08X\r\n", address, m_core.Flash().Word(address));
        m_core.SendText(reply);
    } else if (m_text.rfind("PQRXQ,RID", 0) == 0) {
        // The resident loader still identifies the firmware it guards, so a connect
        // in loader mode learns the main firmware's version without waiting.
        std::string body = "PQRXR,RID,ZELVAR," + m_core.Options().versionText;
        m_core.SendText("$" + body + "*" + SentenceChecksum(body) + "\r\n");
    }
}

bool CResidentLoader::PayloadSizeAllowed(uint16_t size) const {
    return size == 0 || (size >= 4 && size <= kMaxPayload);
}

uint8_t CResidentLoader::AcceptFrame(const SimFrame& frame) {
    if (frame.size == 0) {
        if (m_written.none() || RamHasHole()) {
            m_core.Event(m_written.none() ? "end frame: no SFLD to start"
                                          : "end frame: the SFLD has a hole");
            return BAD_COMMAND;
        }
        return REC_ACK;
    }
    uint32_t address = BigEndian32(frame.payload);
    uint32_t count = frame.size - 4u;  // a pad byte after an odd count is kept too
    if (count == 0) {
        return REC_ACK;  // nothing to keep
    }
    if (m_written.none()) {
        m_ramBase = address;
    }
    if (!Rebase(address) || address - m_ramBase > kSfldRamSize - count) {
        m_core.Event("SFLD frame outside the loader's RAM");
        return BAD_COMMAND;
    }
    // A frame written again lands on its own bytes: frames are placed by address.
    uint32_t at = address - m_ramBase;
    std::copy_n(frame.payload + 4, count, m_ram.begin() + at);
    for (uint32_t i = at; i < at + count; ++i) {
        m_written.set(i);
    }
    m_ramUsed = std::max(m_ramUsed, at + count);
    return REC_ACK;
}

// A frame below the SFLD's lowest byte moves what is kept up, when it all still fits.
bool CResidentLoader::Rebase(uint32_t address) {
    if (address >= m_ramBase) {
        return true;
    }
    uint64_t shift = m_ramBase - address;
    if (shift + m_ramUsed > kSfldRamSize) {
        return false;
    }
    std::copy_backward(m_ram.begin(), m_ram.begin() + m_ramUsed,
                       m_ram.begin() + static_cast<long>(shift + m_ramUsed));
    m_written <<= shift;
    m_ramBase = address;
    m_ramUsed += static_cast<uint32_t>(shift);
    return true;
}

bool CResidentLoader::RamHasHole() const {
    return m_written.count() != m_ramUsed;  // every byte from the base up to the highest
}

void CResidentLoader::FrameAnswered(const SimFrame* frame, uint8_t answer) {
    // A refused frame leaves what was kept: the loader writes that frame again.
    if (answer == REC_ACK && frame != nullptr && frame->size == 0) {
        StartSfld();
    }
}

void CResidentLoader::StartSfld() {
    uint32_t crc = SfldCrc32(m_ram.data(), m_ramUsed);
    char text[96];
    std::snprintf(text, sizeof text, "SFLD started: %u bytes at 0x%08X, CRC-32 0x%08X", m_ramUsed,
                  m_ramBase, crc);
    m_core.Event(text);
    m_core.SfldStarted(crc);
    m_core.EnterMode(SimMode::SecondLoader);
}

}  // namespace zelvar::sim
