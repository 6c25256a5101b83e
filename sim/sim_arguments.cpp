#include "sim/sim_arguments.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <type_traits>

#include "base/simulator_link_posix.h"

namespace zelvar::sim {

namespace {

constexpr const char* kDescription = "zelvar-sim: a simulated GPS receiver on a pseudo-terminal";
constexpr const char* kFaultsGroup = "faults (each fires once)";
constexpr const char* kLineFaultsGroup = "line faults (while a loader runs, from --seed)";

// A whole number in digits of base (no sign, no prefix); false unless it fits T.
template <typename T>
bool ParseWhole(const std::string& text, T& value, int base = 10) {
    unsigned long long n = 0;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, n, base);
    if (text.empty() || error != std::errc() || end != last ||
        n > static_cast<unsigned long long>(std::numeric_limits<T>::max())) {
        return false;
    }
    value = static_cast<T>(n);
    return true;
}

// A rate from 0 to 1.
bool ParseRate(const std::string& text, double& rate) {
    double value = 0;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    if (text.empty() || error != std::errc() || end != last || !(value >= 0 && value <= 1)) {
        return false;
    }
    rate = value;
    return true;
}

template <typename T>
bool ParseDecimal(std::string text, T& value) {
    return ParseWhole(text, value);
}

template <typename T>
bool ParseHex(std::string text, T& value) {
    return ParseWhole(text, value, 16);
}

// A hexadecimal word, with or without a leading 0x.
bool ParseHexWord(std::string text, uint32_t& value) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
    return ParseWhole(text, value, 16);
}

// FIRST, or FIRST, separator, SECOND: each part read by its own function. second keeps
// its value when the text has no separator.
template <typename A, typename B>
bool ParsePair(const std::string& text, char separator, bool (*readFirst)(std::string, A&),
               A& first, bool (*readSecond)(std::string, B&), B& second) {
    const std::size_t at = text.find(separator);
    return readFirst(text.substr(0, at), first) &&
           (at == std::string::npos || readSecond(text.substr(at + 1), second));
}

// COUNT@N, or COUNT alone for frame 1.
bool ParseStorm(const std::string& text, SimFaults& faults) {
    int count = 0;
    int frame = 1;
    if (!ParsePair(text, '@', ParseDecimal<int>, count, ParseDecimal<int>, frame)) return false;
    faults.stormCount = count;
    faults.stormFrame = frame;
    return true;
}

// K, or K:HH with the byte in hex.
bool ParseEraseUnknown(const std::string& text, SimFaults& faults) {
    int after = 0;
    uint8_t byte = faults.eraseUnknownByte;
    if (!ParsePair(text, ':', ParseDecimal<int>, after, ParseHex<uint8_t>, byte)) return false;
    faults.eraseUnknownAfter = after;
    faults.eraseUnknownByte = byte;
    return true;
}

// ADDR, or ADDR:MASK, both in hex.
bool ParseCorruptWord(const std::string& text, SimFaults& faults) {
    uint32_t address = 0;
    uint32_t mask = faults.corruptWordMask;
    if (!ParsePair(text, ':', ParseHexWord, address, ParseHexWord, mask)) return false;
    faults.corruptWordAddress = address;
    faults.corruptWordMask = mask;
    return true;
}

using Parse = std::function<bool(const std::string&)>;

// An option with one value that parse reads; a value it refuses is an error that says
// what was expected.
CLI::Option* AddValue(CLI::App& app, const std::string& name, const std::string& meta,
                      const std::string& help, const std::string& expected, Parse parse) {
    auto apply = [name, expected, parse](const std::string& text) {
        if (!parse(text)) throw CLI::ValidationError(name, "'" + text + "' is not " + expected);
    };
    return app.add_option_function<std::string>(name, apply, help)->type_name(meta);
}

template <typename T>
CLI::Option* AddWhole(CLI::App& app, const std::string& name, const std::string& meta,
                      const std::string& help, T& target) {
    const std::string expected =
        "a whole number from 0 to " + std::to_string(std::numeric_limits<T>::max());
    return AddValue(app, name, meta, help, expected,
                    [&target](const std::string& text) { return ParseWhole(text, target); });
}

CLI::Option* AddRate(CLI::App& app, const std::string& name, const std::string& help,
                     double& target) {
    return AddValue(app, name, "RATE", help, "a rate from 0 to 1",
                    [&target](const std::string& text) { return ParseRate(text, target); });
}

// " (default)" after a help text.
template <typename T>
std::string Default(const T& value) {
    if constexpr (std::is_arithmetic_v<T>) {
        return " (" + std::to_string(value) + ")";
    } else {
        return " (" + std::string(value) + ")";
    }
}

void AddReceiverOptions(CLI::App& app, SimOptions& o) {
    const SimOptions defaults;
    app.add_option("--link", o.linkPath,
                   "link to the serial device (default " + DefaultSimLinkPath() + ")")
        ->type_name("PATH");
    AddWhole(app, "--speed", "N", "normal line speed" + Default(defaults.normalSpeed),
             o.normalSpeed);
    app.add_option("--version", o.versionText,
                   "identification version field" + Default(defaults.versionText))
        ->type_name("TEXT");
    app.add_option("--pfld-version", o.pfldVersion,
                   "resident loader version" + Default(defaults.pfldVersion))
        ->type_name("TEXT");
    app.add_option("--sfld-version", o.sfldVersion, "SFLD version" + Default(defaults.sfldVersion))
        ->type_name("TEXT");
    app.add_flag("--pace", o.pace, "act and answer at the real line rate");
    app.add_option("--flash-in", o.flashIn, "composite image loaded into flash")->type_name("FILE");
    app.add_option("--flash-out", o.flashOut, "flash written after programming and at exit")
        ->type_name("FILE");
    app.add_flag("--start-in-pfld", o.startInPfld, "start in the resident loader");
    AddWhole(app, "--noise", "MS", "NMEA-like output every MS in normal operation",
             o.noisePeriodMs);
    AddWhole(app, "--sector-erase-ms", "MS",
             "time to erase one 4 KiB sector" + Default(defaults.sectorEraseMs), o.sectorEraseMs);
    app.add_option("--trace", o.traceFile, "trace of received and sent bytes and events")
        ->type_name("FILE");
    AddWhole(app, "--seed", "N", "seed of the junk bytes and line faults" + Default(defaults.seed),
             o.seed);
}

void AddFaultOptions(CLI::App& app, SimFaults& f) {
    AddWhole(app, "--bad-csum", "N", "answer BAD_CSUM to frame N", f.badCsumFrame);
    AddWhole(app, "--spoil-frame", "N",
             "flip one bit in two words of frame N, where its check word cannot see it",
             f.spoilFrame);
    AddValue(app, "--wait-storm", "COUNT@N", "COUNT REC_WAIT bytes before answering frame N",
             "COUNT or COUNT@N", [&f](const std::string& text) { return ParseStorm(text, f); });
    AddWhole(app, "--erase-fail", "K", "ERASE_FAILED after K erased sectors", f.eraseFailAfter);
    AddWhole(app, "--erase-fail-times", "N",
             "--erase-fail fires on N erases" + Default(f.eraseFailTimes), f.eraseFailTimes);
    char byte[8];
    std::snprintf(byte, sizeof byte, "%02X", f.eraseUnknownByte);
    AddValue(app, "--erase-unknown", "K[:HH]",
             std::string("byte HH (") + byte + ") after K erased sectors", "K or K:HH (HH in hex)",
             [&f](const std::string& text) { return ParseEraseUnknown(text, f); });
    AddWhole(app, "--silence-after-bytes", "N", "fall silent after N received bytes",
             f.silenceAfterBytes);
    AddWhole(app, "--silence-after-frame", "N", "fall silent when frame N is complete, unanswered",
             f.silenceAfterFrame);
    AddWhole(app, "--silence-ms", "MS", "length of the silence (0: for good)", f.silenceMs);
    AddWhole(app, "--only-speed", "S", "send nothing while not at speed S", f.answerOnlyAtSpeed);
    AddWhole(app, "--vanish-after", "N", "close the line after N received bytes",
             f.vanishAfterBytes);
    AddValue(app, "--corrupt-word", "ADDR[:MASK]",
             "after programming, XOR the flash word at ADDR with MASK (1)",
             "ADDR or ADDR:MASK (in hex)",
             [&f](const std::string& text) { return ParseCorruptWord(text, f); });
}

void AddLineFaultOptions(CLI::App& app, SimFaults& f) {
    AddRate(app, "--ber-in", "bit error rate of received bytes (0 to 1)", f.bitErrorRateIn);
    AddRate(app, "--ber-out", "bit error rate of sent bytes (0 to 1)", f.bitErrorRateOut);
    AddWhole(app, "--drop-byte", "N", "received byte N is lost (once)", f.dropByteIn);
    AddWhole(app, "--corrupt-ack", "N", "REC_ACK to frame N goes out as 0x54 (once)",
             f.corruptAckFrame);
    AddWhole(app, "--miss-handshake", "N", "the 0x55 that would arm frame N is not heard (once)",
             f.missHandshakeFrame);
}

}  // namespace

int ParseSimArguments(int argc, const char* const* argv, SimOptions& options, std::ostream& out) {
    options.linkPath = DefaultSimLinkPath();
    CLI::App app(kDescription, "zelvar-sim");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    AddReceiverOptions(app, options);
    // Each group of faults under its own heading of the help.
    app.option_defaults()->group(kFaultsGroup);
    AddFaultOptions(app, options.faults);
    app.option_defaults()->group(kLineFaultsGroup);
    AddLineFaultOptions(app, options.faults);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            out << app.help();
            return 0;
        }
        out << "zelvar-sim: " << error.what() << "\n" << app.help();
        return kSimUsageExit;
    }
    return kSimRun;
}

}  // namespace zelvar::sim
