#include "cli/station/port_watch.h"

namespace zelvar::cli {

CPortWatch::CPortWatch(std::vector<std::string> ports, std::string pattern)
    : m_ports(std::move(ports)), m_pattern(pattern.empty() ? kDefaultPortGlob : pattern) {}

std::vector<std::string> CPortWatch::Appeared() {
    std::set<std::string> present = Present();
    std::vector<std::string> appeared;
    for (const std::string& device : present) {
        if (m_present.count(device) == 0) appeared.push_back(device);
    }
    m_present = std::move(present);
    return appeared;
}

}  // namespace zelvar::cli
