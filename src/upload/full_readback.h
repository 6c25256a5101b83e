// The full read-back after a flash: every word the image programs, read from the
// receiver with the word query at the speed it answers and compared with the image.
// Several queries go out before their replies come in; a word whose reply went missing
// is asked again on its own.
#pragma once

#include <cstdint>

#include "upload/flash_expectation.h"

namespace zelvar {

constexpr int kReadAheadQueries = 8;    // queries on the line before their replies
constexpr int kReadBlockWords = 256;    // words between two progress reports
constexpr int kWordAttempts = 3;        // a word read alone after its reply went missing
constexpr int kSilentWordsLimit = 4;    // unanswered words in a row end the read-back
constexpr int kListedDifferences = 8;   // differing words named one by one
constexpr int kReplyBytesPerWord = 34;  // "$PQRXR,RDM,1000A3F4,DEADBEEF*5C\r\n" and a margin

// Opens port at speed (the speed the receiver answered at), says how long the read-back
// will take, reads and compares every word of flash that the image programs (the FW
// check word too, when the image leaves it to the receiver's loader), reporting its
// progress in the Verify phase. True when the receiver answered every word and each
// matched; otherwise the first differing or unanswered addresses have been said and
// the first cause noted as the job's failure. ahead: the queries on the line before
// their replies (1 asks word by word).
bool ReadBackInFull(const char* port, int speed, const ImageFlash& image,
                    const FlashExpectation& expectation, int ahead = kReadAheadQueries);

}  // namespace zelvar
