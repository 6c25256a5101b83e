// What the simulated receiver received, sent and did, with times and line speeds, kept
// in memory for tests and optionally written to a file as it happens.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace zelvar::sim {

enum class TraceKind { Received, Sent, Event };

struct TraceEntry {
    double timeMs = 0;  // since the receiver started
    TraceKind kind = TraceKind::Event;
    uint8_t byte = 0;        // received or sent byte as it went over the pty
    uint8_t meant = 0;       // the byte the other side meant (differs from byte for junk)
    bool junk = false;       // the two sides' speeds differed
    uint32_t simSpeed = 0;   // the receiver's own speed
    uint32_t lineSpeed = 0;  // the speed the loader had set on its side
    std::string text;        // events only
};

class CSimTrace {
  public:
    ~CSimTrace();
    bool OpenFile(const std::string& path);
    void Add(TraceEntry entry);
    std::vector<TraceEntry> Entries() const;
    // Waits until an event whose text starts with prefix has been traced (also one traced
    // before the call); false after timeoutMs.
    bool WaitForEvent(const std::string& prefix, int timeoutMs) const;
    size_t CountEvents(const std::string& prefix) const;

  private:
    void WriteLine(const TraceEntry& entry);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<TraceEntry> m_entries;
    bool m_full = false;
    FILE* m_file = nullptr;
};

// The longest time the line carried no byte in either direction, from the first byte up
// to untilMs on the receiver's clock (the end of a run); when the trace filled up, only
// up to the last byte it kept.
double LongestQuietMs(const std::vector<TraceEntry>& trace, double untilMs);

}  // namespace zelvar::sim
