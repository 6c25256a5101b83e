// One JSON object per line, for production tools that follow a flash without scraping
// the human display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/line_figures.h"
#include "link/receiver_queries.h"

namespace zelvar::cli {

// value as a JSON number to three significant digits ("0.000243", "1.5e-07", "0").
std::string JsonNumber(double value);

// text as a JSON string literal, quotes included. Control characters are escaped and
// bytes that are not valid UTF-8 become U+FFFD, so the result always parses.
std::string JsonString(std::string_view text);

// {"kind":"<kind>","text":"<text>"}
std::string JsonEvent(std::string_view kind, std::string_view text);
// {"kind":"progress","text":"<text>","done":<done>,"total":<total>}
std::string JsonProgress(std::string_view text, uint32_t done, uint32_t total);
// {"kind":"question","caption":"<caption>","text":"<text>","answer":"yes"|"no"}
std::string JsonQuestion(std::string_view caption, std::string_view text, bool answer);
// {"kind":"alert","caption":"<caption>","text":"<text>"}
std::string JsonAlert(std::string_view caption, std::string_view text);
// {"kind":"result","code":<code>,"text":"<text>"}
std::string JsonResult(int code, std::string_view text);
// {"kind":"result","code":<code>,"text":"<text>","state":"<state>","reason":"<reason>"}: the
// verdict of flash, with the receiver's state and why it failed ("" after a success); with
// line, also "frames_sent", "frames_refused", "mean_frame_bytes" and "undetected_chance".
std::string JsonFlashResult(int code, std::string_view text, std::string_view state,
                            std::string_view reason,
                            const std::optional<LineFigures>& line = std::nullopt);
// {"kind":"phase","text":"<phase>"}: the job entered a new step.
std::string JsonPhase(std::string_view phase);
// {"kind":"receiver","text":..,"when":"<when>","pfld_start":"0x10000000",..}: what a connect
// read back from the receiver's flash, the words as hex strings ("" for a missing section)
// and the versions as shown.
std::string JsonReceiver(std::string_view when, const ReceiverInfo& info);

// Where a line of a unit's job stands: `,"t":<seconds>,"port":"<port>","phase":"<phase>"`,
// placed before a line's closing brace.
std::string JsonContext(double seconds, std::string_view port, std::string_view phase);

}  // namespace zelvar::cli
