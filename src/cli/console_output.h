// What the command line shows of a run: message lines, status texts, message boxes and
// programming progress, in one of three displays:
//  - Terminal: messages scroll, status texts and the progress bar share one
//    self-updating bottom line;
//  - Plain (standard output is not a terminal): every message and non-empty status
//    text is a line of its own, no control characters, no progress bar;
//  - Json: one JSON object per line for every message, status text and progress step.
// Callable from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "cli/line_figures.h"
#include "cli/progress_bar.h"
#include "link/receiver_queries.h"

namespace zelvar::cli {

enum class DisplayMode { Terminal, Plain, Json };

// Terminal when standard output is a terminal (and json is off), Plain otherwise.
DisplayMode ChooseDisplayMode(bool json);

// text with every control character (CR LF pairs included) turned into one space, so
// that nothing the receiver sends can move the cursor or change the terminal.
std::string PrintableText(std::string_view text);

class CConsoleOutput {
  public:
    CConsoleOutput(DisplayMode mode, std::FILE* out, std::FILE* err);

    DisplayMode Mode() const { return m_mode; }
    // From now on every JSON line also carries the seconds since this call, the port and
    // the job's current phase, so that a station can follow many units at once.
    void SetJobContext(std::string_view port);
    // The job entered a new step: JSON kind "phase" (nothing on the human display).
    void Phase(std::string_view name);
    // What a connect read back from the receiver: JSON kind "receiver" only (the human
    // display has the connect's own lines).
    void Receiver(std::string_view when, const ReceiverInfo& info);
    void Message(std::string_view text);
    void Status(std::string_view text);
    void Progress(uint32_t done, uint32_t total);
    // A message box with an OK button: shown on standard error (and as JSON).
    void Alert(std::string_view caption, std::string_view text);
    // A Yes/No question and the answer it got.
    void Question(std::string_view caption, std::string_view text, bool answer);
    // A line of the command line's own (inspect's summary): stdout, JSON kind "info".
    void Info(std::string_view text);
    // The command's verdict; shown only as JSON (the human display has its own lines).
    void Result(int code, std::string_view text);
    // The verdict of flash, with the receiver's state, why it failed and, once frames were
    // sent, the programming's line figures (JSON only).
    void FlashResult(int code, std::string_view text, std::string_view state,
                     std::string_view reason, const std::optional<LineFigures>& line);
    // A note of the command line itself (reasons, hints), on standard error.
    void Note(std::string_view text);
    // Clears the bottom line, so that a prompt or the shell starts on a clean line.
    void ClearBottomLine();

  private:
    void WriteLine(std::FILE* stream, const std::string& line);  // caller holds m_mutex
    void WriteJson(std::string line);                            // caller holds m_mutex
    void DrawBottomLine();                                       // caller holds m_mutex
    void EraseBottomLine();                                      // caller holds m_mutex

    std::mutex m_mutex;
    DisplayMode m_mode;
    std::FILE* m_out;
    std::FILE* m_err;
    std::string m_status;
    CProgressMeter m_meter;
    bool m_bottomShown = false;
    bool m_hasContext = false;
    std::string m_port;
    std::string m_phase;
    std::chrono::steady_clock::time_point m_start;
};

}  // namespace zelvar::cli
