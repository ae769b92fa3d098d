// The settings file as the desktop program has always written it (wxFileConfig's quoting of
// blanks, backslashes and quotes; escaped blanks in group names; UTF-8): read back the same by
// both programs, and written again byte for byte. No wxInitializer: kolvane-run has none.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "app/window_settings.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "settings/settings.h"
#include "temp_dir.h"

namespace kolvane {
namespace {

const char kStored[] = R"([Preferences]
Editor=" gvim \"+%l\" 'C:\\tmp\\%f' \t "
DateDisplay=0
MatchCase=0
AskFileName=1
LastPath=/home/zoë/Räte \\"q"
[File\ Filters]
Filter1=Règles|*.rul
Filter2="\"Quoted\" \\back|*.q;*.r"
Filter3=" lead|*.l"
[Last\ Window\ Data]
Coordinates=0010 0020 0610 0420
Iconized=0
Maximized=0
ToolBar=1
StatusLine=1
[Recent\ File\ List]
File1=/r/a b.rul
File2=/r/ü\\x"y.rul
File3=" /r/lead.rul"
File4=/r/&amp.rul
)";

TEST(SettingsFile, StoredFileReadsBackAndIsWrittenAlike) {
    test::CTempDir dir;
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    dir.Write("Kolvane.conf", kStored);
    const SPreferences p = settings::LoadPreferences();
    EXPECT_EQ(p.m_strEditor, " gvim \"+%l\" 'C:\\tmp\\%f' \t ");
    EXPECT_EQ(p.m_strLastPath, "/home/zo\u00eb/R\u00e4te \\\"q\"");
    EXPECT_EQ(p.m_nDateDisplay, 0);
    const std::vector<std::string> filters{"R\u00e8gles|*.rul", "\"Quoted\" \\back|*.q;*.r",
                                           " lead|*.l"};
    EXPECT_EQ(settings::LoadFilters(), filters);
    const std::vector<std::string> recent{"/r/a b.rul", "/r/\u00fc\\x\"y.rul", " /r/lead.rul",
                                          "/r/&amp.rul"};
    EXPECT_EQ(settings::LoadRecentFiles(), recent);
    const SWindowState window = settings::LoadWindowState(1280, 1024);
    settings::Close();
    EXPECT_EQ(DateStyleFor(SOptions{}), 0);  // the runner, given no date style

    std::filesystem::remove(dir / "Kolvane.conf");
    settings::SavePreferences(p);
    settings::SaveLastPath(p.m_strLastPath);
    settings::SaveFilters(filters);
    settings::SaveWindowState(window);
    settings::SaveRecentFiles(recent);
    settings::Close();
    EXPECT_EQ(test::ReadFile(dir / "Kolvane.conf"), kStored);
}

TEST(SettingsFile, BrokenLinesAreSkippedQuietlyAndHomeIsFound) {
    test::CTempDir dir;
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    dir.Write("Kolvane.conf", "[Preferences]\ngarbage\n[Broken\nDateDisplay=0\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(DateStyleFor(SOptions{}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");  // as cron may start the runner: the account's home, never the cwd's
    EXPECT_EQ(settings::FilePath().front(), '/');
}

}  // namespace
}  // namespace kolvane
