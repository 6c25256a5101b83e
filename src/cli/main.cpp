// zelvar: the command-line front end of the firmware loader.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/process_start.h"
#include "cli/signal_watch.h"
#include "cli/station/port_watch.h"

namespace zelvar::cli {

namespace {

constexpr const char* kDescription =
    "Zelvar Firmware Loader: loads firmware into the GPS receiver over a serial line.";

std::string CheckPortName(const std::string& name) {
    if (name.empty()) return "the device name is empty";
    if (name.size() > kPortNameChars) {
        return "the device name is longer than " + std::to_string(kPortNameChars) + " bytes";
    }
    return {};
}

void AddLogAndJson(CLI::App* command, DeviceOptions& device, bool withJson) {
    command->add_option(
        "--log", device.logPath,
        "write the log file here (default: Zelvar.txt beside a copied program, else in "
        "$XDG_STATE_HOME/zelvar/, on Windows %LOCALAPPDATA%\\zelvar\\)");
    if (withJson) {
        command->add_flag("--json", device.json,
                          "one JSON object per line for every message, status and progress step");
    }
}

void AddDeviceOptions(CLI::App* command, DeviceOptions& device, bool withJson) {
    command->add_option("--port", device.port, "serial device: a path, or GPS1: / GPS2:")
        ->required()
        ->check(CheckPortName, "DEVICE");
    AddLogAndJson(command, device, withJson);
}

// The flash command's units: one --port or several, a list file, or the devices that
// appear while it watches.
void AddFlashUnitOptions(CLI::App* flash, FlashOptions& options) {
    flash
        ->add_option("--port", options.ports,
                     "serial device: a path, or GPS1: / GPS2:; repeat it to flash several "
                     "receivers at once")
        ->check(CheckPortName, "DEVICE");
    flash->add_option("--ports-from", options.portsFrom, "flash every port listed in FILE")
        ->check(CLI::ExistingFile);
    CLI::Option* logDir = flash->add_option("--log-dir", options.logDir,
                                            "one log file per unit in DIR, named by port and time");
    flash->add_option("--report", options.reportPath,
                      "write one record per unit to FILE (.csv or .json)");
    flash->add_flag("--watch", options.watch,
                    "flash each serial device as it appears, until Ctrl-C");
    flash->add_option(
        "--port-glob", options.portGlob,
        std::string("with --watch: the devices to watch (default ") + kDefaultPortGlob + ")");
    CLI::Option* verify =
        flash->add_flag("--verify{words}")
            ->description(
                "after the upload, connect again and compare the receiver with the image (the "
                "default); --verify=full also reads back every word the image programs")
            ->check(CLI::IsMember({"words", "full"}))
            ->each([&options](const std::string& mode) {
                options.verify = mode == "full" ? VerifyMode::Full : VerifyMode::Words;
            });
    CLI::Option* noVerify = flash->add_flag_callback(
        "--no-verify", [&options] { options.verify = VerifyMode::Off; },
        "skip the check after the upload");
    verify->excludes(noVerify);
    AddLogAndJson(flash, options.device, true);
    flash->get_option("--log")->excludes(logDir);
}

struct Commands {
    DeviceOptions connect;
    FlashOptions flash;
    TerminalOptions terminal;
    InspectOptions inspect;
    MakeImageOptions makeImage;
};

void DefineCommands(CLI::App& app, Commands& c) {
    CLI::App* connect = app.add_subcommand("connect", "find the receiver and list its flash");
    AddDeviceOptions(connect, c.connect, true);

    CLI::App* flash = app.add_subcommand("flash", "connect, then load IMAGE into the receiver");
    AddFlashUnitOptions(flash, c.flash);
    CLI::Option* yes = flash->add_flag_callback(
        "--yes", [&c] { c.flash.policy = AnswerPolicy::AlwaysYes; },
        "answer Yes when the receiver's PFLD is to be rewritten");
    CLI::Option* no = flash->add_flag_callback(
        "--no", [&c] { c.flash.policy = AnswerPolicy::AlwaysNo; },
        "answer No when the receiver's PFLD is to be rewritten (the upload stops)");
    yes->excludes(no);
    flash
        ->add_option("--timeout", c.flash.timeoutSeconds,
                     "stop the job after SECONDS (default: no limit)")
        ->check(CLI::PositiveNumber);
    flash->add_option("IMAGE", c.flash.image, "firmware image: composite binary or S-record")
        ->required();

    CLI::App* terminal =
        app.add_subcommand("terminal", "talk to the receiver: typed lines are sent, Ctrl-C leaves");
    AddDeviceOptions(terminal, c.terminal.device, true);
    terminal->add_option("--speed", c.terminal.speed, "line speed (default 4800)")
        ->check(CLI::IsMember({4800, 9600, 19200, 57600, 115200}));
    terminal->add_flag("--hex", c.terminal.hex, "show received bytes as hex");

    CLI::App* inspect =
        app.add_subcommand("inspect", "check IMAGE as the upload would, without a receiver");
    inspect->add_flag("--json", c.inspect.json, "one JSON object per line");
    inspect->add_option("IMAGE", c.inspect.image, "firmware image")->required();

    CLI::App* makeImage = app.add_subcommand("make-image", "build a composite firmware image");
    makeImage->add_option("--pfld", c.makeImage.pfld, "PFLD section contents (binary)")->required();
    makeImage->add_option("--fw", c.makeImage.fw, "FW section contents (binary)")->required();
    makeImage->add_option("--sfld", c.makeImage.sfld, "SFLD as S-record text");
    makeImage->add_option("OUT", c.makeImage.out, "image file to write")->required();
}

// Commands without a job of their own to stop end at once on Ctrl-C.
void ExitOnStopSignal() {
    WatchStopSignals([] { std::_Exit(kExitInterrupted); });
}

int DispatchFlash(FlashOptions options) {
    if (options.StationMode()) return RunStationCommand(options);
    if (options.ports.empty()) {
        std::fputs("zelvar: flash needs --port DEVICE (or --ports-from FILE, or --watch)\n",
                   stderr);
        return kExitUsage;
    }
    options.device.port = options.ports.front();
    return RunFlashCommand(options);
}

int Dispatch(CLI::App& app, const Commands& c) {
    if (!app.got_subcommand("flash") && !app.got_subcommand("terminal")) ExitOnStopSignal();
    if (app.got_subcommand("connect")) return RunConnectCommand(c.connect);
    if (app.got_subcommand("flash")) return DispatchFlash(c.flash);
    if (app.got_subcommand("terminal")) return RunTerminalCommand(c.terminal);
    if (app.got_subcommand("inspect")) return RunInspectCommand(c.inspect);
    if (app.got_subcommand("make-image")) return RunMakeImageCommand(c.makeImage);
    return kExitUsage;
}

}  // namespace

int Main(const std::vector<std::string>& arguments) {
    BlockStopSignals();
    PrepareProcess();
    CLI::App app(kDescription, "zelvar");
    app.set_version_flag("--version", std::string("zelvar ") + kStrVersion);
    app.require_subcommand(1);
    // Options are spelled --name everywhere: on Windows CLI11 would also take "/name",
    // and an absolute path (under Wine, say) would then be no image but an option.
    app.allow_windows_style_options(false);
    Commands commands;
    DefineCommands(app, commands);
    try {
        ParseCommandLine(app, arguments);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? kExitSuccess : kExitUsage;
    }
    return Dispatch(app, commands);
}

}  // namespace zelvar::cli

int main(int argc, char** argv) {
    return zelvar::cli::Main(zelvar::cli::ProgramArguments(argc, argv));
}
