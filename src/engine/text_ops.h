// Text operations shared by the rule reader and scan extraction.
//
// A text is a byte range (std::string_view) that ends at its first NUL; positions are offsets
// into it and std::string_view::npos means "none". Every search folds the letters A to Z to
// a to z and matches every other byte only by itself; no locale is consulted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kolvane {

inline constexpr std::size_t npos = std::string_view::npos;

inline constexpr char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}
inline constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// True when `a` and `b` are equal with the letters A to Z folded.
bool EqualFolded(std::string_view a, std::string_view b);
// `text` with the letters A to Z folded to a to z.
std::string FoldedCopy(std::string_view text);

// Hashing and comparing with the letters A to Z folded, for indexes keyed by such texts.
struct SFoldedHash {
    std::size_t operator()(std::string_view s) const {
        std::size_t h = 1469598103934665603ull;
        for (char c : s) h = (h ^ static_cast<unsigned char>(FoldAscii(c))) * 1099511628211ull;
        return h;
    }
};
struct SFoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const { return EqualFolded(a, b); }
};

// Sixteen hexadecimal digits of a 64-bit FNV-1a hash of `text`: a short file name that stands
// for a text of any length.
std::string HashName(std::string_view text);

// First occurrence of `what` in `text` at or after `from`, letters A to Z folded; npos if none.
// An empty `what` is found at `from`.
std::size_t FindText(std::string_view text, std::string_view what, std::size_t from = 0);

// The implementations of FindText, for tests and benchmarks that compare them; FindText takes
// the best the processor supports.
enum class EFindPath { Best, Scalar, Sse2, Avx2 };
bool FindPathSupported(EFindPath path);
std::size_t FindTextOn(EFindPath path, std::string_view text, std::string_view what,
                       std::size_t from = 0);

// The end of the line that starts at `from`: the position of its line end (the CR of a CR LF
// pair, else the LF) and, in `lineEndLength`, 2, 1, or 0 when no line feed follows (then the
// position is the end of the text).
std::size_t FindLineEnd(std::string_view text, std::size_t from, std::size_t* lineEndLength);

// The length of `bytes` up to their first NUL (all of them when there is none), and in `crlf`
// whether a CR LF pair comes before it: the text a scan reads and its line-end style, found in
// one pass over the bytes.
std::size_t TextEnd(std::string_view bytes, bool& crlf);

// The position just after the `count`-th line feed at or after `from` (`from` itself for a count
// of 0); npos when the text has fewer.
std::size_t AfterLineFeeds(std::string_view text, std::size_t from, std::size_t count);

// Moves from `pos` past `count` line ends; at the end of the text it stays there.
std::size_t SkipLines(std::string_view text, std::size_t pos, int count);

// Removes leading and trailing whitespace (space, tab, CR, LF, VT, FF).
std::string_view TrimView(std::string_view text);
void TrimText(std::string& text);

// Looks up `key` between `rangeStart` and `rangeEnd` of `text` (see the rule-file format):
// 1 and the trimmed value in `value` when present, 0 when absent.
int GetKeyValue(std::string_view text, std::string_view key, std::size_t rangeStart,
                std::size_t rangeEnd, std::string& value);

// The platform's path separator.
inline constexpr char kPathSeparator = '/';

// The directory, the separator unless the directory is empty or already ends with one, the name.
std::string JoinPath(std::string_view dir, std::string_view name);

// The part of `path` after its last separator, or the whole path when it has none.
std::string_view FileNameOf(std::string_view path);

// The part of `path` before its last separator ("/" for a file in the root), or "" when it has
// none: a rule file's directory, and the folder the rule editor keeps as "LastPath".
std::string DirectoryOf(std::string_view path);

// Where a path of a rule file is on disk: JoinPath(dir, name), taken relative to `ruleDir` (the
// rule file's own directory) unless it is absolute. Cron, service managers and desktops start
// programs in some other directory, so the working directory never matters.
std::string ResolvePath(std::string_view ruleDir, std::string_view dir, std::string_view name);

}  // namespace kolvane
