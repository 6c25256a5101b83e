// The devices --watch flashes: the ports matching a pattern, or given ports, looked at
// every kPortWatchIntervalMs. A device counts as new when it is present now and was
// not at the previous look, so one that stays plugged in is reported once. On Linux the
// pattern is a glob of device paths (port_watch_posix.cpp); on Windows it matches the
// COM port names the system lists in its SERIALCOMM key (port_watch_win32.cpp).
#pragma once

#include <set>
#include <string>
#include <vector>

namespace zelvar::cli {

constexpr int kPortWatchIntervalMs = 250;
// "/dev/serial/by-id/*"; on Windows "COM*".
extern const char* const kDefaultPortGlob;

class CPortWatch {
  public:
    // With ports given they are watched; else the ports that match pattern.
    CPortWatch(std::vector<std::string> ports, std::string pattern);

    // The devices present now that were not at the previous call, in name order.
    std::vector<std::string> Appeared();

  private:
    std::set<std::string> Present() const;

    std::vector<std::string> m_ports;
    std::string m_pattern;
    std::set<std::string> m_present;
};

}  // namespace zelvar::cli
