#include <windows.h>
// after windows.h, which it needs
#include <shlwapi.h>

#include <algorithm>

#include "base/wide_text.h"
#include "cli/station/com_port_names.h"
#include "cli/station/port_watch.h"

namespace zelvar::cli {

const char* const kDefaultPortGlob = "COM*";

std::set<std::string> CPortWatch::Present() const {
    const std::vector<std::string> listed = ListedComPorts();
    std::set<std::string> present;
    if (!m_ports.empty()) {
        for (const std::string& port : m_ports) {
            if (std::binary_search(listed.begin(), listed.end(), ComNameOf(port))) {
                present.insert(port);
            }
        }
        return present;
    }
    const std::wstring pattern = WideFromUtf8(m_pattern.c_str());
    for (const std::string& port : listed) {
        if (PathMatchSpecW(WideFromUtf8(port.c_str()).c_str(), pattern.c_str())) {
            present.insert(port);
        }
    }
    return present;
}

}  // namespace zelvar::cli
