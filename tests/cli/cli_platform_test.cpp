// The pieces that differ by platform, as the Linux build has them: the arguments' way
// into CLI11 and what the console tells about itself.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/console_terminal.h"
#include "pty_pair.h"

namespace zelvar::cli {
namespace {

struct FlashLine {
    CLI::App app{"test", "zelvar"};
    std::vector<std::string> ports;
    std::string image;
    bool json = false;

    FlashLine() {
        app.require_subcommand(1);
        CLI::App* flash = app.add_subcommand("flash");
        flash->add_option("--port", ports);
        flash->add_flag("--json", json);
        flash->add_option("IMAGE", image);
    }
};

TEST(CliCommandLine, ArgumentsReachTheParserInTheirOrderWithoutTheProgramName) {
    FlashLine line;
    ParseCommandLine(line.app, {"C:\\Tools\\zelvar.exe", "flash", "--port", "COM7", "--port",
                                "COM3", "--json", "D:\\Ab lage\\\xC3\xA4rger.bin"});
    ASSERT_TRUE(line.app.got_subcommand("flash"));
    EXPECT_EQ(line.ports, (std::vector<std::string>{"COM7", "COM3"}));
    EXPECT_TRUE(line.json);
    EXPECT_EQ(line.image, "D:\\Ab lage\\\xC3\xA4rger.bin");
}

TEST(CliCommandLine, NoArgumentsAtAllIsAParseError) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, std::vector<std::string>{"zelvar"}}) {
        FlashLine line;
        EXPECT_THROW(ParseCommandLine(line.app, arguments), CLI::ParseError);
    }
}

void SetColumns(int master, unsigned short columns) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = columns;
    ASSERT_EQ(ioctl(master, TIOCSWINSZ, &size), 0);
}

TEST(CliConsole, ATerminalGivesItsWidthAndAnythingElseTheDefault) {
    test::PtyPair pty;
    std::FILE* terminal = std::fopen(pty.SlavePath().c_str(), "w");
    ASSERT_NE(terminal, nullptr);
    EXPECT_TRUE(EnableControlSequences(terminal));
    SetColumns(pty.Master(), 132);
    EXPECT_EQ(TerminalColumns(terminal), 132);
    SetColumns(pty.Master(), 0);  // a terminal that does not tell its width
    EXPECT_EQ(TerminalColumns(terminal), kDefaultTerminalColumns);
    std::fclose(terminal);

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(EnableControlSequences(file));
    EXPECT_EQ(TerminalColumns(file), kDefaultTerminalColumns);
    std::fclose(file);
}

}  // namespace
}  // namespace zelvar::cli
