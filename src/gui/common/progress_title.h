// The window title while a job shows its share done: "42% - caption".
#pragma once

#include <string>
#include <string_view>

namespace zelvar {

// "42% - caption" while percent is a share (cut to 0..100), caption alone for
// kNoProgress.
std::string ProgressTitle(std::string_view caption, int percent);

}  // namespace zelvar
