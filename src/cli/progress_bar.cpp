#include "cli/progress_bar.h"

#include <algorithm>
#include <cstdio>

namespace zelvar::cli {

namespace {

constexpr int kBarCellsMax = 30;
constexpr int kBarCellsMin = 10;
constexpr double kKiB = 1024.0;

std::string FormatKiB(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", bytes / kKiB);
    return text;
}

std::string FormatDuration(double seconds) {
    if (seconds < 0) return "--:--";
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    }
    return text;
}

std::string FormatRate(double bytesPerSecond) {
    if (bytesPerSecond < 0) return "--.- KiB/s";
    return FormatKiB(bytesPerSecond) + " KiB/s";
}

}  // namespace

void CProgressMeter::Update(uint32_t done, uint32_t total, Clock::time_point now) {
    if (!m_active || done < m_snapshot.done || total != m_snapshot.total) {
        m_active = true;
        m_firstDone = done;
        m_firstTime = now;
        m_snapshot = ProgressSnapshot{};
    }
    m_snapshot.done = done;
    m_snapshot.total = total;
    const double elapsed = std::chrono::duration<double>(now - m_firstTime).count();
    if (elapsed > 0 && done > m_firstDone) {
        m_snapshot.bytesPerSecond = (done - m_firstDone) / elapsed;
        const uint32_t left = total > done ? total - done : 0;
        m_snapshot.secondsLeft = left / m_snapshot.bytesPerSecond;
    }
}

int ProgressPercent(uint32_t done, uint32_t total) {
    if (total == 0) return 100;
    const uint64_t percent = static_cast<uint64_t>(std::min(done, total)) * 100 / total;
    return static_cast<int>(percent);
}

std::string FormatProgressBar(const ProgressSnapshot& progress, int width) {
    const int percent = ProgressPercent(progress.done, progress.total);
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, " %3d%%  %s/%s KiB  %s  %s left", percent,
                  FormatKiB(progress.done).c_str(), FormatKiB(progress.total).c_str(),
                  FormatRate(progress.bytesPerSecond).c_str(),
                  FormatDuration(progress.secondsLeft).c_str());
    const std::string tail = numbers;
    const int room = width - static_cast<int>(tail.size()) - 2;
    const int cells = std::clamp(room, kBarCellsMin, kBarCellsMax);
    const int filled = cells * percent / 100;
    std::string line;
    line.reserve(cells + 2 + tail.size());
    line.push_back('[');
    line.append(filled, '#');
    line.append(cells - filled, '-');
    line.push_back(']');
    line.append(tail);
    if (width > 0 && static_cast<int>(line.size()) > width) line.resize(width);
    return line;
}

std::string FormatProgressText(uint32_t done, uint32_t total) {
    char text[96];
    std::snprintf(text, sizeof text, "%u/%u bytes (%d%%)", done, total,
                  ProgressPercent(done, total));
    return text;
}

}  // namespace zelvar::cli
