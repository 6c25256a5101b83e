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

// The FW check word the receiver reports, which the upload does not send; empty when
// the receiver showed no FW section.
std::string FwCheckWordLine(const ReceiverInfo& receiver);

}  // namespace zelvar
