// The devices --watch flashes: the paths matching a glob, or given ports, looked at
// every kPortWatchIntervalMs. A device counts as new when it is present now and was
// not at the previous look, so one that stays plugged in is reported once.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace zelvar::cli {

constexpr int kPortWatchIntervalMs = 250;
constexpr const char* kDefaultPortGlob = "/dev/serial/by-id/*";

class CPortWatch {
  public:
    // With ports given they are watched; else the paths that match pattern.
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
