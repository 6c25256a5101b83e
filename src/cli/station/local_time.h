// The station's time stamps in local time, read in each platform's thread-safe way
// (local_time_posix.cpp, local_time_win32.cpp).
#pragma once

#include <ctime>
#include <string>

namespace zelvar::cli {

std::tm LocalTime(std::time_t when);

// "2026-12-08T19:40:03+0100": local time and its offset from UTC.
std::string LocalIsoTime(std::time_t when);

}  // namespace zelvar::cli
