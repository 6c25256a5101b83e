// The system's words for one of its error codes (errno here, GetLastError's code on
// Windows), without a line break: the texts go into one message or log line.
#pragma once

namespace zelvar {

const char* SystemErrorText(int error);

}  // namespace zelvar
