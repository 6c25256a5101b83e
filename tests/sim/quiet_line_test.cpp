// The longest quiet stretch of a traced line: the measure behind "no wait without a bound".
#include <gtest/gtest.h>

#include "sim/sim_trace.h"

namespace zelvar::sim {
namespace {

TraceEntry Byte(double atMs, TraceKind kind = TraceKind::Received) {
    TraceEntry e;
    e.timeMs = atMs;
    e.kind = kind;
    return e;
}

TraceEntry Event(double atMs, const char* text) {
    TraceEntry e;
    e.timeMs = atMs;
    e.text = text;
    return e;
}

TEST(LongestQuiet, CountsBytesEitherWayButNotEventsAndRunsToTheEnd) {
    // 100 -> 900 is the longest gap between bytes; an event inside it does not break it.
    const std::vector<TraceEntry> trace = {Byte(100), Event(400, "frame 1: 8 payload bytes"),
                                           Byte(900, TraceKind::Sent), Byte(1000)};
    EXPECT_DOUBLE_EQ(LongestQuietMs(trace, 1200), 800);
    // A run that ends long after its last byte was quiet for that long.
    EXPECT_DOUBLE_EQ(LongestQuietMs(trace, 5000), 4000);
    // No byte at all: the whole run was quiet.
    EXPECT_DOUBLE_EQ(LongestQuietMs({Event(10, "mode normal")}, 3000), 3000);
}

TEST(LongestQuiet, FullTraceIsMeasuredOnlyAsFarAsItKeptBytes) {
    const std::vector<TraceEntry> trace = {Byte(100), Byte(300), Event(310, "trace full")};
    EXPECT_DOUBLE_EQ(LongestQuietMs(trace, 60000), 200);
}

}  // namespace
}  // namespace zelvar::sim
