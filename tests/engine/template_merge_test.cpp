// The template merge: reading the template, replacing markers, the system entries, and the
// output file written whole or not at all.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "engine_fixture.h"

namespace kolvane::test {
namespace {

class MergeTest : public EngineTest {
  protected:
    MergeTest() {
        doc.m_cmd.m_strTemplatePath = dir.Path();
        doc.m_cmd.m_strTemplateName = "t.htm";
        doc.m_cmd.m_strOutputPath = dir.Path();
        doc.m_cmd.m_strOutputName = "out.htm";
        engine.OpenErrorLog(dir.Path(), "err.log");
    }
    void Var(const char* name, std::optional<std::string> value) {
        CScanVar* v = doc.m_scanVars.AddNewVar();
        v->m_nScanFile = 1;
        v->m_nVarNo = int(doc.m_scanVars.size());
        v->m_szName = name;
        v->m_pszValue = std::move(value);
    }
    // Merges `tmpl`; the output file's content, or "<none>" when there is none.
    std::string Merge(std::string_view tmpl, int expected = 1) {
        engine.SetTemplateText(tmpl);
        EXPECT_EQ(engine.MergeTemplate(), expected);
        std::string out = dir / "out.htm";
        return FileExists(out) ? ReadFile(out) : "<none>";
    }
    std::string Output() const { return ReadFile(dir / "out.htm"); }
};

struct MarkerCase {
    const char* name;
    const char* tmpl;
    const char* output;
};

class MarkerTest : public MergeTest, public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(MarkerTest, ReplacesKnownMarkersAndCopiesTheRest) {
    Var("PRICE", "9.95");
    Var("price", "shadowed");  // the first entry in table order wins
    Var("Empty", std::nullopt);
    EXPECT_EQ(Merge(GetParam().tmpl), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MarkerTest,
    ::testing::Values(
        MarkerCase{"CaseIgnored", "a %%price%% b\n", "a 9.95 b\n"},
        MarkerCase{"Unknown", "%%nope%% %%Price%%\n", "%%nope%% 9.95\n"},
        MarkerCase{"WithoutValue", "<%%empty%%>\n", "<%%empty%%>\n"},
        MarkerCase{"ThreePercents", "x %%% y\n", "x %%% y\n"},
        MarkerCase{"LonePairsPairUp", "50%% off %%PRICE%% now %%\n", "50%% off %%PRICE%% now %%\n"},
        MarkerCase{"SystemEntries", "%%SYSDATE%% %%systime%%\n", "01/05/05 00:15:09 AM\n"},
        MarkerCase{"NoMarkers", "plain\n", "plain\n"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(MergeTest, LongSpansAreCopiedThroughUnchanged) {
    std::string name(1020, 'n');
    Var(name.c_str(), "never");  // its marker would not fit: it names nothing
    std::string tmpl = "%%" + name + "%%\n";
    EXPECT_EQ(Merge(tmpl), tmpl);
}

TEST_F(MergeTest, MissingClosingPairKeepsThePreviousOutput) {
    Var("PRICE", "1");
    dir.Write("out.htm", "previous page");
    ::chmod((dir / "out.htm").c_str(), 0640);
    EXPECT_EQ(Merge("ok %%PRICE%% then %%broken marker\n", 0), "previous page");
    EXPECT_TRUE(doc.m_bAbort);
    EXPECT_EQ(ErrorLog(),
              "Error in Template File Variable Definition!  No ending %%\r\nfor variable => "
              "%%broken m...\r\n*** Aborting Kolvane! ***  *** " +
                  std::string(kStamp));
    EXPECT_EQ(Merge("new %%PRICE%%\n"), "new 1\n");
    struct stat st {};
    ::stat((dir / "out.htm").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the new file keeps the old one's permissions
    // No temporary file is left behind.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path())) files += e.is_regular_file();
    EXPECT_EQ(files, 2);  // out.htm and err.log
}

TEST_F(MergeTest, SecondMergeTakesTheNewRunsDateAndTime) {
    EXPECT_EQ(Merge("%%SYSTIME%%\n"), "00:15:09 AM\n");
    doc.m_scanVars.FreeValues();
    clock.Set({2005, 1, 5, 13, 0, 1});
    engine.FormatSysTime();
    EXPECT_EQ(Merge("%%SYSTIME%%\n"), "01:00:01 PM\n");
    EXPECT_EQ(doc.m_scanVars.size(), 2u);  // the system entries are added once
}

TEST_F(MergeTest, OutputThatCannotBeCreatedIsReported) {
    doc.m_cmd.m_strOutputPath = dir / "missing";
    Merge("x\n", 0);
    EXPECT_EQ(ErrorLog(), "Couldn't Open Output File: " + (dir / "missing/out.htm") +
                              "!\r\n*** No File will be created! ***  *** " + std::string(kStamp));
}

// Many markers, each also defined again later in another letter case: every marker finds the
// first of its entries.
TEST_F(MergeTest, ManyMarkersEachFindTheirFirstEntry) {
    std::string tmpl, expected;
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        Var(("Name" + n).c_str(), "v" + n);
        tmpl += "%%NAME" + n + "%%,";
        expected += "v" + n + ",";
    }
    for (int i = 0; i < 300; ++i) Var(("name" + std::to_string(i)).c_str(), "later");
    EXPECT_EQ(Merge(tmpl + "%%Name300%%\n"), expected + "%%Name300%%\n");
}

struct TemplateReadCase {
    const char* name;
    std::string bytes;
    int result;
    const char* entry;  // "" when accepted
};

class ReadTemplateTest : public MergeTest,
                         public ::testing::WithParamInterface<TemplateReadCase> {};

TEST_P(ReadTemplateTest, AppliesTheTemplateLimits) {
    const auto& c = GetParam();
    if (c.bytes != "<missing>") dir.Write("t.htm", c.bytes);
    EXPECT_EQ(engine.ReadTemplateFile(), c.result);
    EXPECT_EQ(ErrorLog(), *c.entry ? std::string(c.entry) + "  *** " + std::string(kStamp) : "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadTemplateTest,
    ::testing::Values(
        TemplateReadCase{"ExactLimit", std::string(1024, 'a') + "\r\n" + std::string(478974, 'b'),
                         1, ""},
        TemplateReadCase{"OverLimit", std::string(1024, 'a') + "\r\n" + std::string(478975, 'b'), 0,
                         "Max allowed Template file size is 480000!\r\nKolvane aborted by "
                         "application!"},
        TemplateReadCase{"LongSecondLine", "a\n" + std::string(5000, 'b'), 1, ""},
        TemplateReadCase{"FirstLineTooLong", std::string(1025, 'a') + "\r\n", 0,
                         "Template File contains lines longer than 1024 characters which is this "
                         "application's max!\r\nMust abort Kolvane!"},
        TemplateReadCase{"NoLineFeed", "short", 0,
                         "Template File contains lines longer than 1024 characters which is this "
                         "application's max!\r\nMust abort Kolvane!"},
        TemplateReadCase{"Empty", "", 0,
                         "Template file t.htm is Empty!\r\nKolvane aborted by "
                         "application!"},
        TemplateReadCase{"Missing", "<missing>", 0,
                         "Couldn't Open template file: t.htm!\r\nKolvane aborted by application!"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace kolvane::test

namespace kolvane::test {
namespace {

// A scheduled run merges the same table again; a table the editor changed in between (a name
// changed, a variable removed and another added) is merged by its new markers.
TEST_F(MergeTest, LaterMergesFollowRenamesAndRemovals) {
    Var("OLD", "1");
    Var("GONE", "2");
    EXPECT_EQ(Merge("%%old%% %%gone%% %%new%%\n"), "1 2 %%new%%\n");
    doc.m_scanVars.FindVar(1, 1)->m_szName = "NEW";
    doc.m_scanVars.RemoveVar(1, 2);
    Var("ADDED", "3");
    EXPECT_EQ(Merge("%%old%% %%gone%% %%new%% %%added%%\n"), "%%old%% %%gone%% 1 3\n");
}

}  // namespace
}  // namespace kolvane::test

namespace kolvane::test {
namespace {

// What the user set up on the output file survives its replacement: a symbolic link stays a
// link (the file it points to is replaced, the temporary file made beside that file), and the
// owner and group stay (a page root replaces for the web server's user stays readable by it).
TEST_F(MergeTest, ReplacementKeepsTheLinkTheOwnerAndTheGroup) {
    dir.Write("www/page.htm", "old\n");
    ASSERT_EQ(::symlink("www/page.htm", (dir / "out.htm").c_str()), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((dir / "www/page.htm").c_str(), 65534, 65534), 0);
    }
    ::chmod((dir / "www/page.htm").c_str(), 0604);
    EXPECT_EQ(Merge("new\n"), "new\n");
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "out.htm").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat((dir / "www/page.htm").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "www"),
                            std::filesystem::directory_iterator()),
              1);
}

// A temporary file that a killed run left is removed by the next run that writes the same
// target once it is ten minutes old; a younger one, or another target's, stays.
TEST_F(MergeTest, StaleTemporaryFilesOfTheTargetAreRemoved) {
    const std::string stale = dir.Write(".out.htm.kolvane-Ab12Cd", "half");
    const std::string young = dir.Write(".out.htm.kolvane-Ef34Gh", "half");
    const std::string other = dir.Write(".other.htm.kolvane-Ij56Kl", "half");
    const timespec elevenMinutesAgo{::time(nullptr) - 660, 0};
    const timespec times[2] = {elevenMinutesAgo, elevenMinutesAgo};
    for (const std::string* path : {&stale, &other}) ::utimensat(AT_FDCWD, path->c_str(), times, 0);
    EXPECT_EQ(Merge("x\n"), "x\n");
    EXPECT_FALSE(FileExists(stale));
    EXPECT_TRUE(FileExists(young));
    EXPECT_TRUE(FileExists(other));
}

}  // namespace
}  // namespace kolvane::test
