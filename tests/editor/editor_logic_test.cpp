// The editor pages' rules that need no display: paths, the reschedule text, the variable
// definition checks and the filter checks.
#include <gtest/gtest.h>

#include "editor/editor_paths.h"
#include "editor/filter_check.h"
#include "editor/reschedule_text.h"
#include "temp_dir.h"
#include "editor/value_now.h"
#include "editor/var_definition.h"

namespace kolvane::editor {
namespace {

TEST(EditorPaths, JoinAndSplit) {
    EXPECT_EQ(JoinPath("/out", "x.htm"), "/out/x.htm");
    EXPECT_EQ(JoinPath("/", "x.htm"), "/x.htm");
    EXPECT_EQ(JoinPath("", "x.htm"), "./x.htm");
    EXPECT_EQ(JoinPath("out", "x.htm"), "out/x.htm");
    EXPECT_EQ(JoinPath("/out", ""), "/out");
    EXPECT_EQ(JoinPath("", ""), "");

    struct {
        const char* text;
        const char* dir;
        const char* name;
    } cases[] = {
        {"./x.htm", ".", "x.htm"},
        {"x.htm", "", "x.htm"},
        {"/dir", "/dir", ""},
        {"/dir/", "/dir", ""},
        {"/", "/", ""},
        {"/x.htm", "/", "x.htm"},
        {"/my.dir/file", "/my.dir", "file"},
        {"report", "", "report"},  // a bare word is kept as a name, never dropped
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SSplitPath s = SplitPath(c.text);
        EXPECT_EQ(s.dir, c.dir) << c.text;
        EXPECT_EQ(s.name, c.name) << c.text;
    }
}

TEST(RescheduleText, BothDirections) {
    EXPECT_EQ(FormatInterval(60), "60 S");
    EXPECT_EQ(FormatInterval(61), "   1.02 M");
    EXPECT_EQ(FormatInterval(3600), "  60.00 M");
    EXPECT_EQ(FormatInterval(3601), "   1.00 H");
    EXPECT_EQ(FormatInterval(0), "0 S");
    struct {
        const char* text;
        int seconds;
    } cases[] = {
        {"5 minutes", 300},
        {"2 hours", 7200},
        {"1 HM", 3600},
        {"30", 30},
        {"30 s", 30},
        {"5", 10},
        {"0", 10},
        {"", 10},
        {"1.5 m", 90},
        {"2 h", 7200},
        {"-2 H", 7200},
        {"0.1 M", 6},
        {"h 2", 0},
        {"0 H", 0},
        {"0 M", 0},
        {"   1.02 M", 61},
        {"1e30 H", 2147483647},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseInterval(c.text), c.seconds) << c.text;
}

TEST(VarDefinition, PatternRuleAndCopyCount) {
    struct {
        const char* rule;
        bool ok;
        int kind;
        int count;
    } cases[] = {
        {"????", true, kRuleExtract, 0}, {"", true, kRuleExtract, 0}, {"?", true, kRuleExtract, 0},
        {"??12??", true, kRuleCopy, 12}, {"?3", true, kRuleCopy, 3},  {"??1?2", true, kRuleCopy, 1},
        {"?5?", true, kRuleCopy, 5},     {"??5x??", false, 0, 0},
    };
    for (const auto& c : cases) {
        int kind = 0, count = 0;
        EXPECT_EQ(ReadPatternRule(c.rule, kind, count), c.ok) << c.rule;
        if (!c.ok) continue;
        EXPECT_EQ(kind, c.kind) << c.rule;
        EXPECT_EQ(count, c.count) << c.rule;
    }
    EXPECT_TRUE(IsCopyRule("??3"));
    EXPECT_FALSE(IsCopyRule("?3"));
    EXPECT_FALSE(IsCopyRule("???3"));
}

// Stores `f` into a fresh variable; the message or "" on success.
std::string Store(SVarFields f, CScanVar& var, bool cleared = false) {
    auto message = StoreVariable(f, cleared, &var);
    return message ? *message : "";
}

TEST(VarDefinition, StoreChecksInOrder) {
    CScanVar v;
    SVarFields f;
    f.name = "x";
    EXPECT_NE(Store(f, v, true).find("You just cleared the variable"), std::string::npos);
    f.name = "";
    EXPECT_EQ(Store(f, v), "Variable field may NOT be left Empty!");
    f.name = "x";
    f.startLine = 5, f.endLine = 2;
    EXPECT_EQ(Store(f, v), "End Row MUST be greater than or equal to Start Row!");
    f.endLine = 5, f.startCol = 8, f.endCol = 4;
    EXPECT_EQ(Store(f, v), "End Column MUST be greater than or equal to Start Column!");
    f.endLine = 6;
    f.rule = "nonsense";  // ignored for a line-column definition
    EXPECT_EQ(Store(f, v), "");
    EXPECT_EQ(v.m_nRule, kRuleLineColumn);
    EXPECT_EQ(v.m_nInstance, 0);

    SVarFields p;
    p.name = "y";
    p.rule = "??5x??";
    EXPECT_EQ(Store(p, v),
              "Pattern rule MUST be of the form ???? or ??XXX?? where each X is a digit!");
    p.rule = "??5??";
    p.startPattern = "abc";
    p.instance = 2;
    EXPECT_EQ(Store(p, v), "");
    EXPECT_EQ(v.m_nRule, kRuleCopy);
    EXPECT_EQ(v.m_nCopyCount, 5);
    EXPECT_EQ(v.m_nStartLine, 0);
    p.rule = "?ALL?";
    EXPECT_EQ(Store(p, v), "");
    EXPECT_EQ(v.m_nRule, kRuleWholeFile);
    EXPECT_EQ(v.m_szStartPattern, "");
    EXPECT_EQ(Store(SVarFields{}, v), "Variable field may NOT be left Empty!");
    EXPECT_EQ(StoreVariable(p, false, nullptr), std::nullopt);  // no current variable
}

TEST(VarDefinition, ShowOpensTheFieldsOfTheKind) {
    CScanVar v;
    v.m_nRule = kRuleCopy;
    v.m_nCopyCount = 7;
    v.m_szStartPattern = "abc";
    v.m_szEndPattern = "zz";
    SVarShown s = ShowVariable(v);
    EXPECT_EQ(s.fields.rule, "??7??");
    EXPECT_EQ(s.fields.endPattern, "");
    EXPECT_FALSE(s.enabled.endPattern);
    EXPECT_FALSE(s.enabled.lineColumn);
    v.m_nRule = kRuleNone;
    s = ShowVariable(v);
    EXPECT_EQ(s.fields.rule, "?All?");
    EXPECT_TRUE(s.enabled.rule);
    EXPECT_FALSE(s.enabled.startPattern || s.enabled.instance || s.enabled.lineColumn);
}

TEST(FilterCheck, MessagesAndCleanUp) {
    struct {
        std::string description, filter, message, cleaned;
    } cases[] = {
        {std::string(31, 'd'), "/", "Filter Description must be 30 characters or less!", ""},
        {std::string(30, 'd'), std::string(61, 'f'), "File Filter must be 60 characters or less!",
         ""},
        {std::string(30, 'd'), std::string(60, 'f'), "", std::string(60, 'f')},
        {"", "*.x", "Description may NOT be empty!", ""},
        {"d", "", "Filter may NOT be empty!", ""},
        {"d", " ; ;", "Filter may NOT be empty!", ""},
        {"d", "*.htm; *.html", "", "*.htm;*.html"},
        {"d", "a/b", "/ is NOT a valid file filter character!", ""},
    };
    for (const auto& c : cases) {
        SFilterCheck r = CheckFilter(c.description, c.filter);
        EXPECT_EQ(r.message, c.message) << c.filter;
        EXPECT_EQ(r.ok, c.message.empty());
        EXPECT_EQ(r.cleaned, c.cleaned);
    }
    EXPECT_EQ(FilterLineOfEntry("Rule Files  |*.rul"), "Rule Files\t*.rul");
    EXPECT_EQ(FilterLineOfEntry("no bar"), std::nullopt);
    EXPECT_EQ(FilterEntryOfLine("Text\t*.txt"), "Text|*.txt");
}

TEST(ValueNow, FoundNotFoundLineMissing) {
    test::CTempDir dir;
    dir.Write("s.txt", "alpha beta\r\ngamma\r\n");
    CScanFile f;
    f.m_strName = "s.txt";
    CScanVar v;
    v.m_nRule = kRuleWholeFile;
    SValueNow n = ValueNowOf(f, v, dir.Path());
    EXPECT_TRUE(n.found);
    EXPECT_EQ(n.text, "alpha beta\xE2\x86\xB5gamma\xE2\x86\xB5");
    v.m_nRule = kRuleLineColumn;
    v.m_nStartLine = 12, v.m_nStartCol = 1, v.m_nEndLine = 12, v.m_nEndCol = 2;
    EXPECT_EQ(ValueNowOf(f, v, dir.Path()).text, "Line 12 does not exist (the file has 2 lines)");
    v.m_nRule = kRuleExtract;
    v.m_szStartPattern = "delta";
    v.m_szEndPattern = "\\n";
    EXPECT_EQ(ValueNowOf(f, v, dir.Path()).text, "Start pattern not found");
    f.m_strName = "missing.txt";
    EXPECT_EQ(ValueNowOf(f, v, dir.Path()).text.rfind("Scan file not found", 0), 0u);
    EXPECT_EQ(ShownValue(std::string(300, 'a')).size(), 200u);
}

}  // namespace
}  // namespace kolvane::editor
