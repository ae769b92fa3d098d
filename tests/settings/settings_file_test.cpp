// A settings file as the desktop program has always written it reads back the same in both
// programs (no wxInitializer: kolvane-run has none) and is written again byte for byte.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "cli/commands.h"
#include "cli/options.h"
#include "settings/ini_file.h"
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

// Reading and rewriting lines the desktop program has met in users' files: a rewrite keeps every
// line it does not change and puts new entries and groups where they have always gone.
TEST(SettingsFile, LinesReadAndRewrittenInPlace) {
    struct SOp {
        const char *group, *key, *value;  // no value: the entry is removed
    };
    const struct {
        const char* before;
        std::vector<SOp> ops;
        const char* after;
    } cases[] = {
        {"; c\r\n[A]\r\nk=1\r\n[B]\r\nj=2\r\n[A]\r\nl=4",
         {{"B", "o", "6"}, {"C", "p", "7"}},
         "; c\n[A]\nk=1\n[B]\nj=2\no=6\n[A]\nl=4\n[C]\np=7\n"},
        {"[A]\rk=1\n; tail\n\n",
         {{"A", "n", " q\"\t"}, {"B", "p", "x=\"y\\"}},
         "[A]\nk=1\nn=\" q\\\"\\t\"\n[B]\np=x=\"y\\\\\n; tail\n\n"},
        {"[F]\nF1=a\n; c\nF2=b\nF3=c\n",
         {{"F", "F3", nullptr}, {"F", "F2", nullptr}, {"F", "F4", "d"}},
         "[F]\nF4=d\nF1=a\n; c\n"},
        {"# top\n",
         {{"A B", "a=b c", "1"}, {"", "top", ""}},
         "top=\n[A\\ B]\na\\=b\\ c=1\n# top\n"},
    };
    for (const auto& c : cases) {
        settings::CIniFile file;
        file.Parse(c.before);
        for (const SOp& op : c.ops)
            op.value ? file.Write(op.group, op.key, op.value) : file.Remove(op.group, op.key);
        EXPECT_EQ(file.Text(), c.after) << c.before;
    }
    settings::CIniFile file;  // and nothing changes: nothing to save
    file.Parse("k=0\n[A]\nk=1\nk=2\n  a\\=b c  =  v \ngarbage\n[Broken\nq=\"x\"y\\z\"\nt=trail \n");
    const std::vector<std::pair<const char*, const char*>> reads{
        {"k", "2"}, {"a=b c", "v "}, {"q", "xy"}, {"t", "trail "}};
    for (const auto& [key, value] : reads) EXPECT_EQ(file.Read("A", key), value) << key;
    EXPECT_EQ(file.Read("", "k"), "0");
    EXPECT_FALSE(file.Read("Broken", "q"));
    file.Write("A", "k", "2");
    file.Remove("X", "y");
    EXPECT_FALSE(file.Dirty());
}

}  // namespace
}  // namespace kolvane
