// Where the log file goes without --log: beside a copied program, else in the user's
// state directory; and what the user is told when it goes nowhere.
#include "app/log_location.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <optional>

#include "base/message_log.h"
#include "support/test_env.h"

namespace zelvar::test {
namespace {

// Sets an environment variable (or removes it) for the length of a test.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = getenv(name)) m_old = old;
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(LogLocation, CopiedProgramKeepsItsLogBesideItAnInstalledOneUsesTheStateDirectory) {
    TempDir program, installed, state;
    ScopedEnv xdg("XDG_STATE_HOME", state.Path().c_str());
    EXPECT_EQ(ChooseLogDirectory(program.Path(), installed.Path()), program.Path());
    // The same directory as the installed programs': the state directory, made private.
    EXPECT_EQ(ChooseLogDirectory(program.Path(), program.Path()), state.File("zelvar/"));
    EXPECT_EQ(ModeOf(state.File("zelvar")), 0700u);
    // A directory that is not there cannot take the log either.
    EXPECT_EQ(ChooseLogDirectory(program.File("gone/"), installed.Path()), state.File("zelvar/"));
}

TEST(LogLocation, StateDirectoryFollowsXdgThenHomeAndMakesWhatIsMissing) {
    TempDir home, state;
    ScopedEnv homeVar("HOME", home.Path().c_str());
    {
        ScopedEnv xdg("XDG_STATE_HOME", nullptr);
        EXPECT_EQ(StateLogDirectory(), home.File(".local/state/zelvar/"));
        EXPECT_EQ(ModeOf(home.File(".local/state")), 0700u);
    }
    {
        ScopedEnv xdg("XDG_STATE_HOME", "relative/state");  // not absolute: ignored
        EXPECT_EQ(StateLogDirectory(), home.File(".local/state/zelvar/"));
    }
    {
        ScopedEnv xdg("XDG_STATE_HOME", state.File("deep/er").c_str());
        EXPECT_EQ(StateLogDirectory(), state.File("deep/er/zelvar/"));
    }
    {
        // A file where the directory should be: no state directory at all.
        WriteFile(state.File("taken"), "x");
        ScopedEnv xdg("XDG_STATE_HOME", state.File("taken").c_str());
        EXPECT_EQ(StateLogDirectory(), "");
    }
    ScopedEnv xdg("XDG_STATE_HOME", nullptr);
    ScopedEnv noHome("HOME", nullptr);
    EXPECT_EQ(StateLogDirectory(), "");
}

TEST(LogLocation, ProblemTextNamesThePathOrSaysWhatIsMissing) {
    CloseLogFile();
    EXPECT_EQ(LogProblemText("/nowhere/Zelvar.txt"),
              "Cannot write the log file /nowhere/Zelvar.txt; the job runs without a log.");
    EXPECT_EQ(LogProblemText(""),
              "No log file: no directory to write it in (set HOME or XDG_STATE_HOME).");
    TempDir dir;
    CreateLogFile(dir.Path().c_str());
    ASSERT_TRUE(IsLogFileOpen());
    EXPECT_EQ(LogProblemText(dir.File("Zelvar.txt")), "");
    EXPECT_EQ(LogFilePath(), dir.File("Zelvar.txt"));
    CloseLogFile();
    EXPECT_EQ(LogFilePath(), "");
}

}  // namespace
}  // namespace zelvar::test
