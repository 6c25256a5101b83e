#include "gui/common/progress_title.h"

#include <algorithm>

#include "base/main_window.h"

namespace zelvar {

std::string ProgressTitle(std::string_view caption, int percent) {
    if (percent == kNoProgress) return std::string(caption);
    return std::to_string(std::clamp(percent, 0, 100)) + "% - " + std::string(caption);
}

}  // namespace zelvar
