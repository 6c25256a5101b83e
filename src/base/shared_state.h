// Process-wide words shared between the dialog's thread and the worker thread. Each
// is written by one side and read by the other, so each is atomic (or, for texts,
// guarded and copied whole).
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace zelvar {

// A short text shared between threads; readers always get a whole copy.
template <std::size_t Capacity>
class CSharedText {
  public:
    explicit CSharedText(const char* initial = "") { Set(initial); }
    // Stores at most Capacity bytes of text, never cutting a UTF-8 sequence.
    void Set(const char* text);
    std::string Get() const {
        std::lock_guard lock(m_mutex);
        return m_text;
    }

  private:
    mutable std::mutex m_mutex;
    std::string m_text;
};

// Longest text that fits in limit bytes without splitting a UTF-8 sequence.
std::size_t Utf8Prefix(std::string_view text, std::size_t limit);
std::size_t Utf8Prefix(const char* text, std::size_t limit);
// Bytes of the first chars characters (not bytes) of a UTF-8 text.
std::size_t Utf8CharPrefix(std::string_view text, std::size_t chars);

template <std::size_t Capacity>
void CSharedText<Capacity>::Set(const char* text) {
    std::string copy(text, Utf8Prefix(text, Capacity));
    std::lock_guard lock(m_mutex);
    m_text = std::move(copy);
}

// The handheld's device names were short ("GPS1:"); a Linux device path is not
// (/dev/serial/by-id/... names run past 59 characters), so the name holds a path.
constexpr std::size_t kPortNameChars = 255;

// Flash programming has begun and the job has not ended.
extern std::atomic<bool> g_uploadBusy;
// The selected serial device ("GPS1:" at start).
extern CSharedText<kPortNameChars> g_portName;
// 0 loader mode, 1 terminal mode.
extern std::atomic<int> g_terminalMode;
// Set to stop a running job (dialog closed, Ctrl-C): its loops end at their next wait.
extern std::atomic<bool> g_jobCancel;

}  // namespace zelvar
