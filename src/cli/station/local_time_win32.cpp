// The C runtime's strftime writes the zone's name for %z: the offset is worked out here.
#include <cstdio>

#include "cli/station/local_time.h"

namespace zelvar::cli {

namespace {

constexpr long kSecondsPerMinute = 60;
constexpr long kMinutesPerHour = 60;

}  // namespace

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    localtime_s(&local, &when);
    return local;
}

std::string LocalIsoTime(std::time_t when) {
    const std::tm local = LocalTime(when);
    std::tm asUtc = local;
    // The local clock's reading taken as UTC, less the moment itself: the offset.
    const long minutesEast = static_cast<long>(_mkgmtime(&asUtc) - when) / kSecondsPerMinute;
    const long magnitude = minutesEast < 0 ? -minutesEast : minutesEast;
    char stamp[24];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    char text[32];
    std::snprintf(text, sizeof text, "%s%c%02ld%02ld", stamp, minutesEast < 0 ? '-' : '+',
                  magnitude / kMinutesPerHour, magnitude % kMinutesPerHour);
    return text;
}

}  // namespace zelvar::cli
