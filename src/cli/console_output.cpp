#include "cli/console_output.h"

#include "base/shared_state.h"
#include "cli/console_terminal.h"
#include "cli/json_names.h"
#include "cli/json_output.h"

namespace zelvar::cli {

namespace {

constexpr const char* kEraseLine = "\r\x1b[K";
constexpr const char* kFirstPhase = "connect";  // a job's phase before it reports one
constexpr const char* kLastPhase = "done";      // the phase of the verdict

}  // namespace

DisplayMode ChooseDisplayMode(bool json) {
    if (json) return DisplayMode::Json;
    return EnableControlSequences(stdout) ? DisplayMode::Terminal : DisplayMode::Plain;
}

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += ' ';
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

CConsoleOutput::CConsoleOutput(DisplayMode mode, std::FILE* out, std::FILE* err)
    : m_mode(mode), m_out(out), m_err(err) {}

void CConsoleOutput::SetJobContext(std::string_view port) {
    std::lock_guard lock(m_mutex);
    m_hasContext = true;
    m_port = port;
    m_phase = kFirstPhase;
    m_start = std::chrono::steady_clock::now();
}

void CConsoleOutput::Phase(std::string_view name) {
    std::lock_guard lock(m_mutex);
    m_phase = name;
    if (m_mode == DisplayMode::Json) WriteJson(JsonPhase(name));
}

void CConsoleOutput::Receiver(std::string_view when, const ReceiverInfo& info) {
    std::lock_guard lock(m_mutex);
    if (m_mode == DisplayMode::Json) WriteJson(JsonReceiver(when, info));
}

void CConsoleOutput::WriteJson(std::string line) {
    if (m_hasContext && !line.empty() && line.back() == '}') {
        const std::chrono::duration<double> since = std::chrono::steady_clock::now() - m_start;
        line.insert(line.size() - 1, JsonContext(since.count(), m_port, m_phase));
    }
    WriteLine(m_out, line);
}

void CConsoleOutput::WriteLine(std::FILE* stream, const std::string& line) {
    if (m_mode == DisplayMode::Terminal) EraseBottomLine();
    std::fputs(line.c_str(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
    if (m_mode == DisplayMode::Terminal) DrawBottomLine();
}

void CConsoleOutput::Message(std::string_view text) {
    std::lock_guard lock(m_mutex);
    if (m_mode == DisplayMode::Json) {
        WriteJson(JsonEvent(json::kMessage, text));
    } else {
        WriteLine(m_out, PrintableText(text));
    }
}

void CConsoleOutput::Status(std::string_view text) {
    std::lock_guard lock(m_mutex);
    switch (m_mode) {
        case DisplayMode::Json:
            WriteJson(JsonEvent(json::kStatus, text));
            break;
        case DisplayMode::Plain:
            if (!text.empty()) WriteLine(m_out, PrintableText(text));
            break;
        case DisplayMode::Terminal:
            m_status = PrintableText(text);
            DrawBottomLine();
            break;
    }
}

void CConsoleOutput::Progress(uint32_t done, uint32_t total) {
    std::lock_guard lock(m_mutex);
    m_meter.Update(done, total, CProgressMeter::Clock::now());
    if (m_mode == DisplayMode::Json) {
        WriteJson(JsonProgress(FormatProgressText(done, total), done, total));
    } else if (m_mode == DisplayMode::Terminal) {
        if (done >= total) {
            // The finished bar stays on screen as a line of its own.
            const std::string bar =
                FormatProgressBar(m_meter.Snapshot(), TerminalColumns(m_out) - 1);
            m_meter.Reset();
            m_status.clear();
            WriteLine(m_out, bar);
        } else {
            DrawBottomLine();
        }
    }
}

void CConsoleOutput::Alert(std::string_view caption, std::string_view text) {
    std::lock_guard lock(m_mutex);
    if (m_mode == DisplayMode::Json) WriteJson(JsonAlert(caption, text));
    WriteLine(m_err, PrintableText(text));
}

void CConsoleOutput::Question(std::string_view caption, std::string_view text, bool answer) {
    std::lock_guard lock(m_mutex);
    if (m_mode == DisplayMode::Json) {
        WriteJson(JsonQuestion(caption, text, answer));
    } else {
        WriteLine(m_out, PrintableText(caption) + ": " + PrintableText(text) + " " +
                             (answer ? "Yes" : "No"));
    }
}

void CConsoleOutput::Info(std::string_view text) {
    std::lock_guard lock(m_mutex);
    if (m_mode == DisplayMode::Json) {
        WriteJson(JsonEvent(json::kInfo, text));
    } else {
        WriteLine(m_out, PrintableText(text));
    }
}

void CConsoleOutput::Result(int code, std::string_view text) {
    std::lock_guard lock(m_mutex);
    m_phase = kLastPhase;
    if (m_mode == DisplayMode::Json) WriteJson(JsonResult(code, text));
}

void CConsoleOutput::FlashResult(int code, std::string_view text, std::string_view state,
                                 std::string_view reason, const std::optional<LineFigures>& line) {
    std::lock_guard lock(m_mutex);
    m_phase = kLastPhase;
    if (m_mode == DisplayMode::Json) WriteJson(JsonFlashResult(code, text, state, reason, line));
}

void CConsoleOutput::Note(std::string_view text) {
    std::lock_guard lock(m_mutex);
    WriteLine(m_err, "zelvar: " + PrintableText(text));
}

void CConsoleOutput::ClearBottomLine() {
    std::lock_guard lock(m_mutex);
    if (m_mode != DisplayMode::Terminal) return;
    EraseBottomLine();
    m_status.clear();
    m_meter.Reset();
}

void CConsoleOutput::DrawBottomLine() {
    const int width = TerminalColumns(m_out) - 1;  // the last column would wrap on some terminals
    std::string line;
    if (m_meter.Active()) {
        line = FormatProgressBar(m_meter.Snapshot(), width);
        if (!m_status.empty() && static_cast<int>(line.size()) + 2 < width) {
            line += "  " + m_status;
        }
    } else {
        line = m_status;
    }
    if (static_cast<int>(line.size()) > width) line.resize(Utf8Prefix(line.c_str(), width));
    std::fputs(kEraseLine, m_out);
    std::fputs(line.c_str(), m_out);
    std::fflush(m_out);
    m_bottomShown = !line.empty();
}

void CConsoleOutput::EraseBottomLine() {
    if (!m_bottomShown) return;
    std::fputs(kEraseLine, m_out);
    std::fflush(m_out);
    m_bottomShown = false;
}

}  // namespace zelvar::cli
