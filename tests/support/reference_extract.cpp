// The extraction of one variable as it was before the scan files' variables shared one pass over
// the text: each variable walks the text on its own, with FindText. Kept unchanged as the
// reference the differential tests and the fuzz target hold the engine's extraction to.
#include "reference_extract.h"

#include <cstring>

#include "engine/text_ops.h"

namespace kolvane::reference {
namespace {
// The scan text with the searches the rules make, each adding the characters it passes over to
// the counter.
class CWalk {
  public:
    CWalk(std::string_view text, std::size_t* examined) : m_text(text), m_examined(examined) {}

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
    std::size_t FindChar(char c, std::size_t from) const {
        std::size_t at = m_text.find(c, from);
        Count(at == npos ? Size() - std::min(from, Size()) : at + 1 - from);
        return at;
    }

  private:
    std::string_view m_text;
    std::size_t* m_examined;
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

SExtraction ExtractPattern(const CScanVar& var, const SScanText& scan, const CWalk& walk) {
    std::string search = var.m_szStartPattern;
    if (auto caret = search.find("^^"); caret != std::string::npos)
        search.replace(caret, 2, scan.crlf ? "\r\n" : "\n");
    // The last character of the pattern; a NUL never occurs inside the text.
    const char last = search.empty() ? '\0' : search.back();
    std::string_view endPattern = var.m_szEndPattern;

    std::string_view key = search;
    std::size_t digits = 0;  // the digit test's count; 0 when there is none
    const std::size_t hash = search.find('#');
    if (hash != std::string::npos) {
        key = TrimView(std::string_view(search).substr(0, hash));
        while (hash + digits < search.size() && search[hash + digits] == '#') ++digits;
        if (auto cut = endPattern.find('#'); cut != npos) endPattern = endPattern.substr(0, cut);
    }
    const std::size_t skip = search.find("$$$");
    if (skip != std::string::npos && hash == std::string::npos)
        key = TrimView(std::string_view(search).substr(0, skip));
    const bool skipping = skip != std::string::npos;

    // Occurrences only move forward, so each answer below serves every later occurrence that
    // still lies before it and is looked for again only once one has passed it; every walk then
    // starts beyond where the last one stopped. (Looking again per occurrence was quadratic: a
    // digit test with a skip whose last character never comes, or a key inside a long run of
    // digits, on a scan text of the largest size.)
    //  - the digit test's stop: the first digit, `last` or line feed at or after an occurrence,
    //    and the end of the digit run there; an occurrence inside that run stops where it is,
    //    at a digit of the same run;
    //  - the first `last` at or after a position.
    std::size_t stop = npos, run = npos;
    std::size_t nextLast = npos;
    bool nextLastKnown = false;
    auto lastFrom = [&](std::size_t from) {
        if (!nextLastKnown || (nextLast != npos && nextLast < from)) {
            nextLast = walk.FindChar(last, from);
            nextLastKnown = true;
        }
        return nextLast;
    };
    // A next `last` at or after `from` with at least two characters between.
    auto lastFollows = [&](std::size_t from) {
        std::size_t l = lastFrom(from);
        return l != npos && l - from >= 2;
    };

    long count = 0;
    std::size_t at = walk.Find(key, 0);
    while (at != npos) {
        walk.Count(1);
        const std::size_t after = at + key.size();
        bool qualifies = true;
        if (digits > 0) {
            if (stop != npos && after > stop && after < run) {
                stop = after;
            } else if (stop == npos || after > stop) {
                stop = after;
                while (stop < walk.Size() && !IsDigit(walk.At(stop)) && walk.At(stop) != last &&
                       walk.At(stop) != '\n')
                    ++stop;
                run = stop;
                while (run < walk.Size() && IsDigit(walk.At(run))) ++run;
                walk.Count(run - after);
            }
            // An empty key searches every position; it never starts inside a run of digits.
            const bool insideRun = key.empty() && at > 0 && IsDigit(walk.At(at - 1));
            qualifies = !insideRun && stop < walk.Size() && IsDigit(walk.At(stop)) &&
                        run - stop == digits && (!skipping || lastFollows(run));
        } else if (skipping) {
            qualifies = lastFollows(after);
        }
        if (qualifies) ++count;
        if (count >= var.m_nInstance) break;
        // Occurrences do not overlap; an empty key moves on one character at a time.
        at = walk.Find(key, after > at ? after : at + 1);
    }
    if (at == npos)
        return count == 0 ? Nothing(EValueOutcome::StartNotFound)
                          : Nothing(EValueOutcome::TooFewOccurrences, var.m_nInstance, count);

    std::size_t start = at + key.size();
    if (skipping) {
        std::size_t l = walk.FindChar(last, at);
        if (l == npos) {
            SExtraction r = Nothing(EValueOutcome::SkipEndNotFound);
            r.outcome.detail = std::string(1, last);
            return r;
        }
        start = l + 1;
    }
    if (var.m_nRule == kRuleCopy) {
        walk.Count(std::min<std::size_t>(walk.Size() - start, std::size_t(var.m_nCopyCount)));
        return Value(CleanValue(walk.Sub(start, static_cast<std::size_t>(var.m_nCopyCount))));
    }
    std::size_t end = walk.Find(endPattern, start);
    if (end == npos) return Nothing(EValueOutcome::EndNotFound);
    return Value(CleanValue(walk.Sub(start, end - start)));
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

SExtraction ReferenceExtractValue(const CScanVar& var, const SScanText& scan) {
    std::size_t* examined = nullptr;
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

}  // namespace kolvane::reference
