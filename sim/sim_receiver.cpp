#include "sim/sim_receiver.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "sim/normal_mode.h"
#include "sim/resident_loader.h"
#include "sim/second_loader.h"
#include "sim/sim_core.h"

namespace zelvar::sim {

CSimReceiver::CSimReceiver(const SimOptions& options)
    : m_core(std::make_unique<CSimCore>(options)) {
    m_modes[0] = std::make_unique<CNormalMode>(*m_core);
    m_modes[1] = std::make_unique<CResidentLoader>(*m_core);
    m_modes[2] = std::make_unique<CSecondLoader>(*m_core);
}

CSimReceiver::~CSimReceiver() {
    Stop();
}

bool CSimReceiver::Start(std::string& error) {
    if (m_started) {
        error = "already started";
        return false;
    }
    const SimOptions& options = m_core->Options();
    if (!options.flashIn.empty() && !m_core->Flash().Load(options.flashIn, error)) {
        return false;
    }
    if (!options.traceFile.empty() && !m_core->Trace().OpenFile(options.traceFile)) {
        error = "cannot create " + options.traceFile;
        return false;
    }
    uint32_t speed = options.startInPfld ? kLoaderSpeed : options.normalSpeed;
    if (!m_core->Line().Open(options.linkPath, speed, error)) {
        return false;
    }
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = "cannot create a pipe";
        m_core->Line().Close();
        return false;
    }
    m_slavePath = m_core->Line().SlavePath();
    m_linkPath = m_core->Line().LinkPath();
    m_rx.resize(kRxRingSize);
    m_core->EnterMode(options.startInPfld ? SimMode::ResidentLoader : SimMode::Normal);
    ApplyModeChange();
    m_started = true;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CSimReceiver::Stop() {
    if (!m_started) {
        return;
    }
    m_started = false;
    m_stop = true;
    char byte = 1;
    ssize_t ignored = write(m_wake[1], &byte, 1);
    (void)ignored;
    m_thread.join();
    const std::string& out = m_core->Options().flashOut;
    if (!out.empty()) {
        std::string error;
        std::lock_guard<std::mutex> lock(m_core->FlashMutex());
        m_core->Flash().Save(out, error);
    }
    m_core->Line().Close();
    close(m_wake[0]);
    close(m_wake[1]);
    m_wake[0] = m_wake[1] = -1;
}

SimMode CSimReceiver::Mode() const {
    return m_core->Mode();
}
int CSimReceiver::Programmings() const {
    return m_core->Programmings();
}

std::vector<uint8_t> CSimReceiver::Flash() const {
    std::lock_guard<std::mutex> lock(m_core->FlashMutex());
    return m_core->Flash().Bytes();
}

uint32_t CSimReceiver::FlashWord(uint32_t address) const {
    std::lock_guard<std::mutex> lock(m_core->FlashMutex());
    return m_core->Flash().Word(address);
}

double CSimReceiver::NowMs() const {
    return m_core->Now();
}

std::vector<TraceEntry> CSimReceiver::Trace() const {
    return m_core->Trace().Entries();
}

bool CSimReceiver::WaitForEvent(const std::string& prefix, int timeoutMs) const {
    return m_core->Trace().WaitForEvent(prefix, timeoutMs);
}

size_t CSimReceiver::CountEvents(const std::string& prefix) const {
    return m_core->Trace().CountEvents(prefix);
}

SimLineStats CSimReceiver::LineStats() const {
    return m_core->LineStats();
}

uint64_t CSimReceiver::LineErrors() const {
    return m_core->LineStats().LineErrors();
}

uint32_t CSimReceiver::SfldChecksum() const {
    return m_core->SfldChecksum();
}

CSimMode* CSimReceiver::Current() const {
    switch (m_core->Mode()) {
        case SimMode::Normal:
            return m_modes[0].get();
        case SimMode::ResidentLoader:
            return m_modes[1].get();
        case SimMode::SecondLoader:
            return m_modes[2].get();
        default:
            return nullptr;
    }
}

void CSimReceiver::ApplyModeChange() {
    SimMode mode;
    while (m_core->TakeModeChange(mode)) {
        if (CSimMode* current = Current()) {
            current->Enter();
        }
    }
}

double CSimReceiver::NextDeadline() const {
    double next = m_core->NextSendTime();
    if (m_rxCount > 0) {
        next = std::min(next, m_rx[m_rxHead].due);
    }
    if (CSimMode* current = Current()) {
        next = std::min(next, current->Deadline());
    }
    return next;
}

void CSimReceiver::Run() {
    while (!m_stop) {
        bool open = m_core->Line().IsOpen();
        double now = m_core->Now();
        double wait = NextDeadline() - now;
        int timeout = kMaxPollMs;
        if (!open) {
            timeout = kVanishedPollMs;
        } else if (wait < kMaxPollMs) {
            timeout = wait <= 0 ? 0 : static_cast<int>(std::ceil(wait));
        }
        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {open ? m_core->Line().Master() : -1, POLLIN, 0}};
        poll(fds, 2, timeout);
        if (m_stop || !open) {
            continue;
        }
        now = m_core->Now();
        if (fds[1].revents & POLLIN) {
            ReadLine(now);
        }
        while (m_rxCount > 0 && m_rx[m_rxHead].due <= now && m_core->Line().IsOpen()) {
            RxSlot slot = m_rx[m_rxHead];
            m_rxHead = (m_rxHead + 1) % m_rx.size();
            --m_rxCount;
            Dispatch(slot);
        }
        if (CSimMode* current = Current()) {
            current->OnTick(m_core->Now());
            ApplyModeChange();
        }
        if (m_core->Line().IsOpen()) {
            m_core->FlushDue(m_core->Now());
        }
    }
}

void CSimReceiver::ReadLine(double now) {
    uint8_t buffer[kReadChunk];
    long n = m_core->Line().Read(buffer, sizeof buffer);
    if (n <= 0) {
        return;
    }
    // Speed as the loader has it now: the moment its bytes arrive.
    uint32_t lineSpeed = m_core->Line().LineSpeed();
    bool pace = m_core->Options().pace;
    for (long i = 0; i < n; ++i) {
        if (m_rxCount == m_rx.size()) {
            m_core->Event("receive overrun, byte dropped");
            continue;
        }
        double due = now;
        if (pace) {
            due = std::max(now, m_rxFree) + ByteTimeMs(lineSpeed);
            m_rxFree = due;
        }
        m_rx[(m_rxHead + m_rxCount) % m_rx.size()] = RxSlot{buffer[i], lineSpeed, due};
        ++m_rxCount;
    }
}

void CSimReceiver::Dispatch(const RxSlot& slot) {
    const SimFaults& faults = m_core->Options().faults;
    ++m_received;
    RxByte b;
    b.meant = slot.byte;
    b.lineSpeed = slot.lineSpeed;
    b.timeMs = m_core->Now();
    b.junk = slot.lineSpeed != m_core->Speed();
    b.value = b.junk ? m_core->JunkByte() : slot.byte;
    bool lost = false;
    if (!b.junk) {
        // Bit errors give a normal byte with another value, not a framing error.
        LineHit hit = m_core->LineIn(m_received, b.value);
        b.value = hit.value;
        lost = hit.lost;
    }
    TraceEntry entry;
    entry.timeMs = b.timeMs;
    entry.kind = TraceKind::Received;
    entry.byte = b.value;
    entry.meant = b.meant;
    entry.junk = b.junk;
    entry.simSpeed = m_core->Speed();
    entry.lineSpeed = slot.lineSpeed;
    bool silent = m_core->Silent(b.timeMs);
    if (lost) {
        entry.text = "lost";
    } else if (silent) {
        entry.text = "silent";
    } else if (b.value != b.meant && !b.junk) {
        entry.text = "line error";
    }
    m_core->Trace().Add(std::move(entry));
    if (faults.silenceAfterBytes != 0 && m_received == faults.silenceAfterBytes) {
        m_core->BeginSilence();
    }
    if (!silent && !lost) {
        if (CSimMode* current = Current()) {
            current->OnByte(b);
            ApplyModeChange();
        }
    }
    if (faults.vanishAfterBytes != 0 && m_received == faults.vanishAfterBytes) {
        Vanish();
    }
}

void CSimReceiver::Vanish() {
    m_core->Line().Close();
    m_core->EnterMode(SimMode::Vanished);
    ApplyModeChange();
    // Announced last, so whoever waits for it sees the receiver already gone.
    m_core->Event("vanished");
}

}  // namespace zelvar::sim
