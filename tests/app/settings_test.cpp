// The settings file: what the desktop program writes, kolvane-run reads; the editor default is
// not written; a shorter filter list does not bring back old entries.
#include "settings/settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/window_settings.h"
#include "temp_dir.h"

namespace kolvane {
namespace {

class SettingsTest : public ::testing::Test {
  protected:
    SettingsTest() {
        setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
        settings::Close();
    }
    ~SettingsTest() override { settings::Close(); }
    test::CTempDir dir;
};

TEST_F(SettingsTest, FreshUserGetsTheDefaults) {
    SPreferences p = settings::LoadPreferences();
    EXPECT_EQ(p.m_strEditor, "xdg-open");
    EXPECT_EQ(p.m_nDateDisplay, 1);
    EXPECT_EQ(p.m_nMatchCase, 0);
    EXPECT_EQ(p.m_nAskFileName, 1);
    EXPECT_EQ(settings::LoadFilters(), settings::DefaultFilters());
}

TEST_F(SettingsTest, PreferencesAreSharedWithTheRunner) {
    SPreferences p;
    p.m_nDateDisplay = 0;
    settings::SavePreferences(p);  // the default editor is not written
    EXPECT_EQ(settings::FilePath(), dir / "Kolvane.conf");
    EXPECT_EQ(test::ReadFile(settings::FilePath()).find("Editor"), std::string::npos);

    p.m_strEditor = "gvim +%l '%f'";
    settings::SavePreferences(p);
    settings::Close();
    EXPECT_EQ(settings::LoadPreferences().m_strEditor, "gvim +%l '%f'");
}

TEST_F(SettingsTest, AShorterFilterListStaysShort) {
    settings::SaveFilters({"A|*.a", "B|*.b", "C|*.c"});
    settings::SaveFilters({"D|*.d"});
    settings::Close();
    EXPECT_EQ(settings::LoadFilters(), std::vector<std::string>{"D|*.d"});
}

TEST_F(SettingsTest, WindowStateAndRecentFilesRoundTrip) {
    SWindowState s;
    s.rect = {10, 20, 610, 420};
    s.maximized = true;
    s.statusLine = false;
    settings::SaveWindowState(s);
    settings::SaveRecentFiles({"/r/a b.rul", "/r/c.rul"});
    settings::Close();
    SWindowState back = settings::LoadWindowState(1280, 1024);
    EXPECT_EQ(back.rect, s.rect);
    EXPECT_TRUE(back.maximized && !back.iconized && back.toolBar && !back.statusLine);
    EXPECT_EQ(settings::LoadRecentFiles(), (std::vector<std::string>{"/r/a b.rul", "/r/c.rul"}));
}

}  // namespace
}  // namespace kolvane
