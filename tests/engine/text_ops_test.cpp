// The text operations: case-folding search, line ends, key lookup, path joining, outside text
// made safe to show.
#include "engine/text_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "engine/shown_text.h"
#include "guarded_text.h"

namespace kolvane {
namespace {

struct FindCase {
    std::string text, what;
    std::size_t from, expected;
};

class FindTextTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindTextTest, FindsFirstOccurrenceFoldingOnlyAsciiLetters) {
    const auto& c = GetParam();
    EXPECT_EQ(FindText(c.text, c.what, c.from), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FindTextTest,
    ::testing::Values(FindCase{"xx&COMMAND", "&command", 0, 2},
                      FindCase{"ScanFile1 scanfile1", "SCANFILE1", 1, 10},
                      FindCase{"abc", "abcd", 0, npos},  // key longer than the rest
                      FindCase{"abc", "", 2, 2},         // empty key is found where it starts
                      FindCase{"abc", "c", 3, npos},
                      FindCase{"\xC4\xE4", "\xE4", 0,
                               1},                     // bytes above ASCII match only themselves
                      FindCase{"[{", "{", 0, 1},       // '[' is not '{' folded
                      FindCase{"aAaAb", "AAB", 0, 2},  // candidates of both cases interleave
                      FindCase{"12:3", ":3", 0, 2}));

TEST(FindText, KeyAtTheVeryEndOfALargeText) {
    std::string text(480000, 'x');
    text.replace(text.size() - 5, 5, "VaLuE");
    EXPECT_EQ(FindText(text, "value"), text.size() - 5);
    EXPECT_EQ(FindText(text, "valuex"), npos);
}

TEST(FindLineEnd, CarriageReturnBelongsToTheLineEnd) {
    std::size_t len = 9;
    EXPECT_EQ(FindLineEnd("ab\r\ncd", 0, &len), 2u);
    EXPECT_EQ(len, 2u);
    EXPECT_EQ(FindLineEnd("ab\ncd", 0, &len), 2u);
    EXPECT_EQ(len, 1u);
    EXPECT_EQ(FindLineEnd("\r\n", 0, &len), 0u);  // an empty line
    EXPECT_EQ(len, 2u);
    EXPECT_EQ(FindLineEnd("ab\rcd", 0, &len), 5u);  // a lone CR is no line end
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(SkipLines("a\nb\r\nc", 0, 2), 5u);
    EXPECT_EQ(SkipLines("a\nb", 0, 5), 3u);  // stops at the end of the text
}

TEST(TrimText, RemovesAllSixWhitespaceCharacters) {
    std::string s = " \t\r\n\v\fa b\f\v\n\r\t ";
    TrimText(s);
    EXPECT_EQ(s, "a b");
    std::string blank = " \t ";
    TrimText(blank);
    EXPECT_EQ(blank, "");
}

struct KeyCase {
    const char* name;
    std::string text;
    bool present;
    std::string value;
};

class GetKeyValueTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(GetKeyValueTest, FollowsTheKeyRules) {
    const auto& c = GetParam();
    std::string value = "unchanged";
    EXPECT_EQ(GetKeyValue(c.text, "outputfile name", 0, c.text.size(), value), c.present ? 1 : 0);
    if (c.present) {
        EXPECT_EQ(value, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, GetKeyValueTest,
    ::testing::Values(
        KeyCase{"WriterForm", "OutputFile Name = x.htm\r\n", true, "x.htm"},
        KeyCase{"EmptyValueIsPresent", "OutputFile Name = \r\n", true, ""},
        KeyCase{"NothingAfterEqualsIsAbsent", "OutputFile Name =\r\n", false, ""},
        KeyCase{"LastLineWithoutLineFeedIsAbsent", "OutputFile Name = x.htm", false, ""},
        KeyCase{"CommentedThenLive", "&& OutputFile Name = old.htm\nOutputFile Name = new.htm\n",
                true, "new.htm"},
        KeyCase{"CommentMarkAfterEqualsIsValue", "OutputFile Name = a&&b\n", true, "a&&b"},
        KeyCase{"NoEqualsAnywhereIsAbsent", "OutputFile Name x.htm\n", false, ""},
        KeyCase{"KeyInsideAnotherLine", "Foo outputfile name=v \n", true, "v"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(GetKeyValue, KeyStartingAfterTheRangeIsAbsent) {
    std::string text = "a\nOutputFile Name = x\n";
    std::string value;
    EXPECT_EQ(GetKeyValue(text, "outputfile name", 0, 1, value), 0);
}

TEST(JoinPath, AddsTheSeparatorOnlyWhenNeeded) {
    EXPECT_EQ(JoinPath("", "x.htm"), "x.htm");
    EXPECT_EQ(JoinPath(".", "x.htm"), "./x.htm");
    EXPECT_EQ(JoinPath("out", "x.htm"), "out/x.htm");
    EXPECT_EQ(JoinPath("/", "x.htm"), "/x.htm");
    EXPECT_EQ(JoinPath("/srv/www/", "x.htm"), "/srv/www/x.htm");
    EXPECT_EQ(FileNameOf("/a/b/rule.rul"), "rule.rul");
    EXPECT_EQ(FileNameOf("rule.rul"), "rule.rul");
}

// A rule's relative paths are taken from the rule file's directory, its absolute ones as they are.
TEST(ResolvePath, RelativeToTheRuleFilesDirectory) {
    EXPECT_EQ(DirectoryOf("rule.rul"), "");
    EXPECT_EQ(DirectoryOf("/rule.rul"), "/");
    EXPECT_EQ(DirectoryOf("examples/report.rul"), "examples");
    EXPECT_EQ(ResolvePath("examples", "out", "r.htm"), "examples/out/r.htm");
    EXPECT_EQ(ResolvePath("/srv/rules", "../www", "r.htm"), "/srv/rules/../www/r.htm");
    EXPECT_EQ(ResolvePath("/srv/rules", "", "r.htm"), "/srv/rules/r.htm");
    EXPECT_EQ(ResolvePath("/srv/rules", "/var/www", "r.htm"), "/var/www/r.htm");
    EXPECT_EQ(ResolvePath("", "out", "r.htm"), "out/r.htm");  // a rule in the working directory
}

}  // namespace
}  // namespace kolvane

namespace kolvane {
namespace {

// Every implementation of the search gives the answer of a plain byte-by-byte search. Short
// texts from a small alphabet make many partial candidates; longer ones get a key of 1 to 20
// bytes planted in the other letter case near a vector block edge or at the very end, and some
// use a text where the key's bytes are common, so the search leaves its rare-byte mode.
TEST(FindText, EveryPathAgreesWithAPlainSearch) {
    auto plain = [](std::string_view text, std::string_view what, std::size_t from) {
        if (from > text.size()) return npos;
        for (std::size_t i = from; i + what.size() <= text.size(); ++i) {
            bool ok = true;
            for (std::size_t k = 0; k < what.size() && ok; ++k)
                ok = FoldAscii(text[i + k]) == FoldAscii(what[k]);
            if (ok) return i;
        }
        return npos;
    };
    const std::string_view small = "aAbB@`[{ \n\xE1\xC1", wide = "eEtTaA :09mM-.\r\nkzZ\xE1";
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    auto random = [&](std::size_t size, std::string_view alphabet) {
        std::string s(size, ' ');
        for (char& c : s) c = alphabet[next() % alphabet.size()];
        return s;
    };
    for (EFindPath path : {EFindPath::Scalar, EFindPath::Sse2, EFindPath::Avx2}) {
        if (!FindPathSupported(path)) continue;
        for (int round = 0; round < 3000; ++round) {
            std::string text = random(next() % 300, small), what = random(1 + next() % 5, small);
            std::size_t from = text.empty() ? 0 : next() % (text.size() + 1);
            ASSERT_EQ(FindTextOn(path, text, what, from), plain(text, what, from))
                << "path " << int(path) << " round " << round;
        }
        for (int round = 0; round < 400; ++round) {
            std::size_t size = round % 10 == 0 ? 9000 + next() % 512 : 64 + next() % 1200;
            std::string text = random(size, round % 3 == 0 ? small : wide);
            std::string what = random(1 + next() % 20, wide);
            if (what.size() > size) continue;
            std::size_t at = size - what.size();
            if (next() % 4 != 0) {  // else at the very end
                std::size_t edge = 64 * (1 + next() % (size / 64));
                at = std::min(at, edge + next() % 5 - 2 - what.size() % 3);
            }
            for (std::size_t k = 0; k < what.size(); ++k)  // the other letter case
                text[at + k] = char(
                    std::isalpha(static_cast<unsigned char>(what[k])) ? what[k] ^ 0x20 : what[k]);
            std::size_t from = next() % 2 ? 0 : next() % (at + 1);
            // The text ends where an unreadable page begins: a load past its end faults.
            const test::CGuardedText guarded(text);
            const std::size_t found = FindTextOn(path, guarded.View(), what, from);
            ASSERT_EQ(found, plain(text, what, from))
                << "path " << int(path) << " long round " << round;
        }
        // The key's rarest byte in every block: the key planted at each start around where
        // the search changes mode and near the end; the second key's three bytes tested then
        // lie past its rarest byte.
        std::string text(6000, '.');
        for (std::size_t i = 0; i < text.size(); i += 50) text[i] = 'q';
        for (auto [plant, what] : {std::pair{"XQz", "xqZ"}, std::pair{"Q..xJZ", "q..XjZ"}})
            for (std::size_t at = 3900; at <= text.size() - 6; at = at == 4900 ? 5800 : at + 1) {
                std::string planted = text;
                planted.replace(at, std::strlen(plant), plant);
                ASSERT_EQ(FindTextOn(path, planted, what), plain(planted, what, 0))
                    << "path " << int(path) << " " << what << " at " << at;
            }
    }
}

TEST(AfterLineFeeds, CountsAcrossBlocks) {
    std::string text;
    for (int i = 0; i < 500; ++i) text += std::string(std::size_t(i % 7), 'x') + "\n";
    std::size_t pos = 0;
    for (std::size_t k = 0; k <= 500; ++k) {
        EXPECT_EQ(AfterLineFeeds(text, 0, k), pos) << k;
        if (k < 500) pos = text.find('\n', pos) + 1;
    }
    EXPECT_EQ(AfterLineFeeds(text, 0, 501), npos);
    EXPECT_EQ(AfterLineFeeds(text, 3, 0), 3u);
}

// A CR LF across a 128-byte block's edge, a lone CR at an edge or the very end, a NUL before a
// CR LF: the one pass agrees with a cut at the NUL and a search for the pair.
TEST(TextEnd, AgreesWithACutAndASearch) {
    using namespace std::string_view_literals;
    for (std::size_t at = 0; at < 260; ++at)
        for (const std::string_view mark : {"\r\n"sv, "\r"sv, "\0\r\n"sv, "\rx\r"sv}) {
            const std::string bytes =
                std::string(at, 'a') + std::string(mark) + std::string(at % 5, 'b');
            const std::string_view cut = std::string_view(bytes).substr(0, bytes.find('\0'));
            bool crlf = true;
            EXPECT_EQ(TextEnd(bytes, crlf), cut.size()) << at;
            EXPECT_EQ(crlf, cut.find("\r\n") != npos) << at << " " << mark.size();
        }
}

// Outside text in the log: control bytes as "\xNN", the program's own line breaks kept.
TEST(ShownText, EscapesControlsButKeepsOwnLineBreaks) {
    const char* text = "a\tb\x1b[31m\a\x7f\xC2\x9B\xC2\xA0x\ry\r\nz\n";
    const std::string escaped = "a\tb\\x1B[31m\\x07\\x7F\\xC2\\x9B\xC2\xA0x\\x0Dy";
    EXPECT_EQ(EscapeControls(text, ELineBreaks::Keep), escaped + "\r\nz\n");
    EXPECT_EQ(ServerText(text), escaped + "\\x0D\\x0Az\\x0A");
}

}  // namespace
}  // namespace kolvane
