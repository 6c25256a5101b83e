#include "sim/resident_loader.h"

#include <algorithm>
#include <cstdio>

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
    m_ramBase = 0;
    m_ramUsed = 0;
    m_ramBytes = 0;
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
    if (b.junk) {
        return;  // framing error
    }
    if (b.value == REC_ACK && !m_versionSent) {
        m_versionSent = true;
        m_core.SendText("$VER PFLD " + m_core.Options().pfldVersion + "\r\n");
        return;
    }
    if (m_exchange.Feed(b)) {
        return;
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
        return m_ramBytes > 0 ? REC_ACK : BAD_COMMAND;  // nothing to start
    }
    uint32_t address = BigEndian32(frame.payload);
    uint32_t count = frame.size - 4u;  // a pad byte after an odd count is kept too
    if (m_ramBytes == 0 && m_ramUsed == 0) {
        m_ramBase = address;
    }
    if (address < m_ramBase || address - m_ramBase > kSfldRamSize - count) {
        m_core.Event("SFLD frame outside the loader's RAM");
        return BAD_COMMAND;
    }
    std::copy_n(frame.payload + 4, count, m_ram.begin() + (address - m_ramBase));
    m_ramUsed = std::max(m_ramUsed, address - m_ramBase + count);
    m_ramBytes += count;
    return REC_ACK;
}

void CResidentLoader::FrameAnswered(const SimFrame* frame, uint8_t answer) {
    if (answer != REC_ACK) {
        ClearRam();  // the loader sends the SFLD again from its first frame
        return;
    }
    if (frame != nullptr && frame->size == 0) {
        char text[80];
        std::snprintf(text, sizeof text, "SFLD started: %u bytes at 0x%08X", m_ramBytes, m_ramBase);
        m_core.Event(text);
        m_core.EnterMode(SimMode::SecondLoader);
    }
}

}  // namespace zelvar::sim
