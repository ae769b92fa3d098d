// Case-folding search and the line and key operations over rule and scan texts.
#include "engine/text_ops.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kolvane {

bool EqualFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

std::string FoldedCopy(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = FoldAscii(c);
    return folded;
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

#if defined(__x86_64__)
namespace {

const bool g_avx2 = __builtin_cpu_supports("avx2");

// Passes whole blocks of 256 bytes that hold fewer line feeds than `count`, as the loop below
// does 64 bytes at a time: eight compares summed per byte lane in two sums, four lanes of eight
// bytes added up by a sum of absolute differences.
__attribute__((target("avx2"))) const char* PassLineFeedsAvx2(const char* p, const char* end,
                                                              std::size_t& count) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i zero = _mm256_setzero_si256();
    while (count > 0 && end - p >= 256) {
        __m256i sum[2] = {zero, zero};
        for (int k = 0; k < 8; ++k) {
            const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * k));
            sum[k % 2] = _mm256_sub_epi8(sum[k % 2], _mm256_cmpeq_epi8(block, lf));
        }
        const __m256i lanes = _mm256_sad_epu8(_mm256_add_epi8(sum[0], sum[1]), zero);
        const __m128i halves =
            _mm_add_epi64(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1));
        const auto found =
            std::size_t(_mm_cvtsi128_si64(halves)) + std::size_t(_mm_extract_epi64(halves, 1));
        if (found >= count) break;
        count -= found;
        p += 256;
    }
    return p;
}

// The NULs and CRs of the 32 bytes at `at`, as bytes of all ones.
__attribute__((target("avx2"))) inline __m256i NulsAndCrs(const char* at) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    return _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_setzero_si256()),
                           _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\r')));
}

// TextEnd's pass over whole blocks of 128 bytes: a block without a NUL or CR costs one test; in
// one with some, each is looked at, a lone CR costing a look at the byte after it, never a second
// pass. Returns the first NUL, or where it stopped: at the end of the whole blocks, or after the
// block with the first CR LF (the rest is only searched for a NUL).
__attribute__((target("avx2"))) const char* FindNulOrCrlfAvx2(const char* p, const char* end,
                                                              bool& crlf) {
    for (; end - p >= 128 && !crlf; p += 128) {
        const __m256i m[4] = {NulsAndCrs(p), NulsAndCrs(p + 32), NulsAndCrs(p + 64),
                              NulsAndCrs(p + 96)};
        if (_mm256_testz_si256(_mm256_or_si256(m[0], m[1]), _mm256_or_si256(m[0], m[1])) &&
            _mm256_testz_si256(_mm256_or_si256(m[2], m[3]), _mm256_or_si256(m[2], m[3])))
            continue;
        for (int k = 0; k < 4; ++k)
            for (auto mask = unsigned(_mm256_movemask_epi8(m[k])); mask; mask &= mask - 1) {
                const char* at = p + 32 * k + __builtin_ctz(mask);
                if (*at == '\0') return at;
                if (at + 1 < end && at[1] == '\n') crlf = true;
            }
    }
    return p;
}

}  // namespace
#endif

std::size_t TextEnd(std::string_view bytes, bool& crlf) {
    crlf = false;
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
#if defined(__x86_64__)
    if (g_avx2) p = FindNulOrCrlfAvx2(p, end, crlf);
#endif
    const void* nul = p == end ? nullptr : std::memchr(p, '\0', std::size_t(end - p));
    const std::size_t length =
        nul ? std::size_t(static_cast<const char*>(nul) - bytes.data()) : bytes.size();
    // The text before `p` has been looked at; a CR LF may still come in the rest, or straddle.
    if (!crlf) {
        const std::size_t from = std::size_t(p - bytes.data());
        crlf = bytes.substr(0, length).find("\r\n", from > 0 ? from - 1 : 0) != npos;
    }
    return length;
}

std::size_t AfterLineFeeds(std::string_view text, std::size_t from, std::size_t count) {
    if (from > text.size()) return npos;
    const char* p = text.data() + from;
    const char* const end = text.data() + text.size();
#if defined(__x86_64__)
    if (g_avx2) p = PassLineFeedsAvx2(p, end, count);
    // Then whole blocks of 64 bytes are passed while they hold fewer line feeds than are still
    // to be passed. Each compare gives -1 per line feed; four of them summed per byte lane stay
    // within a byte, and a sum of absolute differences adds the lanes up.
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    while (count > 0 && end - p >= 64) {
        __m128i sum = zero;
        for (int k = 0; k < 4; ++k) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            sum = _mm_sub_epi8(sum, _mm_cmpeq_epi8(block, lf));
        }
        const __m128i halves = _mm_sad_epu8(sum, zero);
        const std::size_t found =
            std::size_t(_mm_cvtsi128_si32(halves)) + std::size_t(_mm_extract_epi16(halves, 4));
        if (found >= count) break;
        count -= found;
        p += 64;
    }
#endif
    for (; count > 0; --count) {
        const void* at = std::memchr(p, '\n', std::size_t(end - p));
        if (!at) return npos;
        p = static_cast<const char*>(at) + 1;
    }
    return std::size_t(p - text.data());
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
    // An occurrence counts when it starts at or before the range's end: the search need not go
    // further (it went on to the end of the text for every key of every section).
    const std::string_view searched = text.substr(0, rangeEnd + key.size());
    for (;;) {
        std::size_t at = FindText(searched, key, from);
        if (at == npos || at > rangeEnd) return 0;
        // Commented out when "&&" stands between the line's beginning (or the range's start)
        // and the occurrence.
        std::size_t lineStart = at;
        while (lineStart > rangeStart && text[lineStart - 1] != '\n') --lineStart;
        std::string_view before = text.substr(lineStart, at - lineStart);
        if (before.find("&&") != std::string_view::npos) {
            // The rest of the line is commented out as well: go on at the next line (stepping on
            // one byte took quadratic time on a long commented line, found with a rule file of the
            // largest size).
            std::size_t lineFeed = text.find('\n', at);
            if (lineFeed == npos) return 0;
            from = lineFeed + 1;
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

std::string DirectoryOf(std::string_view path) {
    auto slash = path.rfind(kPathSeparator);
    if (slash == std::string_view::npos) return {};
    return std::string(path.substr(0, slash == 0 ? 1 : slash));
}

std::string ResolvePath(std::string_view ruleDir, std::string_view dir, std::string_view name) {
    std::string path = JoinPath(dir, name);
    if (ruleDir.empty() || (!path.empty() && path.front() == kPathSeparator)) return path;
    return JoinPath(ruleDir, path);
}

std::string HashName(std::string_view text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

}  // namespace kolvane
