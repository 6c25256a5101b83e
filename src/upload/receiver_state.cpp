#include "upload/receiver_state.h"

#include <atomic>

#include "base/flash_map.h"

namespace zelvar {

namespace {

// Written by the worker while it programs, read when the job ends (on the same thread;
// atomic because a front end may ask from another one).
struct FlashProgress {
    std::atomic<bool> eraseBegun{false};
    std::atomic<bool> loaderErased{false};   // the last erase took the PFLD's section too
    std::atomic<uint32_t> programmedEnd{0};  // since the last erase
};

FlashProgress& Progress() {
    static FlashProgress progress;
    return progress;
}

struct StateWords {
    const char* name;
    const char* line;
};

// By ReceiverState, in its order.
constexpr StateWords kStates[] = {
    {"unchanged", "Receiver state: flash unchanged"},
    {"incomplete",
     "Receiver state: firmware incomplete, resident loader intact: Connect GPS, then Load again"},
    {"loader-rewritten", "Receiver state: resident loader rewritten, firmware incomplete"},
    {"verified", "Receiver state: verified"},
    {"not-vouched", "Receiver state: not vouched for"},
};

}  // namespace

const char* ReceiverStateName(ReceiverState state) {
    return kStates[static_cast<int>(state)].name;
}

const char* ReceiverStateLine(ReceiverState state) {
    return kStates[static_cast<int>(state)].line;
}

void ResetFlashProgress() {
    Progress().eraseBegun = false;
    Progress().loaderErased = false;
    Progress().programmedEnd = 0;
}

void NoteEraseBegun(bool pfldMode) {
    Progress().eraseBegun = true;
    Progress().loaderErased = pfldMode;
    Progress().programmedEnd = 0;
}

void NoteProgrammedUpTo(uint32_t end) {
    if (end > Progress().programmedEnd) Progress().programmedEnd = end;
}

ReceiverState StateAfterFailure() {
    if (!Progress().eraseBegun) return ReceiverState::Unchanged;
    if (!Progress().loaderErased) return ReceiverState::Incomplete;
    // The PFLD's frames come first: it is whole once programming passed its section.
    return Progress().programmedEnd >= kFwBase ? ReceiverState::LoaderRewritten
                                               : ReceiverState::NotVouched;
}

ReceiverState StateAfterUpload(bool checked, bool verified) {
    return checked && verified ? ReceiverState::Verified : ReceiverState::NotVouched;
}

}  // namespace zelvar
