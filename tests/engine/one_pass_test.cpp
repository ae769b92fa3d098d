// The extraction of a scan file's variables in one pass (CScanExtractor over CMultiFind) against
// the extraction of each variable alone as it was before (the reference): the same values and
// outcomes on W1, on every pairing of the extraction fuzz seeds, and on generated rules, on
// every vector unit the machine has; and work that grows with the text, not the variables.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/extract_value.h"
#include "engine/text_ops.h"
#include "engine_fixture.h"
#include "guarded_text.h"
#include "reference_extract.h"
#include "w1_workload.h"

namespace kolvane::test {
namespace {

constexpr EMultiPath kPaths[] = {EMultiPath::Direct, EMultiPath::Ssse3, EMultiPath::Avx2};

// splitmix64: the same cases on every machine.
struct SRandom {
    std::uint64_t state;
    std::uint64_t Next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t n) { return std::size_t(Next() % n); }
    template <class T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(N)];
    }
};

std::string Describe(const SExtraction& e) {
    return (e.value ? "value \"" + *e.value + "\"" : std::string("no value")) + " / " +
           ValueOutcomeText(e.outcome);
}

// Every variable of `vars` extracted together from `text` gives what the reference gives it
// alone, on every path; `label` names the case in a failure.
class OnePassTest : public EngineTest {
  protected:
    std::vector<std::unique_ptr<CScanVar>> Parse(const std::vector<std::string>& definitions) {
        std::vector<std::unique_ptr<CScanVar>> vars;
        for (const std::string& d : definitions) {
            auto var = std::make_unique<CScanVar>();
            if (engine.ParseScanVarRule(d, *var, "V")) vars.push_back(std::move(var));
        }
        return vars;
    }
    void ExpectSameAsAlone(std::string_view text,
                           const std::vector<std::unique_ptr<CScanVar>>& vars,
                           const std::string& label) {
        const CGuardedText guarded(text);
        const SScanText scan(guarded.View());
        std::vector<const CScanVar*> list;
        for (const auto& v : vars) list.push_back(v.get());
        for (EMultiPath path : kPaths) {
            if (!MultiPathSupported(path)) continue;
            CScanExtractor extractor(scan, list, path);
            for (std::size_t i = 0; i < list.size(); ++i) {
                const SExtraction got = extractor.Extract(i);
                const SExtraction want = reference::ReferenceExtractValue(*list[i], scan);
                ASSERT_EQ(got.value, want.value)
                    << label << ", path " << int(path) << ", variable " << i << " ("
                    << list[i]->m_szStartPattern << " ... " << list[i]->m_szEndPattern << ")";
                ASSERT_EQ(ValueOutcomeText(got.outcome), ValueOutcomeText(want.outcome))
                    << label << ", path " << int(path) << ", variable " << i << ": "
                    << Describe(got) << " against " << Describe(want);
            }
        }
    }
};

TEST_F(OnePassTest, W1GivesTheReferenceValues) {
    for (int file = 1; file <= bench::kW1Files; ++file) {
        std::vector<std::string> definitions;
        std::istringstream lines(bench::W1VarLines(file, "\n"));
        for (std::string line; std::getline(lines, line);)
            definitions.push_back(line.substr(line.find('=') + 1));
        ExpectSameAsAlone(bench::W1ScanText(file), Parse(definitions),
                          "W1 file " + std::to_string(file));
    }
}

// Each seed of the extraction fuzz target is a definition and a scan text; every definition
// goes over every text, all definitions of the seeds at once.
TEST_F(OnePassTest, FuzzSeedsPairedGiveTheReferenceValues) {
    std::vector<std::string> definitions, texts;
    for (const auto& seed : std::filesystem::directory_iterator(
             KOLVANE_SOURCE_DIR "/tests/fuzz/corpus/fuzz_extract")) {
        std::ifstream in(seed.path(), std::ios::binary);
        const std::string input{std::istreambuf_iterator<char>(in), {}};
        const std::size_t cut = input.find('\xFF');
        definitions.push_back(input.substr(0, cut));
        if (cut != std::string::npos) texts.push_back(input.substr(cut + 1));
    }
    ASSERT_GT(texts.size(), 5u);
    const auto vars = Parse(definitions);
    for (std::size_t t = 0; t < texts.size(); ++t)
        ExpectSameAsAlone(texts[t], vars, "seed text " + std::to_string(t));
}

// Texts and rules from small vocabularies, so that keys occur often, in both letter cases,
// inside digit runs, across line ends, overlapping themselves; many variables share a start
// pattern with other instances.
TEST_F(OnePassTest, GeneratedRulesGiveTheReferenceValues) {
    static const char* const kWords[] = {
        "Total", "total:", "TOTAL", "Sub", "ab",        "aba", "x", "=",   ";",   "12", "3",
        "4567",  "##",     "$",     "Bin", "\xE9t\xE9", "  ",  ":", "END", "end", "0",  "a1b"};
    static const char* const kKeys[] = {"Total", "total:", "Sub", "ab", "aba", "b", "x",
                                        "=",     "Bin",    "end", "a1", ":",   "",  "\xE9t"};
    static const char* const kEnds[] = {"END", "end",      ";;", "=x",    "ab",  "12",
                                        "ab#", "\xE9\xE9", "^^", "total", "x#y", "\r\n"};
    static const char* const kSkips[] = {"", "", "$$$;", "$$$=", "$$$x", "$$$:"};
    static const char* const kDigits[] = {"", "", "", " #", "##", " ###", "#"};
    static const char* const kInstances[] = {"", "::1", "::2", "::3", "::7", "::40"};
    SRandom random{2026};
    for (int round = 0; round < 60; ++round) {
        const std::string eol = random.Below(2) ? "\r\n" : "\n";
        std::string text;
        const std::size_t lines = 1 + random.Below(round % 10 == 0 ? 3000 : 120);
        for (std::size_t l = 0; l < lines; ++l) {
            for (std::size_t w = random.Below(8); w > 0; --w) text += random.Pick(kWords);
            text += eol;
        }
        if (random.Below(4) == 0) text += random.Pick(kWords);  // a last line without its end
        // Definitions the reader accepts (a start of at least three characters, an end of at
        // least two).
        std::vector<std::string> pool;
        for (int tries = 0; pool.size() < 12 && tries < 200; ++tries) {
            std::string start = random.Pick(kKeys);
            if (random.Below(5) == 0) start += std::string("^^") + random.Pick(kKeys);
            start += random.Pick(kDigits);
            start += random.Pick(kSkips);
            const std::string rule = random.Below(3) == 0
                                         ? "??" + std::to_string(random.Below(12)) + "??"
                                         : std::string("????") + random.Pick(kEnds);
            const std::string definition = start + rule + random.Pick(kInstances);
            CScanVar probe;
            if (engine.ParseScanVarRule(definition, probe, "V")) pool.push_back(definition);
        }
        pool.push_back("r2c1????r3c2");
        std::vector<std::string> definitions;
        for (int v = 0; v < 30; ++v) definitions.push_back(pool[random.Below(pool.size())]);
        ExpectSameAsAlone(text, Parse(definitions), "round " + std::to_string(round));
    }
}

// Keys that share their first bytes, over texts that repeat them: the candidates walk one trie
// and the scan goes over to its automaton; keys end inside others, stop being recorded once
// common, fold A to Z only (bytes above 0x7F stay themselves). Small texts, so that the
// reference stays quick.
TEST_F(OnePassTest, SharedPrefixShapesGiveTheReferenceValues) {
    auto repeat = [](const char* unit) {
        std::string s;
        while (s.size() < 6000) s += unit;
        return s;
    };
    const std::string a(6000, 'A'), a250(250, 'A'), ab = repeat("ab"), decoys = repeat("aRST");
    struct SShape {
        const char* name;
        std::string text, definition;  // the variable's number for each "%d"
    };
    const SShape shapes[] = {
        {"prefix-run", a + "AAAA7x one end" + a + "aaaa12X two END AAAA7x three end\n",
         "AAAA%dx????end"},
        {"long-shared", a + a250 + "00007 one end" + a + a250 + "00012 two end\n",
         a250 + "%05d????end"},
        {"sections",
         [] {
             std::string s;
             for (int i = 0; i < 300; ++i) s += "==================== Section \n";
             return s + "==================== Section 007 one end\n";
         }(),
         "==================== Section %03d????end"},
        {"high-bytes",
         std::string(3000, '\xE9') + "\xE9\xE9\xE9"
                                     "7x one end \xC9\xC9\xC9"
                                     "12x\n",
         "\xE9\xE9\xE9%dx????end"},
        {"repetitive", ab + "abab7: one end" + ab + "ABAB12: two end\n", "abab%d:????end"},
        {"nibble-decoys", decoys + "abcd7x one end" + decoys + "ABCD12X two end\n",
         "abcd%dx????end"},
        // End patterns with a long common beginning, found far from their start.
        {"ends", "abab7: one " + ab + ab.substr(0, 100) + "7 abab8: " + ab.substr(0, 100) + "8\n",
         "abab%d:????" + ab.substr(0, 100) + "%d"},
        // One key, patterns that differ in digit count ('@') and skip or none ('~'), last
        // characters between a key and its digits, right after them, or nowhere after.
        {"digit-groups",
         [] {
             std::string plain;
             for (int i = 0; i < 150; ++i) plain += "a a x; a a,z: a a a\n";
             return plain + "a a ,7,; a a 12,z a a:003 a a;4567x a a #5, a a 1\n" + plain +
                    "a a 89 0:\n";
         }(),
         "a a@~????a a"},
    };
    for (const SShape& shape : shapes) {
        std::vector<std::string> definitions;
        char definition[400];
        for (int n = 0; n < 40; ++n) {
            std::snprintf(definition, sizeof definition, shape.definition.c_str(), n, n);
            std::string d = definition + std::string(n % 3 ? "" : "::2");
            if (const auto at = d.find('@'); at != npos) d.replace(at, 1, 1 + n % 4, '#');
            if (const auto at = d.find('~'); at != npos)
                d.replace(at, 1, n % 5 ? std::string("$$$") + "x:;,z07a"[n / 4 % 8] : "");
            definitions.push_back(d);
        }
        // Keys that end inside others, one of them far too common to be recorded and asked for
        // by patterns that differ only in blanks, digit test or skip.
        for (const char* d : {"AAA????A::9000", "AAA #????A::9000", "AAA  #????A::900",
                              "AAA$$$7????A::9000", "AAAAAAA7x????e", "Ab#????A",
                              "\xE9\xE9"
                              "7????d"})
            definitions.push_back(d);
        ExpectSameAsAlone(shape.text, Parse(definitions), shape.name);
    }
}

// A single long extraction serves the caller's events: the pump is called as the shared scan
// goes on, and what it throws ends the extraction.
TEST(OnePassPumpTest, ALongExtractionPumps) {
    const std::string text = std::string(480000, 'A') + "AAAA1x value end\n";
    CScanVar var;
    var.m_nRule = kRuleExtract, var.m_szStartPattern = "AAAA1x", var.m_szEndPattern = "end";
    const SScanText scan(text);
    CScanExtractor extractor(scan, {&var});
    int pumps = 0;
    extractor.SetPump([&] {
        if (++pumps == 10) throw pumps;
    });
    EXPECT_THROW(extractor.Extract(0), int);
}

// CMultiFind answers as FindText, for questions in any order, keys in any case, a key too
// common to be recorded, and a text that ends at an unreadable page.
TEST(MultiFindTest, AnswersAsFindText) {
    SRandom random{14};
    static const char* const kWords[] = {"ab", "AB", "aab", "b", "\xE9", ":", "\r\n", "1", "Ab:"};
    for (int round = 0; round < 40; ++round) {
        std::string text;
        const std::size_t words = round == 0 ? 0 : random.Below(round % 8 == 0 ? 6000 : 300);
        for (std::size_t w = 0; w < words; ++w) text += random.Pick(kWords);
        const CGuardedText guarded(text);
        for (EMultiPath path : kPaths) {
            if (!MultiPathSupported(path)) continue;
            CMultiFind find(guarded.View(), path);
            std::vector<std::string> keys;
            for (int k = 0; k < 11; ++k) {
                std::string key;
                for (std::size_t n = random.Below(4); n > 0; --n) key += random.Pick(kWords);
                keys.push_back(key);
            }
            keys.push_back("b");  // in every text of some length: more than kMaxKept times
            std::vector<std::size_t> ids;
            for (const std::string& key : keys) ids.push_back(find.Add(key));
            for (int q = 0; q < 200; ++q) {
                const std::size_t k = random.Below(keys.size());
                const std::size_t from = random.Below(text.size() + 3);
                ASSERT_EQ(find.Find(ids[k], from), FindText(text, keys[k], from))
                    << "round " << round << ", path " << int(path) << ", key \"" << keys[k]
                    << "\" from " << from;
            }
        }
    }
}

// Fifty variables whose keys lie in the last lines of a large text, and fifty whose end
// pattern never comes: the text is walked a few times, not once per variable.
TEST(OnePassWorkTest, GrowsWithTheTextNotWithTheVariables) {
    std::string text;
    while (text.size() < 300000) text += "item 12 costs 4.50 each, see list\n";
    std::vector<CScanVar> vars(100);
    for (int i = 0; i < 50; ++i) {
        text += "Key" + std::to_string(i) + ": value " + std::to_string(i) + "\n";
        vars[std::size_t(i)].m_nRule = kRuleExtract;
        vars[std::size_t(i)].m_szStartPattern = "key" + std::to_string(i) + ":";
        vars[std::size_t(i)].m_szEndPattern = "\n";
        vars[std::size_t(50 + i)].m_nRule = kRuleExtract;
        vars[std::size_t(50 + i)].m_szStartPattern = "item";
        vars[std::size_t(50 + i)].m_nInstance = 1 + i * 100;
        vars[std::size_t(50 + i)].m_szEndPattern = "never";
    }
    const SScanText scan(text);
    std::vector<const CScanVar*> list;
    for (const CScanVar& v : vars) list.push_back(&v);
    for (EMultiPath path : kPaths) {
        if (!MultiPathSupported(path) || path == EMultiPath::Direct) continue;
        CScanExtractor extractor(scan, list, path);
        for (std::size_t i = 0; i < list.size(); ++i) extractor.Extract(i);
        EXPECT_LE(extractor.Examined(), 3 * text.size()) << "path " << int(path);
    }
}

}  // namespace
}  // namespace kolvane::test
