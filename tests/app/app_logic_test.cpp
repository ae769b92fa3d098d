// The main window's saved state and its fitting to the screen; the version texts.
#include <gtest/gtest.h>

#include "app/help_map.h"
#include "app/version_info.h"
#include "app/window_state.h"

namespace kolvane {
namespace {

TEST(WindowState, FittedToTheScreenWithItsSizeKept) {
    const struct {
        SRect saved, fitted;
    } cases[] = {
        {{19, 72, 676, 449}, {19, 72, 676, 449}},          // on the screen
        {{900, 800, 1400, 1200}, {780, 624, 1280, 1024}},  // below and right
        {{-50, -20, 450, 380}, {0, 0, 500, 400}},          // above and left
        {{-10, -10, 2000, 1500}, {0, 0, 1280, 1024}},      // larger than the screen
    };
    for (const auto& c : cases) EXPECT_EQ(FitToScreen(c.saved, 1280, 1024), c.fitted);
}

TEST(WindowState, FromTheStoredTexts) {
    SWindowState first = WindowStateFromTexts("", "0", "0", "1", "1", 1280, 1024);
    EXPECT_EQ(first.rect, (SRect{213, 171, 1066, 853}));  // two thirds, centred
    EXPECT_TRUE(first.toolBar && first.statusLine && !first.iconized && !first.maximized);

    SWindowState s = WindowStateFromTexts("0100 0050 0700 0550", "1", "1", "2", "1", 1280, 1024);
    EXPECT_EQ(s.rect, (SRect{100, 50, 700, 550}));
    EXPECT_TRUE(s.iconized && s.maximized);  // minimized, restores to maximized
    EXPECT_FALSE(s.toolBar);                 // only exactly "1" shows a bar

    EXPECT_EQ(FormatCoordinates({19, 72, 676, 449}), "0019 0072 0676 0449");
    EXPECT_EQ(ParseCoordinates(FormatCoordinates({5, 6, 1200, 900})), (SRect{5, 6, 1200, 900}));
    // Malformed text gives what the reading yields, then the fitting.
    EXPECT_EQ(ParseCoordinates("12"), (SRect{12, 0, 0, 0}));
}

TEST(VersionInfo, ShortVersionAndAboutText) {
    EXPECT_EQ(ShortVersion("3, 0, 0, 0"), "3.0.0");
    EXPECT_EQ(ShortVersion("3"), "3.");
    EXPECT_EQ(ShortVersion("3,1"), "3.1.");
    const CVersionInfo info = CVersionInfo::OfThisBuild();
    EXPECT_EQ(info.m_strProductVersion, "3, 0, 0, 0");
    EXPECT_EQ(TheAboutText().substr(0, TheAboutText().find('\n', 8)), "Kolvane\nVersion 3.0.0");
}

TEST(HelpMap, TopicNumbersToPages) {
    const char* project =
        "[OPTIONS]\nTitle=Kolvane Help\n\n[MAP]\n#define IDH_CONTENTS 5000\n"
        "#define IDH_FILTERS  5007\r\n\n[ALIAS]\nIDH_CONTENTS=contents.htm\n"
        "IDH_FILTERS = filters.htm\r\n";
    EXPECT_EQ(HelpPageFor(project, 5000), "contents.htm");
    EXPECT_EQ(HelpPageFor(project, 5007), "filters.htm");
    EXPECT_EQ(HelpPageFor(project, 5008), "");
}

}  // namespace
}  // namespace kolvane
