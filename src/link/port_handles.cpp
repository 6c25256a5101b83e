#include "link/port_handles.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "base/job_failure.h"
#include "base/message_log.h"
#include "base/system_error.h"

namespace zelvar {

namespace {

struct PortSlot {
    std::atomic<bool> open{false};
    std::atomic<bool> lost{false};
    std::atomic<bool> lossShown{false};
    std::atomic<bool> refusalShown{false};
};

PortSlot g_portSlots[kMaxPortHandles];

PortSlot& SlotOf(PortHandle handle) {
    return g_portSlots[handle];
}

const char* LossText(PortLoss loss) {
    switch (loss) {
        case PortLoss::HungUp:
            return "the line hung up (device closed or unplugged)";
        case PortLoss::IoError:
            return "input/output error";
        case PortLoss::Removed:
            return "the device was removed";
        case PortLoss::NotOpen:
            return "the handle is not open";
        case PortLoss::WriteStalled:
            return "writes made no progress";
        case PortLoss::Other:
            break;
    }
    return "unexpected error";
}

}  // namespace

bool IsPortSlot(PortHandle handle) {
    return handle >= 0 && handle < kMaxPortHandles;
}

bool IsPortUsable(PortHandle handle) {
    if (!IsPortSlot(handle)) return false;
    const PortSlot& slot = SlotOf(handle);
    return slot.open.load() && !slot.lost.load();
}

bool IsPortLost(PortHandle handle) {
    return !IsPortUsable(handle);
}

void ClaimPortSlot(PortHandle handle) {
    if (!IsPortSlot(handle)) return;
    PortSlot& slot = SlotOf(handle);
    slot.lost.store(false);
    slot.lossShown.store(false);
    slot.refusalShown.store(false);
    slot.open.store(true);
}

void ReleasePortSlot(PortHandle handle) {
    if (!IsPortSlot(handle)) return;
    PortSlot& slot = SlotOf(handle);
    slot.open.store(false);
    slot.lost.store(false);
    slot.lossShown.store(false);
    slot.refusalShown.store(false);
}

void MarkPortLost(PortHandle handle, PortLoss loss) {
    if (!IsPortSlot(handle)) return;
    PortSlot& slot = SlotOf(handle);
    slot.lost.store(true);
    if (!slot.open.load() || slot.lossShown.exchange(true)) return;
    char text[128];
    if (loss == PortLoss::WriteStalled) {
        std::snprintf(text, sizeof text, "Serial device lost: %s for %d s", LossText(loss),
                      kWriteStallLostMs / 1000);
    } else {
        std::snprintf(text, sizeof text, "Serial device lost: %s", LossText(loss));
    }
    NoteJobFailure(text);
    ShowStatus(text);
}

void NoteWriteRefused(PortHandle handle, int error) {
    if (!IsPortSlot(handle) || SlotOf(handle).refusalShown.exchange(true)) return;
    char text[160];
    std::snprintf(text, sizeof text, "Serial write refused: %s", SystemErrorText(error));
    ShowStatus(text);
}

long long PortNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace zelvar
