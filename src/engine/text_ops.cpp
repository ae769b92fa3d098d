// Case-folding search and the line and key operations over rule and scan texts.
#include "text_ops.h"

#include <algorithm>
#include <cstring>

namespace kolvane {
namespace {

// Compares `n` bytes with the letters A to Z folded; `b` is already folded.
inline bool MatchFoldedTail(const char* a, const char* bFolded, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (FoldAscii(a[i]) != bFolded[i]) return false;
    return true;
}

}  // namespace

bool EqualFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

std::size_t FindText(std::string_view text, std::string_view what, std::size_t from) {
    if (from > text.size()) return npos;
    if (what.empty()) return from;
    if (what.size() > text.size() - from) return npos;

    // Fold the key once (keys are short: at most a line). Larger keys fold into a heap string.
    char small[256];
    std::string large;
    char* key = small;
    if (what.size() > sizeof small) {
        large.resize(what.size());
        key = large.data();
    }
    for (std::size_t i = 0; i < what.size(); ++i) key[i] = FoldAscii(what[i]);

    const char* base = text.data();
    const char* last = base + text.size() - what.size();  // last possible start
    const char lower = key[0];
    const char upper = (lower >= 'a' && lower <= 'z') ? char(lower - ('a' - 'A')) : lower;
    const std::size_t rest = what.size() - 1;

    const char* p = base + from;
    if (lower == upper) {
        while (p <= last) {
            p = static_cast<const char*>(std::memchr(p, lower, std::size_t(last - p) + 1));
            if (!p) return npos;
            if (MatchFoldedTail(p + 1, key + 1, rest)) return std::size_t(p - base);
            ++p;
        }
        return npos;
    }
    // A letter: look for either case within a window, so that a search that finds its first
    // byte often (and is called again from there, as an instance walk does) never scans the
    // whole rest of the text for the other case. The window grows while nothing is found and
    // follows the distance between candidates, so a sparse search still runs at memchr speed.
    std::size_t window = 64;
    while (p <= last) {
        const std::size_t n = std::min(window, std::size_t(last - p) + 1);
        const char* a = static_cast<const char*>(std::memchr(p, lower, n));
        const char* b = static_cast<const char*>(std::memchr(p, upper, a ? std::size_t(a - p) : n));
        const char* cand = b ? b : a;
        if (!cand) {
            p += n;
            window = std::min<std::size_t>(window * 2, 1 << 16);
            continue;
        }
        if (MatchFoldedTail(cand + 1, key + 1, rest)) return std::size_t(cand - base);
        window = std::clamp<std::size_t>(2 * std::size_t(cand - p + 1), 64, 1 << 16);
        p = cand + 1;
    }
    return npos;
}

std::size_t FindLineEnd(std::string_view text, std::size_t from, std::size_t* lineEndLength) {
    if (from >= text.size()) {
        if (lineEndLength) *lineEndLength = 0;
        return text.size();
    }
    const void* lf = std::memchr(text.data() + from, '\n', text.size() - from);
    if (!lf) {
        if (lineEndLength) *lineEndLength = 0;
        return text.size();
    }
    std::size_t pos = std::size_t(static_cast<const char*>(lf) - text.data());
    if (pos > from && text[pos - 1] == '\r') {
        if (lineEndLength) *lineEndLength = 2;
        return pos - 1;
    }
    if (lineEndLength) *lineEndLength = 1;
    return pos;
}

std::size_t SkipLines(std::string_view text, std::size_t pos, int count) {
    for (int i = 0; i < count; ++i) {
        std::size_t len = 0;
        pos = FindLineEnd(text, pos, &len);
        pos += len;
        if (len == 0) break;
    }
    return pos;
}

std::string_view TrimView(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

void TrimText(std::string& text) {
    std::string_view t = TrimView(text);
    if (t.size() != text.size()) text = std::string(t);
}

int GetKeyValue(std::string_view text, std::string_view key, std::size_t rangeStart,
                std::size_t rangeEnd, std::string& value) {
    if (rangeEnd > text.size()) rangeEnd = text.size();
    std::size_t from = rangeStart;
    for (;;) {
        std::size_t at = FindText(text, key, from);
        if (at == npos || at > rangeEnd) return 0;
        // Commented out when "&&" stands between the line's beginning (or the range's start)
        // and the occurrence.
        std::size_t lineStart = at;
        while (lineStart > rangeStart && text[lineStart - 1] != '\n') --lineStart;
        std::string_view before = text.substr(lineStart, at - lineStart);
        if (before.find("&&") != std::string_view::npos) {
            from = at + 1;
            continue;
        }
        std::size_t eq = text.find('=', at + key.size());
        if (eq == npos) return 0;
        std::size_t endLen = 0;
        std::size_t lineEnd = FindLineEnd(text, eq + 1, &endLen);
        if (endLen == 0 || lineEnd == eq + 1) return 0;
        value = std::string(TrimView(text.substr(eq + 1, lineEnd - eq - 1)));
        return 1;
    }
}

std::string JoinPath(std::string_view dir, std::string_view name) {
    std::string out(dir);
    if (!out.empty() && out.back() != kPathSeparator) out += kPathSeparator;
    out += name;
    return out;
}

std::string_view FileNameOf(std::string_view path) {
    auto slash = path.rfind(kPathSeparator);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace kolvane
