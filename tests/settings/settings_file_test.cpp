// A settings file as the desktop program has always written it reads back the same in both
// programs (no wxInitializer: kolvane-run has none) and is written again byte for byte.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

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
[Recent\ File\ List]
File1=/r/ü\\x"y.rul
File2=" /r/lead.rul"
)";

TEST(SettingsFile, StoredFileReadsBackAndIsWrittenAlike) {
    test::CTempDir dir;
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    dir.Write("Kolvane.conf", kStored);
    const SPreferences p = settings::LoadPreferences();
    EXPECT_EQ(p.m_strEditor, " gvim \"+%l\" 'C:\\tmp\\%f' \t ");
    EXPECT_EQ(p.m_strLastPath, "/home/zo\u00eb/R\u00e4te \\\"q\"");
    const std::vector<std::string> filters{"R\u00e8gles|*.rul", "\"Quoted\" \\back|*.q;*.r"},
        recent{"/r/\u00fc\\x\"y.rul", " /r/lead.rul"};
    EXPECT_EQ(settings::LoadFilters(), filters);
    EXPECT_EQ(settings::LoadRecentFiles(), recent);
    settings::Close();
    EXPECT_EQ(DateStyleFor(SOptions{}), 0);  // the runner's reading

    std::filesystem::remove(dir / "Kolvane.conf");
    settings::SavePreferences(p);
    settings::SaveLastPath(p.m_strLastPath);
    settings::SaveFilters(filters);
    settings::SaveRecentFiles(recent);
    settings::Close();
    EXPECT_EQ(test::ReadFile(dir / "Kolvane.conf"), kStored);

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
