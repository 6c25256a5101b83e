// Text crosses into Windows calls as UTF-16 and comes back as UTF-8, the program's own
// encoding everywhere else. Only the Windows build has these.
#pragma once

#include <string>

namespace zelvar {

// The UTF-16 form of a UTF-8 text; empty for an empty text or one that is not UTF-8.
std::wstring WideFromUtf8(const char* text);
// The UTF-8 form of a UTF-16 text (count characters, or up to its terminating zero when
// count is negative); empty when it holds no valid text.
std::string Utf8FromWide(const wchar_t* text, int count = -1);

}  // namespace zelvar
