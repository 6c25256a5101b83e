#include <cstring>

#include "base/system_error.h"

namespace zelvar {

const char* SystemErrorText(int error) {
    return std::strerror(error);
}

}  // namespace zelvar
