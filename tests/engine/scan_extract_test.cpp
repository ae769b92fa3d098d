// Scan extraction: reading scan files and every rule kind with the pattern notation.
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/extract_value.h"
#include "engine/file_io.h"
#include "engine/read_ahead.h"
#include "engine_fixture.h"

namespace kolvane::test {
namespace {

class ExtractTest : public EngineTest {
  protected:
    // Extracts one variable with `definition` from `text`; the value, or none.
    std::optional<std::string> Extract(std::string_view text, std::string_view definition) {
        doc.m_scanVars.RemoveAllVars();
        CScanVar* var = doc.m_scanVars.AddNewVar();
        var->m_nScanFile = 1;
        var->m_nVarNo = 1;
        var->m_szName = "V";
        if (!engine.ParseScanVarRule(definition, *var, "V")) return std::string("<refused>");
        CScanFile entry;
        entry.m_nNumber = 1;
        entry.m_nNextVarNo = 2;
        engine.SetScanText(text);
        engine.ExtractScanVars(entry);
        return var->m_pszValue;
    }
};

struct PatternCase {
    const char* name;
    std::string text;
    const char* definition;
    std::optional<std::string> value;
};

class PatternTest : public ExtractTest, public ::testing::WithParamInterface<PatternCase> {};

TEST_P(PatternTest, ExtractsTheValue) {
    EXPECT_EQ(Extract(GetParam().text, GetParam().definition), GetParam().value);
}

const std::string kLf = "Item 12 x\nItem 7 y\nPrice: 10 USD\nPrice: 20 USD\n";
const std::string kCrLf = "Head\r\nTotal:\r\n 42;\r\n";

INSTANTIATE_TEST_SUITE_P(
    Table, PatternTest,
    ::testing::Values(
        PatternCase{"Extract", kLf, "Price: ????USD", " 10 "},
        PatternCase{"ExtractIgnoresCase", kLf, "PRICE: ????usd", " 10 "},
        PatternCase{"SecondInstance", kLf, "Price: ????USD::2", " 20 "},
        PatternCase{"InstancePastTheLastGivesNothing", kLf, "Price: ????USD::3", std::nullopt},
        PatternCase{"EndMissingGivesNothing", kLf, "Price: ????EUR", std::nullopt},
        PatternCase{"Copy", kLf, "Price: ??3??", " 10"},
        PatternCase{"CopyOverLineEndGivesBlank", "abc12\r\n34\r\n", "abc??5??", "12 3"},
        PatternCase{"CopyStopsAtTextEnd", "abc12\n", "abc??10??", "12 "},
        PatternCase{"CaretsMatchLineFeed", "a\nTotal\n 5;\n", "Total^^???? ;", " 5"},
        PatternCase{"CaretsMatchCrLf", kCrLf, "Total:^^???? ;", " 42"},
        PatternCase{"CaretsInCrLfTextDoNotMatchBareLf", "x\r\nTotal:\n 1;\n", "Total:^^???? ;",
                    std::nullopt},
        PatternCase{"OnlyFirstCaretsExpanded", "ab\n^^cd;\n", "ab^^^^???? ;", "cd"},
        PatternCase{"CaretsInEndPatternAreLiteral", "abc1^^\n2\n", "abc????^^", "1"},
        PatternCase{"DigitTestOneDigit", kLf, "Item #???? y", " 7 "},
        PatternCase{"DigitTestTwoDigits", kLf, "Item ##???? x", " 12 "},
        PatternCase{"DigitTestCutsEndAtHash", "Item 7 ab#\n", "Item #????b#zz", " 7 a"},
        PatternCase{"DigitTestStopsAtLineFeed", "Item\n7 z\nItem 8 z\n", "Item #???? z", " 8 "},
        PatternCase{"Skip", "Total sum: 5;\nTotal: 9;\n", "Total$$$:???? ;", " 5"},
        PatternCase{"SkipNeedsTwoCharacters", "Total: 9;\nTotal xx: 3;\n", "Total$$$:???? ;", " 3"},
        PatternCase{"DigitTestWithSkip", "No 12 a:b\nNo 3 abc: v;\n", "No #$$$:???? ;", " v"},
        PatternCase{"ValueCleaning", "<a>x\r\ny\r\n</a>\n", "<a>????</a>", "x y "},
        PatternCase{"NulHidesTheRest", std::string("abc1;\0abc2;\n", 12), "abc???? ;::2",
                    std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ExtractTest, EmptyKeyMovesOnOneCharacterAtATime) {
    // A start pattern that is only the digit test searches every position, one character at a
    // time, and never from inside a run of digits: "##" finds the first run of exactly two
    // digits (not the "23" of "123"); the value starts where that search stood.
    EXPECT_EQ(Extract("a 123 b 45 c\n", "## ???? c"), "b 45 ");
    EXPECT_EQ(Extract("no digits at all\n", "###???? x"), std::nullopt);
    EXPECT_EQ(Extract("abc\n", "$$$:???? x"), std::nullopt);
}

// Why a rule found nothing, in the words every front end shows (through ValueNow, the editor's
// "Value now:" field).
struct ReasonCase {
    const char* definition;
    const char* text;
    const char* words;
};

// A definition read as the rule reader reads it (a refusal gives the outcome Refused with the
// reader's text), then extracted from `scan`.
SExtraction ValueNow(std::string_view name, std::string_view definition, std::string_view scan) {
    CKolvaneDocData doc;
    CNullHost host;
    CFixedClock clock({});
    CKolvaneEngine engine(doc, host, clock);
    engine.m_bEditing = true;
    CScanVar var;
    var.m_szName = std::string(name);
    if (!engine.ParseScanVarRule(definition, var, name)) return {std::nullopt, var.m_outcome};
    return ExtractValue(var, SScanText(scan));
}

TEST(ValueNowTest, SaysWhyThereIsNoValue) {
    const ReasonCase cases[] = {
        {"Price:????EUR", "Price: 5 USD\n", "end pattern not found after the start pattern"},
        {"Item:????;;::2", "Item:1;;\n",
         "only 1 occurrence of the start pattern, instance 2 asked"},
        {"ab$$$:???? x::0", "ab cd\n", "no \":\" after the start pattern to end the skipped text"},
        {"r2c1????r2c2", "ab\n\ncd\n", "line 2 is empty"},
        {"r2c1????r2c2", "ab\ncd", "line 2 has no line feed at its end"},
        {"r1c5????r1c6", "abc\n", "column 5 does not exist on line 1 (it has 3 characters)"},
        {"r1c1????r2c9", "abc\nde\n", "column 9 does not exist on line 2 (it has 2 characters)"},
        {"r1c3????r1c2", "abc\n", "the end (line 1, column 2) comes before the start"},
        {"ab????cd", "abcd\n",
         "variable refused when the rule was read: Scan Variable (V): Start definition must be "
         "at least 3 char!"},
    };
    for (const ReasonCase& c : cases) {
        SExtraction r = ValueNow("V", c.definition, c.text);
        EXPECT_FALSE(r.value) << c.definition;
        EXPECT_EQ(ValueOutcomeText(r.outcome), c.words) << c.definition;
    }
    SExtraction found = ValueNow("V", "Price:????USD", "Price: 5 USD\n");
    EXPECT_EQ(found.value, " 5 ");
    EXPECT_EQ(ValueOutcomeText(found.outcome), "");
}

// No rule is slower than linear in the scan text's length: each shape here was quadratic once.
// The work is the count of characters the extraction examined, not a time.
struct WorkCase {
    const char* name;
    const char* line;  // repeated to fill the text
    const char* definition;
};

class LinearWorkTest : public ::testing::TestWithParam<WorkCase> {};

TEST_P(LinearWorkTest, ExaminesEachCharacterAFewTimesAtMost) {
    std::string text;
    while (text.size() < 200000) text += GetParam().line;
    CKolvaneDocData doc;
    CNullHost host;
    CFixedClock clock({});
    CKolvaneEngine engine(doc, host, clock);
    CScanVar var;
    ASSERT_EQ(engine.ParseScanVarRule(GetParam().definition, var, "V"), 1);
    std::size_t examined = 0;
    ExtractValue(var, SScanText(text), &examined);
    EXPECT_LE(examined, 4 * text.size());
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, LinearWorkTest,
    ::testing::Values(
        // A digit test and a skip whose last character never comes (400 of these took 104 s).
        WorkCase{"DigitTestSkipNoLast", "Batch 00012 value 4711 ## some text here 12 ab\n",
                 "##$$$ ???? ab::50"},
        WorkCase{"DigitTestSkipNoLastKeyed", "Batch 00012 value 4711 ab\n", "Batch ##$$$;????ab"},
        WorkCase{"KeyInsideADigitRun", "1111111111111111111111111111111111111111", "11#????xy"},
        WorkCase{"EmptyKeyInALongDigitRun", "12345678901234567890", "#$$$:???? x::9"},
        WorkCase{"SkipNoLast", "ab ab ab ab ab\n", "ab$$$:???? x::3"},
        WorkCase{"InstanceNeverReached", "Price: 10 USD\n", "Price: ????USD::999999"},
        WorkCase{"NoSuchLine", "abc\n", "r999999c1????r999999c2"}),
    [](const auto& p) { return std::string(p.param.name); });

struct LineColumnCase {
    const char* name;
    const char* text;
    const char* definition;
    std::optional<std::string> value;
};

class LineColumnTest : public ExtractTest, public ::testing::WithParamInterface<LineColumnCase> {};

TEST_P(LineColumnTest, CutsTheRange) {
    EXPECT_EQ(Extract(GetParam().text, GetParam().definition), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LineColumnTest,
    ::testing::Values(
        LineColumnCase{"WithinALine", "first\nabcdefg\n", "r2c3????r2c5", "cde"},
        LineColumnCase{"EndOnTheLineFeed", "first\nabcd\n", "r2c3????r2c5", "cd\n"},
        LineColumnCase{"EndPastTheLine", "first\nabc\n", "r2c3????r2c5", std::nullopt},
        LineColumnCase{"AcrossLinesKeepsLineEnds", "ab\r\ncd\r\nef\n", "r1c2????r2c1", "b\r\nc"},
        LineColumnCase{"CarriageReturnIsAColumn", "ab\r\n", "r1c3????r1c3", "\r"},
        LineColumnCase{"LastLineWithoutLineFeed", "ab\ncd", "r2c1????r2c2", std::nullopt},
        LineColumnCase{"EmptyStartLine", "ab\n\ncd\n", "r2c1????r3c1", std::nullopt},
        LineColumnCase{"StartColumnOnTheLineFeed", "ab\ncd\n", "r1c3????r2c1", std::nullopt},
        LineColumnCase{"NoSuchLine", "ab\n", "r5c1????r5c2", std::nullopt},
        LineColumnCase{"EndBeforeStart", "abcdef\n", "r1c4????r1c2", std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ExtractTest, WholeFileEndsTheFilesVariables) {
    CScanFile entry;
    entry.m_nNumber = 1;
    entry.m_nNextVarNo = 3;
    CScanVar* whole = doc.m_scanVars.AddNewVar();
    whole->m_nScanFile = 1, whole->m_nVarNo = 1, whole->m_nRule = kRuleWholeFile;
    CScanVar* after = doc.m_scanVars.AddNewVar();
    after->m_nScanFile = 1, after->m_nVarNo = 2, after->m_nRule = kRuleCopy;
    after->m_szStartPattern = "abc", after->m_nCopyCount = 1;
    engine.SetScanText("abc\r\ndef\n");
    engine.ExtractScanVars(entry);
    EXPECT_EQ(whole->m_pszValue, "abc\r\ndef\n");
    EXPECT_FALSE(after->m_pszValue);
}

// The run keeps an index of the variables by file and number; variables renumbered in place
// (no variable added or removed) and a number left without a variable still get the values of
// their new numbers.
TEST_F(EngineTest, VariablesRenumberedInPlaceAreExtractedByTheirNewNumbers) {
    CScanFile entry;
    entry.m_nNumber = 1;
    entry.m_nNextVarNo = 3;
    CScanVar* a = doc.m_scanVars.AddNewVar();
    a->m_nScanFile = 1, a->m_nVarNo = 1, a->m_nRule = kRuleLineColumn;
    a->m_nStartLine = a->m_nEndLine = 1, a->m_nStartCol = a->m_nEndCol = 1;
    CScanVar* b = doc.m_scanVars.AddNewVar();
    b->m_nScanFile = 1, b->m_nVarNo = 2, b->m_nRule = kRuleWholeFile;
    engine.SetScanText("xy\n");
    engine.ExtractScanVars(entry);
    EXPECT_EQ(a->m_pszValue, "x");
    std::swap(a->m_nVarNo, b->m_nVarNo);  // the whole file now comes first and ends the file
    doc.m_scanVars.FreeValues();
    engine.ExtractScanVars(entry);
    EXPECT_EQ(b->m_pszValue, "xy\n");
    EXPECT_FALSE(a->m_pszValue);
    b->m_nScanFile = 2;  // number 1 has no variable now
    engine.ExtractScanVars(entry);
    EXPECT_EQ(a->m_pszValue, "x");
}

struct ReadCase {
    const char* name;
    std::string bytes;  // "<dir>" makes a directory
    const char* entry;
};

class ReadScanFileTest : public EngineTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadScanFileTest, RefusesWithAnExcludingEntry) {
    ASSERT_EQ(engine.OpenErrorLog(dir.Path(), "err.log"), 1);
    std::string path = dir / "scan.txt";
    if (GetParam().bytes == "<dir>")
        std::filesystem::create_directory(path);
    else if (GetParam().bytes != "<missing>")
        dir.Write("scan.txt", GetParam().bytes);
    EXPECT_EQ(engine.ReadScanFile(dir.Path(), "scan.txt"), 0);
    std::string expected = GetParam().entry;
    expected.replace(expected.find("%s"), 2, path);
    EXPECT_EQ(ErrorLog(), expected + "  *** Excluding this file! " + std::string(kStamp));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadScanFileTest,
    ::testing::Values(ReadCase{"Missing", "<missing>", "Couldn't Open Scan File: %s!"},
                      ReadCase{"Directory", "<dir>", "Couldn't Open Scan File: %s!"},
                      ReadCase{"Empty", "", "Scan File %s is Empty!"},
                      ReadCase{"TooBig", std::string(480001, 'a'), "Scan File %s is tooooooo big!"},
                      ReadCase{"NoLineFeed", "one line",
                               "Scan File %s does NOT meet new line requirements!"}),
    [](const auto& p) { return std::string(p.param.name); });

// One buffer serves every scan file, alternately files 1 and 2 here: the former file's value
// outlives the next read, and a shorter (or refused) file after a longer one shows nothing of
// it, a NUL far into the file included.
TEST_F(EngineTest, ReusedScanBufferLeavesNothingOfTheFormerFile) {
    CScanVar* vars[2];
    CScanFile entries[2];
    for (int f = 0; f < 2; ++f) {
        vars[f] = doc.m_scanVars.AddNewVar();
        vars[f]->m_nScanFile = entries[f].m_nNumber = f + 1;
        vars[f]->m_nVarNo = 1, entries[f].m_nNextVarNo = 2;
        ASSERT_TRUE(engine.ParseScanVarRule("val:???? ;", *vars[f], "V"));
    }
    std::string big = "x\n" + std::string(300000, 'y') + "val:big;\n";
    big[200000] = '\0';
    const std::pair<std::string, std::optional<std::string>> files[] = {
        {"val:long;\n" + std::string(400000, 'z'), "long"},
        {"val:x\n", std::nullopt},
        {big, std::nullopt},
        {"val:s;\n", "s"},
        {std::string(480001, 'v'), std::nullopt},  // refused: the value stays
        {"val:t;\n", "t"}};
    std::optional<std::string> former;
    for (int i = 0; i < 6; ++i) {
        dir.Write("scan.txt", files[i].first);
        if (engine.ReadScanFile(dir.Path(), "scan.txt")) engine.ExtractScanVars(entries[i % 2]);
        EXPECT_EQ(vars[i % 2]->m_pszValue, files[i].second) << i;
        EXPECT_EQ(vars[1 - i % 2]->m_pszValue, former) << i;
        former = vars[i % 2]->m_pszValue;
        engine.ReleaseScanText();
    }
}

TEST_F(EngineTest, FilesReadAheadGiveWhatTheRunsOwnReadsGive) {
    dir.Write("a.txt", "val:1;\n");
    dir.Write("big.txt", std::string(480001, 'b'));
    dir.Write("empty.txt", "");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);  // no writer: read as empty
    const std::vector<std::string> names = {"a.txt", "missing",   "big.txt",
                                            "fifo",  "empty.txt", "a.txt"};
    std::vector<std::string> paths;
    for (const auto& name : names) paths.push_back(dir / name);
    paths[4] = dir / "other";  // asked for another file than the one read ahead
    std::vector<std::tuple<int, std::string, std::size_t>> alone, ahead;
    for (auto* into : {&alone, &ahead}) {
        CReadAhead reader(paths, kMaxFileSize);
        for (const auto& name : names) {
            std::size_t length = 0;
            const int read =
                engine.ReadScanFile(dir.Path(), name, &length, into == &ahead ? &reader : nullptr);
            into->emplace_back(read, ValueOutcomeText(engine.LastScanRead()), length);
        }
    }
    EXPECT_EQ(ahead, alone);
    // While reading ahead the run may keep to one processor; it has them all back afterwards.
    cpu_set_t before, after, one;
    ASSERT_EQ(sched_getaffinity(0, sizeof before, &before), 0);
    CTextBuffer buffer;
    EReadResult result{};
    {
        CReadAhead taken(paths, kMaxFileSize);  // the rest, read and never taken, hold nothing up
        EXPECT_EQ(taken.Take(paths[0], buffer, result, nullptr) && buffer.Text() == "val:1;\n",
                  CPU_COUNT(&before) > 1);
    }
    sched_getaffinity(0, sizeof after, &after);
    EXPECT_TRUE(CPU_EQUAL(&before, &after));
    CPU_ZERO(&one);  // a run given one processor reads its files itself
    CPU_SET(sched_getcpu(), &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_FALSE(CReadAhead(paths, kMaxFileSize).Take(paths[0], buffer, result, nullptr));
    sched_setaffinity(0, sizeof before, &before);
}

TEST_F(EngineTest, ScanFileOfExactlyTheLimitIsReadAndProgressShown) {
    std::string text(480000, 'a');
    text[10] = '\n';
    dir.Write("scan.txt", text);
    std::size_t length = 0;
    EXPECT_EQ(engine.ReadScanFile(dir.Path(), "scan.txt", &length), 1);
    EXPECT_EQ(length, 480000u);
    EXPECT_EQ(host.panes[0], "Scaning: " + (dir / "scan.txt"));
    engine.m_nScanIndex = 1;
    engine.m_nScanCount = 5;
    CScanFile entry;
    engine.ScanFileVars(entry, "scan.txt");
    EXPECT_EQ(host.panes[0], "Sanning -> scan.txt");
    EXPECT_EQ(host.panes[1], "File 100 %processed");
    EXPECT_EQ(host.panes[2], "2 out of 5 searched");
}

}  // namespace
}  // namespace kolvane::test

namespace kolvane::test {
namespace {

// Runs `body` in a forked child that first drops to the unprivileged user 65534 when the tests
// run as root (as CI does), for root reads files of any mode; true when `body` returned true.
bool AsUnprivilegedUser(const std::function<bool()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

TEST_F(EngineTest, UnreadableScanFileIsExcluded) {
    ASSERT_EQ(engine.OpenErrorLog(dir.Path(), "err.log"), 1);  // the child writes through it
    std::string path = dir.Write("scan.txt", "a\n");
    ::chmod(path.c_str(), 0);
    ::chmod(dir.Path().c_str(), 0711);  // the child may enter the directory
    EXPECT_TRUE(
        AsUnprivilegedUser([&] { return engine.ReadScanFile(dir.Path(), "scan.txt") == 0; }));
    EXPECT_EQ(ErrorLog(), "Couldn't Open Scan File: " + path + "!  *** Excluding this file! " +
                              std::string(kStamp));
}

}  // namespace
}  // namespace kolvane::test
