#include "cli/station/local_time.h"

namespace zelvar::cli {

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

std::string LocalIsoTime(std::time_t when) {
    const std::tm local = LocalTime(when);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    return text;
}

}  // namespace zelvar::cli
