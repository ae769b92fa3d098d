// The extraction of one variable by its rule (start and end patterns with "^^", "#" and "$$$",
// a copy count, a line-column range, the whole file), with the outcome of each way it can find
// nothing.
#include "engine/extract_value.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <queue>
#include <unordered_map>

#include "engine/text_ops.h"

namespace kolvane {

// The first occurrence of something at or after a position, with the last answer kept for
// the questions that follow: one from the stretch the kept answer covers (from its question up
// to its occurrence) costs no walk, and one from before that stretch walks only up to it. So
// the variables that ask for the same end pattern or skip character walk the text about once
// between them, in whatever order they ask.
class CNextMemo {
  public:
    // `search(from, limit)`: the first occurrence from `from` that starts before `limit`.
    template <class Search>
    std::size_t Next(std::size_t from, Search search) {
        if (m_known && from >= m_from && (m_at == npos || from <= m_at)) return m_at;
        std::size_t at;
        if (m_known && from < m_from) {
            at = search(from, m_from);
            if (at == npos) at = m_at;
        } else {
            at = search(from, npos);
        }
        m_known = true;
        m_from = from;
        m_at = at;
        return at;
    }

  private:
    bool m_known = false;
    std::size_t m_from = 0, m_at = npos;
};

namespace {

// The scan text with the searches the rules make, each adding the characters it passes over to
// the counter.
class CWalk {
  public:
    CWalk(std::string_view text, std::size_t* examined, CMultiFind* keys = nullptr,
          CMultiFind* ends = nullptr, const std::function<void()>* pump = nullptr)
        : m_text(text), m_examined(examined), m_keys(keys), m_ends(ends), m_pump(pump) {}

    std::size_t Size() const { return m_text.size(); }
    char At(std::size_t i) const { return m_text[i]; }
    std::string_view Sub(std::size_t pos, std::size_t n) const { return m_text.substr(pos, n); }
    void Count(std::size_t n) const {
        if (m_examined) *m_examined += n;
    }
    // FindText from `from`, counted up to the end of the match or of the text.
    std::size_t Find(std::string_view what, std::size_t from) const {
        std::size_t at = FindText(m_text, what, from);
        Count(at == npos ? Size() - std::min(from, Size()) : at + what.size() - from);
        return at;
    }
    // Key `id` of the shared scan from `from`; without one, Find. The shared scan is counted
    // once, by its owner.
    std::size_t FindKey(std::size_t id, std::string_view what, std::size_t from) const {
        return m_keys ? m_keys->Find(id, from) : Find(what, from);
    }
    // FindKey for the next occurrence of a key that may come at nearly every start: the next
    // few starts are compared first (a search pays a setup per call). A start compared costs
    // at most the key's length, and the occurrences found do not overlap.
    std::size_t NextKey(std::size_t id, std::string_view what, std::size_t from) const {
        const std::size_t end = Size() - std::min(what.size(), Size()) + 1;  // past the last start
        const std::size_t last = std::min(from + 4, end);
        for (std::size_t p = from; p < last; ++p)
            if (std::equal(what.begin(), what.end(), m_text.begin() + std::ptrdiff_t(p),
                           [](char a, char b) { return FoldAscii(a) == FoldAscii(b); })) {
                Count(p + what.size() - from);
                return p;
            }
        if (last > from) Count(last - from);
        return FindKey(id, what, std::max(from, last));
    }
    std::size_t FindChar(char c, std::size_t from) const {
        std::size_t at = m_text.find(c, from);
        Count(at == npos ? Size() - std::min(from, Size()) : at + 1 - from);
        return at;
    }
    // The same, for an occurrence that starts before `limit` (npos: anywhere).
    std::size_t FindBefore(std::string_view what, std::size_t from, std::size_t limit) const {
        if (limit == npos) return Find(what, from);
        const CWalk prefix(m_text.substr(0, limit + what.size() - 1), m_examined);
        const std::size_t at = prefix.Find(what, from);
        return at < limit ? at : npos;
    }
    // FindBefore for end pattern `id` of the shared scan of end patterns: near `from` (where a
    // value's end mostly is) by FindText over a stretch whose compares stay few (at most about
    // 16 KiB, however the text repeats the pattern's beginning), beyond that from the shared
    // scan, which passes over the text once for all the end patterns.
    std::size_t FindEnd(std::size_t id, std::string_view what, std::size_t from,
                        std::size_t limit) const {
        if (!m_ends) return FindBefore(what, from, limit);
        const std::size_t length = std::max<std::size_t>(what.size(), 1);
        const std::size_t near = from + std::max(length, 16384 / length);
        if (near >= std::min(limit, Size())) return FindBefore(what, from, limit);
        if (const std::size_t at = FindBefore(what, from, near); at != npos) return at;
        return m_ends->Find(id, near, limit);
    }
    // The last `c` in the text, counted from the end back to it.
    std::size_t FindLast(char c) const {
        const void* found = m_text.empty() ? nullptr : ::memrchr(m_text.data(), c, m_text.size());
        const std::size_t at =
            found ? std::size_t(static_cast<const char*>(found) - m_text.data()) : npos;
        Count(at == npos ? Size() : Size() - at);
        return at;
    }
    std::size_t FindCharBefore(char c, std::size_t from, std::size_t limit) const {
        if (limit == npos) return FindChar(c, from);
        return CWalk(m_text.substr(0, limit), m_examined).FindChar(c, from);
    }

    // Serves the caller's pending events, when it asked for that.
    void Pump() const {
        if (m_pump && *m_pump) (*m_pump)();
    }

  private:
    std::string_view m_text;
    std::size_t* m_examined;
    CMultiFind* m_keys;
    CMultiFind* m_ends;
    const std::function<void()>* m_pump;
};

// Carriage returns dropped, line feeds made blanks: a pattern value is one line.
std::string CleanValue(std::string_view raw) {
    std::string value;
    value.reserve(raw.size());
    for (char c : raw) {
        if (c == '\r') continue;
        value.push_back(c == '\n' ? ' ' : c);
    }
    return value;
}

SExtraction Nothing(EValueOutcome kind, long asked = 0, long found = 0, long line = 0) {
    SExtraction r;
    r.outcome.kind = kind;
    r.outcome.asked = asked;
    r.outcome.found = found;
    r.outcome.line = line;
    return r;
}

SExtraction Value(std::string value) {
    SExtraction r;
    r.value = std::move(value);
    r.outcome.kind = EValueOutcome::Found;
    return r;
}

// A start pattern made ready for the scan text: "^^" as the text's line break, the key the
// occurrences are searched for, and the digit test and skip that an occurrence must pass.
// Every variable with the same start pattern shares these, and so the occurrences that pass.
struct SPattern {
    std::string search;
    std::size_t keyAt = 0, keyLength = 0;  // the key within `search`
    std::size_t digits = 0;                // the digit test's count; 0 when there is none
    bool skipping = false;
    char last = '\0';       // the last character of the pattern; a NUL never occurs in the text
    std::size_t keyId = 0;  // in the scan's CMultiFind, when there is one
    std::string_view Key() const { return std::string_view(search).substr(keyAt, keyLength); }
};

SPattern MakePattern(const CScanVar& var, const SScanText& scan) {
    SPattern p;
    p.search = var.m_szStartPattern;
    if (auto caret = p.search.find("^^"); caret != std::string::npos)
        p.search.replace(caret, 2, scan.crlf ? "\r\n" : "\n");
    if (!p.search.empty()) p.last = p.search.back();
    const std::string_view search = p.search;
    std::string_view key = search;
    const std::size_t hash = search.find('#');
    if (hash != npos) {
        key = TrimView(search.substr(0, hash));
        while (hash + p.digits < search.size() && search[hash + p.digits] == '#') ++p.digits;
    }
    const std::size_t skip = search.find("$$$");
    if (skip != npos && hash == npos) key = TrimView(search.substr(0, skip));
    p.skipping = skip != npos;
    p.keyAt = std::size_t(key.data() - search.data());
    p.keyLength = key.size();
    return p;
}

// The end pattern of `var`: with a digit test, only the part before its first "#".
std::string_view EndPattern(const CScanVar& var, const SPattern& p) {
    std::string_view end = var.m_szEndPattern;
    if (p.digits > 0) end = end.substr(0, end.find('#'));
    return end;
}

// A start pattern, the counts asked of it (ascending) and, once located, the occurrence where
// each count is first reached (npos when the text ends before) and the count reached, which is
// the whole text's when some count was not reached.
struct SCounted {
    SPattern pattern;
    std::vector<long> wanted;
    std::vector<std::size_t> found;
    long count = 0;
};

// Fills in `ends` (per byte: one past its last place in the text, 0 when it does not occur,
// npos while not looked for) for the last characters of the skipping patterns of `groups`: a
// search back from the end for each of a few, one pass over the text for more.
void FindLastEnds(const CWalk& walk, const std::vector<SCounted*>& groups,
                  std::vector<std::size_t>& ends) {
    if (ends.empty()) ends.assign(256, npos);
    std::vector<unsigned char> wanted;
    for (const SCounted* g : groups) {
        const auto c = static_cast<unsigned char>(g->pattern.last);
        if (g->pattern.skipping && ends[c] == npos &&
            std::find(wanted.begin(), wanted.end(), c) == wanted.end())
            wanted.push_back(c);
    }
    if (wanted.size() > 8) {
        std::fill(ends.begin(), ends.end(), 0);
        for (std::size_t i = 0; i < walk.Size(); ++i)
            ends[static_cast<unsigned char>(walk.At(i))] = i + 1;
        walk.Count(walk.Size());
        return;
    }
    for (unsigned char c : wanted) {
        const std::size_t at = walk.FindLast(char(c));
        ends[c] = at == npos ? 0 : at + 1;
    }
}

// Locates the start patterns of `groups`, which have one key (letters folded) and differ in
// their digit test, skip or last character, in one walk over the key's occurrences. An
// occurrence counts for a pattern when it passes the pattern's tests:
//  - a skip alone: the pattern's last character comes at or after the key's end, at least two
//    characters on;
//  - a digit test: the first digit, line feed or last character at or after the key's end (its
//    stop) is a digit that starts a run of exactly the test's count of digits, and with a skip
//    the last character comes at least two characters after that run.
// The walk finds each occurrence's stop for digits and line feeds only; the occurrences with
// the same stop (a stretch) then pass alike for every pattern with the run's count of digits,
// except for the last characters that lie between an occurrence and the stop (its gap, which
// is a part of the first occurrence's gap) or just after the run. So each pattern's count is
// its class's count (every occurrence; those of its digit count) less what it misses, and only
// the misses are counted per pattern: per character of each stretch's first gap (the gaps of
// distinct stops do not overlap), the two after its run and the two after each occurrence.
// A pattern whose last character no longer comes misses every occurrence from there on and is
// settled then. A count asked for is reached when its class's count reaches it plus the
// misses, which a heap per class tells. Worst input: a key at every other start, each
// occurrence missed by the skips whose last character follows it (two heap entries per
// occurrence), and stretches whose gaps hold many distinct last characters (a search among the
// stretch's occurrences per character); the cost is O((text + patterns + counts asked) log
// text).
void Locate(const CWalk& walk, std::string_view key, std::size_t keyId,
            const std::vector<SCounted*>& groups, const std::vector<std::size_t>& lastEnds) {
    constexpr std::size_t kNone = npos;
    struct SState {
        std::size_t cls = 0;       // 0: every occurrence; else by the digit test's count
        long missed = 0, due = 0;  // due: the class count at which the next wanted is reached
        std::size_t next = 0;
        bool open = true, settled = false;
    };
    using SHeap = std::priority_queue<std::pair<long, std::size_t>,
                                      std::vector<std::pair<long, std::size_t>>, std::greater<>>;
    std::vector<SState> state(groups.size());
    std::vector<long> classCount(1, 0);
    std::vector<std::size_t> classDigits(1, 0);
    std::unordered_map<std::size_t, std::size_t> classOf;  // by digit count
    // The per-byte tables are on the stack: a run locates keys by the thousand.
    std::array<std::size_t, 256> bySkipChar;  // class 0 with a skip, by last
    bySkipChar.fill(kNone);
    std::unordered_map<std::uint64_t, std::size_t> byDigitTest;  // class, skip, last
    std::vector<std::size_t> mortal[2];  // with a skip: class 0, digit classes
    auto lastOf = [&](std::size_t g) {
        return static_cast<unsigned char>(groups[g]->pattern.last);
    };
    auto testKey = [](std::size_t cls, bool skipping, unsigned char c) {
        return std::uint64_t(cls) << 9 | std::uint64_t(skipping) << 8 | c;
    };
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const SPattern& p = groups[g]->pattern;
        groups[g]->found.assign(groups[g]->wanted.size(), kNone);
        if (p.digits > 0) {
            auto [it, added] = classOf.try_emplace(p.digits, classCount.size());
            if (added) classCount.push_back(0), classDigits.push_back(p.digits);
            state[g].cls = it->second;
            byDigitTest[testKey(it->second, p.skipping, lastOf(g))] = g;
        } else if (p.skipping) {
            bySkipChar[lastOf(g)] = g;
        }
        if (p.skipping) mortal[p.digits > 0].push_back(g);
    }
    for (auto& m : mortal)
        std::sort(m.begin(), m.end(), [&](std::size_t a, std::size_t b) {
            return lastEnds[lastOf(a)] < lastEnds[lastOf(b)];
        });
    std::vector<SHeap> heaps(classCount.size());
    std::size_t open = groups.size();
    auto close = [&](std::size_t g) {
        state[g].open = false;
        --open;
    };
    auto settle = [&](std::size_t g) {
        if (!state[g].open) return;
        state[g].settled = true;
        groups[g]->count = classCount[state[g].cls] - state[g].missed;
        close(g);
    };
    auto miss = [&](std::size_t g, long n) {
        if (g == kNone || n == 0 || !state[g].open) return;
        state[g].missed += n;
        state[g].due += n;
        heaps[state[g].cls].push({state[g].due, g});
    };
    // The counts of class `cls` reached at occurrence `at`.
    auto reach = [&](std::size_t cls, std::size_t at) {
        SHeap& heap = heaps[cls];
        while (!heap.empty() && heap.top().first <= classCount[cls]) {
            const auto [due, g] = heap.top();
            heap.pop();
            SState& s = state[g];
            if (!s.open || s.due != due) continue;  // settled, or its misses moved it on
            groups[g]->found[s.next++] = at;
            if (s.next == groups[g]->wanted.size()) {
                close(g);
            } else {
                s.due = groups[g]->wanted[s.next] + s.missed;
                heap.push({s.due, g});
            }
        }
    };

    // The occurrences of the current stretch (same stop for digits), and its gap's characters.
    std::size_t stretchStop = kNone, stretchRun = kNone;
    std::vector<std::size_t> stretchAt, stretchAfter;
    std::array<std::size_t, 256> lastIn{};  // one past the character's last place in the gap
    std::vector<unsigned char> inGap;
    std::size_t killed[2] = {0, 0};
    auto flush = [&] {
        if (stretchAt.empty()) return;
        const auto found = classOf.find(stretchRun - stretchStop);
        if (found != classOf.end()) {
            const std::size_t cls = found->second;
            const long k = long(stretchAt.size());
            auto test = [&](bool skipping, unsigned char c) {
                const auto it = byDigitTest.find(testKey(cls, skipping, c));
                return it == byDigitTest.end() ? kNone : it->second;
            };
            for (auto& i = killed[1];
                 i < mortal[1].size() && lastEnds[lastOf(mortal[1][i])] <= stretchRun; ++i)
                settle(mortal[1][i]);
            // A skip's last character right after the run: every occurrence missed.
            int failing[2] = {-1, -1};
            for (std::size_t f = 0; f < 2 && stretchRun + f < walk.Size(); ++f) {
                const auto c = static_cast<unsigned char>(walk.At(stretchRun + f));
                if (f == 1 && failing[0] == c) continue;
                failing[f] = c;
                miss(test(true, c), k);
            }
            // A last character in the gap: missed by the occurrences up to its last place there.
            const std::size_t from = stretchAfter.front();
            for (std::size_t p = from; p < stretchStop; ++p) {
                const auto c = static_cast<unsigned char>(walk.At(p));
                if (!lastIn[c]) inGap.push_back(c);
                lastIn[c] = p + 1;
            }
            walk.Count(stretchStop - from);
            for (unsigned char c : inGap) {
                const long m =
                    long(std::upper_bound(stretchAfter.begin(), stretchAfter.end(), lastIn[c] - 1) -
                         stretchAfter.begin());
                miss(test(false, c), m);
                if (failing[0] != c && failing[1] != c) miss(test(true, c), m);
                lastIn[c] = 0;
            }
            inGap.clear();
            for (std::size_t at : stretchAt) {
                ++classCount[cls];
                reach(cls, at);
            }
        }
        stretchAt.clear();
        stretchAfter.clear();
    };

    // The stop for digits of the last occurrence, and the end of the digit run there; an
    // occurrence that ends inside that run stops where it is, at a digit of the same run.
    std::size_t stop = npos, run = npos;
    const bool digitTests = classCount.size() > 1, skipsAlone = !mortal[0].empty();
    std::size_t at = walk.FindKey(keyId, key, 0);
    if (at != npos) {
        // A count of 0 or less is reached at the first occurrence, whatever it passes.
        for (std::size_t g = 0; g < groups.size(); ++g) {
            SState& s = state[g];
            const std::vector<long>& wanted = groups[g]->wanted;
            while (s.next < wanted.size() && wanted[s.next] <= 0) groups[g]->found[s.next++] = at;
            if (s.next == wanted.size()) {
                close(g);
                continue;
            }
            s.due = wanted[s.next];
            heaps[s.cls].push({s.due, g});
        }
    }
    for (std::size_t passed = 1; at != npos && open > 0; ++passed) {
        walk.Count(1);
        if (passed % 1024 == 0) walk.Pump();
        const std::size_t after = at + key.size();
        for (auto& i = killed[0]; i < mortal[0].size() && lastEnds[lastOf(mortal[0][i])] <= after;
             ++i)
            settle(mortal[0][i]);
        for (std::size_t f = 0; skipsAlone && f < 2 && after + f < walk.Size(); ++f)
            if (f == 0 || walk.At(after + 1) != walk.At(after))
                miss(bySkipChar[static_cast<unsigned char>(walk.At(after + f))], 1);
        ++classCount[0];
        reach(0, at);
        if (digitTests) {
            if (stop != npos && after > stop && after < run) {
                stop = after;
            } else if (stop == npos || after > stop) {
                stop = after;
                while (stop < walk.Size() && !IsDigit(walk.At(stop)) && walk.At(stop) != '\n')
                    ++stop;
                run = stop;
                while (run < walk.Size() && IsDigit(walk.At(run))) ++run;
                walk.Count(run - after);
            }
            // An empty key searches every position; it never starts inside a run of digits.
            const bool insideRun = key.empty() && at > 0 && IsDigit(walk.At(at - 1));
            if (!insideRun && stop < walk.Size() && IsDigit(walk.At(stop))) {
                if (stop != stretchStop) flush();
                stretchStop = stop, stretchRun = run;
                stretchAt.push_back(at);
                stretchAfter.push_back(after);
            }
        }
        // Occurrences do not overlap; an empty key moves on one character at a time.
        at = walk.NextKey(keyId, key, after > at ? after : at + 1);
    }
    flush();
    for (std::size_t g = 0; g < groups.size(); ++g)
        if (!state[g].settled) groups[g]->count = classCount[state[g].cls] - state[g].missed;
}

// The value of `var` whose occurrence is `at` (npos: none; `count` passed the whole text).
// `lastMemo` serves the pattern's last character, `endMemo` the variable's end pattern (`endId`
// in the walk's shared scan of end patterns).
SExtraction FinishPattern(const CScanVar& var, const SPattern& p, std::size_t at, long count,
                          const CWalk& walk, CNextMemo& lastMemo, CNextMemo& endMemo,
                          std::size_t endId = 0) {
    if (at == npos)
        return count == 0 ? Nothing(EValueOutcome::StartNotFound)
                          : Nothing(EValueOutcome::TooFewOccurrences, var.m_nInstance, count);

    std::size_t start = at + p.keyLength;
    if (p.skipping) {
        const std::size_t l = lastMemo.Next(at, [&](std::size_t from, std::size_t limit) {
            return walk.FindCharBefore(p.last, from, limit);
        });
        if (l == npos) {
            SExtraction r = Nothing(EValueOutcome::SkipEndNotFound);
            r.outcome.detail = std::string(1, p.last);
            return r;
        }
        start = l + 1;
    }
    if (var.m_nRule == kRuleCopy) {
        walk.Count(std::min<std::size_t>(walk.Size() - start, std::size_t(var.m_nCopyCount)));
        return Value(CleanValue(walk.Sub(start, static_cast<std::size_t>(var.m_nCopyCount))));
    }
    const std::string_view endPattern = EndPattern(var, p);
    const std::size_t end = endMemo.Next(start, [&](std::size_t from, std::size_t limit) {
        return walk.FindEnd(endId, endPattern, from, limit);
    });
    if (end == npos) return Nothing(EValueOutcome::EndNotFound);
    return Value(CleanValue(walk.Sub(start, end - start)));
}

SExtraction ExtractPattern(const CScanVar& var, const SScanText& scan, const CWalk& walk) {
    SCounted c;
    c.pattern = MakePattern(var, scan);
    c.wanted = {var.m_nInstance};
    std::vector<std::size_t> lastEnds;
    FindLastEnds(walk, {&c}, lastEnds);
    Locate(walk, c.pattern.Key(), 0, {&c}, lastEnds);
    CNextMemo lastMemo, endMemo;
    return FinishPattern(var, c.pattern, c.found[0], c.count, walk, lastMemo, endMemo);
}

// Lines of the text: one per line feed, and one more for a last line without one.
long CountLines(const CWalk& walk) {
    long lines = 0;
    std::size_t from = 0;
    for (std::size_t lf; (lf = walk.FindChar('\n', from)) != npos; from = lf + 1) ++lines;
    return lines + (from < walk.Size() ? 1 : 0);
}

SExtraction ExtractLineColumn(const CScanVar& var, std::string_view text, const CWalk& walk) {
    const int startLine = var.m_nStartLine, startCol = var.m_nStartCol;
    const int endLine = var.m_nEndLine, endCol = var.m_nEndCol;
    if (startLine < 1) return Nothing(EValueOutcome::LineMissing, startLine, CountLines(walk));
    if (endLine < startLine) return Nothing(EValueOutcome::EndBeforeStart, endCol, 0, endLine);

    // Line k is the text after the (k-1)-th line feed up to and including the k-th; a line
    // without its line feed cannot be the start line, and an empty line gives nothing.
    const std::size_t lineStart = AfterLineFeeds(text, 0, std::size_t(startLine - 1));
    if (lineStart == npos) {
        walk.Count(text.size());
        return Nothing(EValueOutcome::LineMissing, startLine, CountLines(walk));
    }
    walk.Count(lineStart);
    const std::size_t lineEnd = AfterLineFeeds(text, lineStart, 1);
    if (lineEnd == npos) {
        walk.Count(text.size() - lineStart);
        return lineStart < text.size()
                   ? Nothing(EValueOutcome::LineUnended, startLine)
                   : Nothing(EValueOutcome::LineMissing, startLine, CountLines(walk));
    }
    walk.Count(lineEnd - lineStart);
    const long lineLength = long(lineEnd - 1 - lineStart);
    if (lineLength == 0) return Nothing(EValueOutcome::LineEmpty, startLine);
    if (startCol < 1 || startCol > lineLength)
        return Nothing(EValueOutcome::ColumnMissing, startCol, lineLength, startLine);
    const std::size_t start = lineStart + std::size_t(startCol - 1);

    // The end position: on the start line from the start column, or on a later line from its
    // first column. A carriage return counts as a column; the line feed ending the end line is
    // its last possible column.
    std::size_t p = start;
    int col = startCol;
    if (endLine > startLine) {
        p = AfterLineFeeds(text, start, std::size_t(endLine - startLine));
        if (p == npos) {
            walk.Count(text.size() - start);
            return Nothing(EValueOutcome::LineMissing, endLine, CountLines(walk));
        }
        walk.Count(p - start);
        col = 1;
    }
    if (endCol < col) return Nothing(EValueOutcome::EndBeforeStart, endCol, 0, endLine);
    const std::size_t endLineStart = p - std::size_t(col - 1);
    for (; p < text.size(); ++p, ++col) {
        walk.Count(1);
        if (col == endCol) return Value(std::string(text.substr(start, p - start + 1)));
        if (text[p] == '\n') break;
    }
    // The end column lies beyond the end line (its line feed, or the end of the text).
    return Nothing(EValueOutcome::ColumnMissing, endCol, long(p - endLineStart), endLine);
}

}  // namespace

SScanText::SScanText(std::string_view bytes)
    : text(bytes.substr(0, bytes.find('\0'))), crlf(text.find("\r\n") != npos) {}

SExtraction ExtractValue(const CScanVar& var, const SScanText& scan, std::size_t* examined) {
    const CWalk walk(scan.text, examined);
    switch (var.m_nRule) {
        case kRuleWholeFile:
            walk.Count(scan.text.size());
            return Value(std::string(scan.text));
        case kRuleLineColumn:
            return ExtractLineColumn(var, scan.text, walk);
        default:
            return ExtractPattern(var, scan, walk);
    }
}

// A start pattern shared by some variables, the counts they ask for, and once located, where
// each is reached.
struct CScanExtractor::SGroup : SCounted {
    bool located = false;
};

CScanExtractor::CScanExtractor(const SScanText& scan, std::vector<const CScanVar*> vars,
                               EMultiPath path)
    : m_scan(scan),
      m_vars(std::move(vars)),
      m_keys(scan.text, path),
      m_ends(scan.text, path),
      m_groupOf(m_vars.size(), npos),
      m_endOf(m_vars.size(), npos),
      m_lastMemos(256) {
    // Start patterns that search alike share a group: the same key (letters folded), digit test
    // and skip, whatever blanks stand between them.
    std::unordered_map<std::string, std::size_t> byBehaviour;
    // End patterns equal with letters folded share a memo; the views are into the variables.
    std::unordered_map<std::string_view, std::size_t, SFoldedHash, SFoldedEqual> byEnd;
    for (std::size_t i = 0; i < m_vars.size(); ++i) {
        if (!m_vars[i]) continue;
        const CScanVar& var = *m_vars[i];
        if (var.m_nRule == kRuleWholeFile || var.m_nRule == kRuleLineColumn) continue;
        SPattern p = MakePattern(var, scan);
        std::string behaviour = FoldedCopy(p.Key());
        behaviour += '\0' + std::to_string(p.digits) + (p.skipping ? '$' : '-');
        if (p.digits > 0 || p.skipping) behaviour += p.last;
        auto [it, added] = byBehaviour.try_emplace(std::move(behaviour), m_groups.size());
        if (added) {
            p.keyId = m_keys.Add(p.Key());
            m_byKey.resize(std::max(m_byKey.size(), p.keyId + 1));
            m_byKey[p.keyId].push_back(m_groups.size());
            m_groups.emplace_back().pattern = std::move(p);
        }
        SGroup& group = m_groups[it->second];
        group.wanted.push_back(var.m_nInstance);
        m_groupOf[i] = it->second;
        // End patterns are searched from near their start: each from where it is needed, the
        // variables with the same one (letters folded) sharing its answers.
        m_endOf[i] = byEnd.try_emplace(EndPattern(var, group.pattern), byEnd.size()).first->second;
    }
    m_endMemos.resize(byEnd.size());
    m_endIds.resize(byEnd.size());
    for (const auto& [end, memo] : byEnd) m_endIds[memo] = m_ends.Add(end);
    for (SGroup& group : m_groups) {
        std::sort(group.wanted.begin(), group.wanted.end());
        group.wanted.erase(std::unique(group.wanted.begin(), group.wanted.end()),
                           group.wanted.end());
    }
}

CScanExtractor::~CScanExtractor() = default;

void CScanExtractor::SetPump(std::function<void()> pump) {
    m_pump = pump;
    m_keys.SetProgress(pump);
    m_ends.SetProgress(std::move(pump));
}

SExtraction CScanExtractor::Extract(std::size_t i) {
    const CScanVar& var = *m_vars[i];
    if (m_groupOf[i] == npos) return ExtractValue(var, m_scan, &m_examined);
    const CWalk walk(m_scan.text, &m_examined, &m_keys, &m_ends, &m_pump);
    SGroup& group = m_groups[m_groupOf[i]];
    CNextMemo& lastMemo = m_lastMemos[static_cast<unsigned char>(group.pattern.last)];
    if (!group.located) {
        // Every start pattern with this key is located in the same walk.
        std::vector<SCounted*> same;
        for (std::size_t g : m_byKey[group.pattern.keyId]) {
            same.push_back(&m_groups[g]);
            m_groups[g].located = true;
        }
        FindLastEnds(walk, same, m_lastEnds);
        Locate(walk, group.pattern.Key(), group.pattern.keyId, same, m_lastEnds);
    }
    const auto at = std::lower_bound(group.wanted.begin(), group.wanted.end(), var.m_nInstance) -
                    group.wanted.begin();
    return FinishPattern(var, group.pattern, group.found[std::size_t(at)], group.count, walk,
                         lastMemo, m_endMemos[m_endOf[i]], m_endIds[m_endOf[i]]);
}

}  // namespace kolvane
