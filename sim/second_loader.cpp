#include "sim/second_loader.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace zelvar::sim {

namespace {

uint32_t BigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

std::string Hex8(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace

void CSecondLoader::Enter() {
    m_core.Event("mode second loader");
    BackToAttention();
}

void CSecondLoader::BackToAttention() {
    m_core.SetSpeed(kLoaderSpeed);
    m_state = State::Attention;
    m_bootMode = false;
    m_fastByteSeen = false;
    m_exchange.Reset();
}

void CSecondLoader::OnByte(const RxByte& b) {
    if (m_exchange.Busy()) {
        m_exchange.Feed(b);
        return;
    }
    if (m_state == State::Attention) {
        if (!b.junk && b.value == REC_ACK) {
            m_core.SendByte(REC_ACK);
            m_core.SetSpeed(kSfldSpeed);
            m_state = State::Commands;
            m_fastByteSeen = false;
        }
        return;
    }
    if (b.junk) {
        // The loader is back at 19200 after a failed pass: listen there again. Attention
        // bytes still arriving from before the switch to 115200 are not such a sign.
        if (m_fastByteSeen && b.lineSpeed == kLoaderSpeed) {
            m_core.Event("attention at 19200: back to 19200");
            BackToAttention();
        }
        return;
    }
    m_fastByteSeen = true;
    if (m_state == State::Range || m_state == State::Data) {
        // Only frames now: a byte that is neither the handshake nor a frame's bracket
        // belongs to a frame whose bracket was lost and is never a command.
        m_exchange.Feed(b);
        return;
    }
    Command(b.value);
}

void CSecondLoader::Command(uint8_t command) {
    switch (command) {
        case CMD_VERSION:
            m_core.SendText("$VER SFLD " + m_core.Options().sfldVersion + "\r\n");
            break;
        case CMD_FLASH_ID: {
            const SimOptions& o = m_core.Options();
            uint8_t reply[6] = {CMD_FLASH_ID, o.flashType,  o.flashId[0],
                                o.flashId[1], o.flashId[2], o.flashId[3]};
            m_core.Send(reply, sizeof reply);
            break;
        }
        case CMD_BOOT_MODE:
            m_bootMode = true;
            m_core.Event("boot mode");
            m_core.SendByte(CMD_BOOT_MODE);
            break;
        case CMD_ERASE:
            m_core.SendByte(REC_ACK);
            m_state = State::Range;
            m_exchange.Reset();
            break;
        default:
            break;  // attention 0x55 and unknown bytes need no answer
    }
}

bool CSecondLoader::PayloadSizeAllowed(uint16_t size) const {
    if (m_state == State::Range) {
        return size == kRangePayload;
    }
    return size == 0 || (size >= 4 && size <= kMaxPayload);
}

uint8_t CSecondLoader::AcceptFrame(const SimFrame& frame) {
    if (m_state == State::Range) {
        uint32_t first = BigEndian32(frame.payload);
        uint32_t second = BigEndian32(frame.payload + 4);
        if (first >= second || !CSimFlash::Contains(first, second - first)) {
            m_core.Event("range " + Hex8(first) + ".." + Hex8(second) + " refused");
            return BAD_COMMAND;
        }
        m_rangeFirst = first;
        m_rangeSecond = second;
        return REC_ACK;
    }
    if (frame.size == 0) {
        return REC_ACK;
    }
    // Everything after the address is written, also the pad byte after an odd count.
    return Program(BigEndian32(frame.payload), frame.payload + 4, frame.size - 4u);
}

uint8_t CSecondLoader::Program(uint32_t address, const uint8_t* data, uint32_t count) {
    if (!CSimFlash::Contains(address, count)) {
        m_core.Event("data at " + Hex8(address) + " outside the flash");
        return BAD_COMMAND;
    }
    uint32_t skip = 0;
    if (!m_bootMode && address < kPfldLimit) {
        // The resident loader's sectors are written only in boot mode; frames there are
        // accepted and left out, as the loader sends the whole image either way.
        skip = std::min(count, kPfldLimit - address);
    }
    std::lock_guard<std::mutex> lock(m_core.FlashMutex());
    m_core.Flash().Program(address + skip, data + skip, count - skip);
    return REC_ACK;
}

void CSecondLoader::FrameAnswered(const SimFrame* frame, uint8_t answer) {
    if (answer != REC_ACK || frame == nullptr) {
        return;
    }
    if (m_state == State::Range) {
        Erase();
    } else if (frame->size == 0) {
        WriteFwCheckWord();
        CorruptWord();
        m_core.Event("programmed");
        m_core.Programmed();
        m_core.EnterMode(SimMode::Normal);
    }
}

void CSecondLoader::Erase() {
    const SimFaults& faults = m_core.Options().faults;
    const double step = m_core.Options().sectorEraseMs;
    // Every sector that holds a byte of the range, and the word at its end: the FW check
    // word that this loader writes itself.
    uint32_t first = m_rangeFirst / kSectorSize * kSectorSize;
    uint64_t last = std::min<uint64_t>(uint64_t{m_rangeSecond} + 4, kFlashStart + kFlashSize);
    int erased = 0;
    for (uint64_t sector = first; sector < last; sector += kSectorSize) {
        if (!m_bootMode && sector < kPfldLimit) {
            continue;
        }
        if (faults.eraseFailAfter == erased && m_eraseFailsFired < faults.eraseFailTimes) {
            ++m_eraseFailsFired;
            m_core.Event("erase failed after " + std::to_string(erased) + " sectors");
            m_core.SendByte(ERASE_FAILED, step);
            m_state = State::Commands;
            return;
        }
        if (faults.eraseUnknownAfter == erased && !m_eraseUnknownFired) {
            m_eraseUnknownFired = true;
            m_core.Event("unknown byte during the erase");
            m_core.SendByte(faults.eraseUnknownByte, step);
            m_state = State::Commands;
            return;
        }
        {
            std::lock_guard<std::mutex> lock(m_core.FlashMutex());
            m_core.Flash().EraseSector(static_cast<uint32_t>(sector));
        }
        ++erased;
        m_core.SendByte(SECTOR_ERASED, step);
    }
    m_core.Event("erased " + Hex8(m_rangeFirst) + ".." + Hex8(m_rangeSecond) + ": " +
                 std::to_string(erased) + " sectors");
    m_core.SendByte(REC_ACK);
    m_state = State::Data;
    m_exchange.Reset();
}

void CSecondLoader::WriteFwCheckWord() {
    CSimFlash& flash = m_core.Flash();
    uint32_t start = flash.Word(kFwStart + kHeaderStartOffset);
    uint32_t end = flash.Word(kFwStart + kHeaderEndOffset);
    if (start != kFwStart || end <= start || end >= kFwLimit) {
        return;  // no FW section in flash
    }
    uint32_t at = CheckWordAddress(start, end);
    if (m_rangeFirst > kFwStart || m_rangeSecond < at || flash.Word(at) != 0xFFFFFFFF) {
        return;  // this pass did not program the section, or its data held the word
    }
    uint32_t sum = SectionChecksum(flash, start, end);
    uint8_t bytes[4] = {static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8),
                        static_cast<uint8_t>(sum >> 16), static_cast<uint8_t>(sum >> 24)};
    std::lock_guard<std::mutex> lock(m_core.FlashMutex());
    flash.Program(at, bytes, sizeof bytes);
    m_core.Event("FW check word " + Hex8(sum) + " at " + Hex8(at));
}

void CSecondLoader::CorruptWord() {
    const SimFaults& faults = m_core.Options().faults;
    if (faults.corruptWordAddress == 0 || m_corruptWordFired) {
        return;
    }
    m_corruptWordFired = true;
    std::lock_guard<std::mutex> lock(m_core.FlashMutex());
    if (m_core.Flash().XorWord(faults.corruptWordAddress, faults.corruptWordMask)) {
        m_core.Event("word at " + Hex8(faults.corruptWordAddress) + " XORed with " +
                     Hex8(faults.corruptWordMask));
    }
}

}  // namespace zelvar::sim
