#include "sim/sim_trace.h"

#include <algorithm>
#include <chrono>

#include "sim/sim_constants.h"

namespace zelvar::sim {

namespace {
constexpr const char* kTraceFull = "trace full";  // the event that ends a full trace
}  // namespace

CSimTrace::~CSimTrace() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

bool CSimTrace::OpenFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_file = std::fopen(path.c_str(), "w");
    return m_file != nullptr;
}

void CSimTrace::Add(TraceEntry entry) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        WriteLine(entry);
        // Bytes stop being kept when the trace is full; events (a few per frame) are
        // kept up to a second allowance, so tests can still wait for them.
        bool isByte = entry.kind != TraceKind::Event;
        size_t limit = isByte ? kMaxTraceEntries : 2 * kMaxTraceEntries;
        if (m_entries.size() < limit) {
            m_entries.push_back(std::move(entry));
        } else if (!m_full) {
            m_full = true;
            TraceEntry last;
            last.timeMs = entry.timeMs;
            last.text = kTraceFull;
            m_entries.push_back(std::move(last));
        }
    }
    m_changed.notify_all();
}

void CSimTrace::WriteLine(const TraceEntry& e) {
    if (m_file == nullptr) {
        return;
    }
    if (e.kind == TraceKind::Event) {
        std::fprintf(m_file, "%10.3f %6u      %s\n", e.timeMs, e.simSpeed, e.text.c_str());
    } else {
        const char* dir = e.kind == TraceKind::Received ? "rx" : "tx";
        std::fprintf(m_file, "%10.3f %6u %s %02X", e.timeMs, e.simSpeed, dir, e.byte);
        if (e.junk) {
            std::fprintf(m_file, " junk (line %u, meant %02X)", e.lineSpeed, e.meant);
        } else if (e.byte != e.meant) {
            std::fprintf(m_file, " (meant %02X)", e.meant);
        }
        if (!e.text.empty()) {
            std::fprintf(m_file, " %s", e.text.c_str());
        }
        std::fputc('\n', m_file);
    }
    std::fflush(m_file);
}

std::vector<TraceEntry> CSimTrace::Entries() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries;
}

bool CSimTrace::WaitForEvent(const std::string& prefix, int timeoutMs) const {
    size_t next = 0;  // entries before it were looked at already
    auto found = [&] {
        for (; next < m_entries.size(); ++next) {
            const TraceEntry& e = m_entries[next];
            if (e.kind == TraceKind::Event && e.text.compare(0, prefix.size(), prefix) == 0) {
                return true;
            }
        }
        return false;
    };
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), found);
}

size_t CSimTrace::CountEvents(const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t count = 0;
    for (const TraceEntry& e : m_entries) {
        if (e.kind == TraceKind::Event && e.text.compare(0, prefix.size(), prefix) == 0) {
            ++count;
        }
    }
    return count;
}

double LongestQuietMs(const std::vector<TraceEntry>& trace, double untilMs) {
    double longest = 0;
    double last = -1;
    for (const TraceEntry& e : trace) {
        if (e.kind == TraceKind::Event && e.text == kTraceFull) return longest;
        if (e.kind == TraceKind::Event) continue;
        if (last >= 0) longest = std::max(longest, e.timeMs - last);
        last = e.timeMs;
    }
    return last >= 0 ? std::max(longest, untilMs - last) : untilMs;
}

}  // namespace zelvar::sim
