// The comparison of a receiver's flash read-back with what the image programs.
#pragma once

#include <string>
#include <vector>

#include "link/receiver_queries.h"
#include "upload/flash_expectation.h"

namespace zelvar {

// One line per word the receiver reports other than the image programs it ("Verify:
// PFLD check word 0x... in the receiver, 0x... in the image"), or per section the image
// programs and the receiver did not show; empty when everything matches. Words the
// image does not program are not compared.
std::vector<std::string> FlashDifferences(const ReceiverInfo& receiver,
                                          const FlashExpectation& image);

// The receiver's FW check word against the image's.
enum class FwCheck {
    NotShown,    // the receiver showed no FW section, or the image programs none
    NotStored,   // the receiver's word is erased (or could not be read)
    Differs,     // a wrong flash: verification fails
    SentWord,    // the image sends the word itself: it arrived, the content is not checked
    ContentSum,  // the receiver's loader summed the section as the image has it
};

// The comparison and its line ("FW check word 0x... matches the image's content", the
// "Verify: FW check word ..." difference, ...); line stays empty for NotShown.
FwCheck CompareFwCheckWord(const ReceiverInfo& receiver, const FlashExpectation& image,
                           std::string& line);

}  // namespace zelvar
