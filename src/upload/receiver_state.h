// In what state a job left the receiver, from what the job knows of its steps: whether
// an erase began, whether it was the PFLD's too, how far the image was programmed, and
// whether the flash was verified afterwards.
#pragma once

#include <cstdint>

namespace zelvar {

enum class ReceiverState {
    Unchanged,        // the job ended before any erase
    Incomplete,       // erased and partly programmed; the resident loader (PFLD) is intact
    LoaderRewritten,  // the PFLD was erased and written again whole; the firmware is not
    Verified,         // programmed, and the read-back showed the image's words
    NotVouched,       // programmed without a check, a check that failed, or a PFLD erased
                      // and not written again whole
};

// The state's name in JSON results and station reports ("unchanged", "incomplete",
// "loader-rewritten", "verified", "not-vouched").
const char* ReceiverStateName(ReceiverState state);
// The message that says it: "Receiver state: ...".
const char* ReceiverStateLine(ReceiverState state);

// The job's steps as flash programming reports them. Reset at the start of every job.
void ResetFlashProgress();
// An erase is about to begin; pfldMode: the SFLD was put into boot mode, so the PFLD's
// section is erased too.
void NoteEraseBegun(bool pfldMode);
// A data frame ending before end (exclusive) was accepted.
void NoteProgrammedUpTo(uint32_t end);

// The state after a job that failed, and after one whose upload completed (verified:
// the read-back matched; checked: a read-back was made at all).
ReceiverState StateAfterFailure();
ReceiverState StateAfterUpload(bool checked, bool verified);

}  // namespace zelvar
