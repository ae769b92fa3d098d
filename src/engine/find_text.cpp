// FindText: the engine's case-folding search, at close to memory speed.
//
// A key byte k that is a lower-case letter matches a text byte b exactly when (b | 0x20) == k
// (b is k or its upper-case form); any other key byte matches only itself. So one OR and one
// compare test both cases of a byte. The search tests two bytes of the key first, on the widest
// vector unit the processor has (AVX2, else SSE2; chosen at run time): the two rarest
// by a fixed table of how common bytes are in reports, logs and HTML (the first and the last
// are often blanks or common letters). While the rarest byte is rare in the text, a block of
// 128 starts costs one load, compare and OR per vector and one branch, close to memchr; only
// blocks where it occurs test the second byte too, and only where both agree is the whole key
// compared. When the rarest byte turns out to occur in many blocks (the branch would then
// mispredict often), the loop tests more on every block instead, and no branch but the rare
// one where that test fires: a key of three bytes or more its three adjacent bytes whose pairs
// are rarest, as 16-bit words of one aligned load per vector (the words at even addresses hold
// one pair for half the starts and the next pair for the others), a shorter key both bytes.
// A key that is near costs no choice of bytes in a short text and no branch in the first,
// unaligned block.
#include <algorithm>
#include <cstdint>
#include <string>
#include <type_traits>

#include "engine/text_ops.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kolvane {
namespace {

// Folded bytes from the rarest to the most common in the texts the program searches; bytes not
// listed (control bytes, bytes above ASCII) count as rarer than all of them.
constexpr char kByRarity[] =
    "~^`|\\{}@#$%&!?;[]*+_'qjzx<>\"=():/,kvwybgfp9876543210mucdhlr-.snioate\t\r\n ";

struct SRanks {
    unsigned char rank[256] = {};
};
constexpr SRanks MakeRanks() {
    SRanks r;
    for (unsigned char i = 0; kByRarity[i]; ++i)
        r.rank[static_cast<unsigned char>(kByRarity[i])] = i + 1;
    return r;
}
constexpr SRanks kRanks = MakeRanks();

inline unsigned char OrMask(unsigned char folded) {
    return (folded >= 'a' && folded <= 'z') ? 0x20 : 0x00;
}

// The folded key and the two bytes the vector loops test: at `p1` the rarest, at `p2` the
// rarest byte that differs from it (the same offset for a key of one byte or one repeated
// byte).
struct SNeedle {
    const char* key;
    std::size_t n;
    std::size_t p1, p2;
    char b1, m1, b2, m2;  // the folded bytes and their OR masks
    // The SSE2 loop's three adjacent bytes (at q, for keys of three bytes or more): the pairs
    // q, q+1 and q+1, q+2 as 16-bit words (w1, w2) with the OR mask of all three (mq) folded in.
    std::size_t q;
    std::uint16_t w1, w2, mq;
};

// Folds `what` into `key` (n bytes) and picks the tested bytes: for a short text the first and
// the last byte, since choosing costs more than it saves there. The minima are kept without
// branches as (rank << 32 | offset): the lowest rank first, then the first offset.
SNeedle MakeNeedle(const char* what, std::size_t n, char* key, bool rarest) {
    for (std::size_t i = 0; i < n; ++i) key[i] = FoldAscii(what[i]);
    std::size_t p1 = 0, p2 = n - 1;
    if (rarest) {
        auto rankAt = [key](std::size_t i) {
            return std::uint64_t(kRanks.rank[static_cast<unsigned char>(key[i])]) << 32 | i;
        };
        std::uint64_t best = ~std::uint64_t(0), next = ~std::uint64_t(0);
        for (std::size_t i = 0; i < n; ++i) best = std::min(best, rankAt(i));
        p1 = std::size_t(std::uint32_t(best));
        for (std::size_t i = 0; i < n; ++i)
            next = std::min(next, key[i] == key[p1] ? ~std::uint64_t(0) : rankAt(i));
        p2 = next == ~std::uint64_t(0) ? p1 : std::size_t(std::uint32_t(next));
    }
    const auto u1 = static_cast<unsigned char>(key[p1]), u2 = static_cast<unsigned char>(key[p2]);
    SNeedle k{key, n, p1, p2, key[p1], char(OrMask(u1)), key[p2], char(OrMask(u2)), 0, 0, 0, 0};
    if (n >= 3) {
        // The three bytes whose rarer pair is rarest: ranks add up as the logarithms of the
        // byte frequencies would, the pairs being about as rare as their bytes together.
        auto rank = [key](std::size_t i) {
            return kRanks.rank[static_cast<unsigned char>(key[i])];
        };
        unsigned best = ~0u;
        for (std::size_t i = 0; rarest && i + 2 < n; ++i) {
            unsigned score = std::max(rank(i) + rank(i + 1), rank(i + 1) + rank(i + 2));
            if (score < best) best = score, k.q = i;
        }
        auto u = [key](std::size_t i) { return static_cast<unsigned char>(key[i]); };
        const std::size_t q = k.q;
        const unsigned mask = OrMask(u(q)) | OrMask(u(q + 1)) | OrMask(u(q + 2));
        // A word's low byte is the one at the lower address.
        k.mq = std::uint16_t(mask | mask << 8);
        k.w1 = std::uint16_t((u(q) | u(q + 1) << 8) | k.mq);
        k.w2 = std::uint16_t((u(q + 1) | u(q + 2) << 8) | k.mq);
    }
    return k;
}

// Whether the key matches whole at `a`.
inline bool Matches(const char* a, const SNeedle& k) {
    for (std::size_t i = 0; i < k.n; ++i)
        if (FoldAscii(a[i]) != k.key[i]) return false;
    return true;
}

std::size_t Scalar(const char* base, std::size_t i, std::size_t end, const SNeedle& k) {
    for (; i < end; ++i)
        if ((base[i + k.p1] | k.m1) == k.b1 && Matches(base + i, k)) return i;
    return npos;
}

#if defined(__x86_64__)

// The first of the candidate starts (`bits`, bit j for start `at` + j) where the whole key
// matches, or npos.
inline std::size_t Verify(const char* base, std::size_t at, std::uint64_t bits, const SNeedle& k) {
    for (; bits; bits &= bits - 1) {
        std::size_t p = at + std::size_t(__builtin_ctzll(bits));
        if (Matches(base + p, k)) return p;
    }
    return npos;
}

// The first start > i whose rarest-byte load (at i + p1) is aligned to `width`; at most
// i + width.
inline std::size_t AlignedStart(const char* base, std::size_t i, std::size_t p1,
                                std::size_t width) {
    auto misalign = std::size_t(reinterpret_cast<std::uintptr_t>(base + i + p1) & (width - 1));
    return i + width - misalign;
}

// The search every vector unit shares, over blocks of 128 starts: `anyFirst(at)` tells whether
// the rarest byte is at one of the starts at..at+127, `anyPair(at)` whether both tested bytes
// agree at one of them, `pairBits(at)` at which of the starts at..at+63 (bit j for at + j).
// Starts i .. end-1 are searched; end - i >= 64. The rare-byte mode gives way to the test of
// both bytes on every block when the rarest byte occurs in more than 1/kGiveWay of the blocks.
// `anyThree(at)`, when given, stands for that test: it tells whether the pair may be at one of
// the starts at-1 .. at+126, from aligned loads at key offset k.q.
template <std::size_t kWidth, std::size_t kGiveWay, class AnyFirst, class AnyPair, class PairBits,
          class AnyThree>
[[gnu::always_inline]] inline std::size_t Blocks(const char* base, std::size_t i, std::size_t end,
                                                 const SNeedle& k, AnyFirst anyFirst,
                                                 AnyPair anyPair, PairBits pairBits,
                                                 AnyThree anyThree) {
    auto verify64 = [&](std::size_t at) { return Verify(base, at, pairBits(at), k); };
    auto verify128 = [&](std::size_t at) {
        if (!anyPair(at)) return npos;
        std::size_t found = verify64(at);
        return found != npos ? found : verify64(at + 64);
    };
    // A first, unaligned block tests both bytes (a key that is near costs no mispredicted
    // branch); then the rarest byte's loads are aligned to the vector width.
    if (std::size_t at = verify64(i); at != npos) return at;
    i = AlignedStart(base, i + 64 - kWidth, k.p1, kWidth);
    // While the rarest byte occurs in few blocks, only its test runs on every block (a miss
    // costs little; a hit costs a branch misprediction).
    const std::size_t from = i;
    std::size_t hits = 0;
    for (; i + 128 <= end; i += 128) {
        if (!anyFirst(i)) continue;
        if (std::size_t at = verify128(i); at != npos) return at;
        if (++hits > 32 && hits * kGiveWay * 128 > i - from) {
            i += 128;
            break;
        }
    }
    // Otherwise both bytes on every block.
    if constexpr (std::is_same_v<AnyThree, std::nullptr_t>) {
        for (; i + 128 <= end; i += 128)
            if (std::size_t at = verify128(i); at != npos) return at;
    } else if (i + 128 + kWidth <= end) {
        // The starts before the first block aligned for `anyThree` are tested here, those at
        // at-1 .. at+126 of a block where it fires exactly.
        std::size_t at = AlignedStart(base, i, k.q, kWidth);
        if (at - 1 > i)
            if (std::size_t found = verify64(i); found != npos) return found;
        for (i = at; i + 128 <= end; i += 128) {
            if (!anyThree(i)) continue;
            if (std::size_t found = verify64(i - 1); found != npos) return found;
            if (std::size_t found = verify64(i + 63); found != npos) return found;
        }
        --i;  // the last block left its last start to the next
    }
    if (i + 64 <= end) {
        if (std::size_t at = verify64(i); at != npos) return at;
        i += 64;
    }
    if (i == end) return npos;
    // The last block ends at the last start; the starts it shares with earlier blocks had no
    // match, so the first match it finds is the answer.
    return verify64(end - 64);
}

// SSE2 tests 16 starts per instruction, so every instruction per vector counts: the OR that
// folds the letter case is left out when the rarest byte is no letter, and the rare-byte loads
// are aligned so that they fold into the OR or the compare.
template <bool kFoldRarest>
std::size_t Sse2Blocks(const char* base, std::size_t i, std::size_t end, const SNeedle& k) {
    const __m128i v1 = _mm_set1_epi8(k.b1), m1 = _mm_set1_epi8(k.m1);
    const __m128i v2 = _mm_set1_epi8(k.b2), m2 = _mm_set1_epi8(k.m2);
    auto load = [base](std::size_t at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at));
    };
    auto test = [&](__m128i a) {
        if constexpr (kFoldRarest) return _mm_cmpeq_epi8(_mm_or_si128(a, m1), v1);
        return _mm_cmpeq_epi8(a, v1);
    };
    auto first = [&](std::size_t at) { return test(load(at + k.p1)); };
    auto firstAligned = [&](std::size_t at) {
        return test(_mm_load_si128(reinterpret_cast<const __m128i*>(base + at + k.p1)));
    };
    auto both = [&](std::size_t at) {
        return _mm_and_si128(first(at), _mm_cmpeq_epi8(_mm_or_si128(load(at + k.p2), m2), v2));
    };
    auto any4 = [](__m128i a, __m128i b, __m128i c, __m128i d) {
        return _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d));
    };
    auto anyFirst = [&](std::size_t at) {
        __m128i lo = any4(firstAligned(at), firstAligned(at + 16), firstAligned(at + 32),
                          firstAligned(at + 48));
        __m128i hi = any4(firstAligned(at + 64), firstAligned(at + 80), firstAligned(at + 96),
                          firstAligned(at + 112));
        return _mm_movemask_epi8(_mm_or_si128(lo, hi)) != 0;
    };
    auto anyPair = [&](std::size_t at) {
        __m128i lo = any4(both(at), both(at + 16), both(at + 32), both(at + 48));
        __m128i hi = any4(both(at + 64), both(at + 80), both(at + 96), both(at + 112));
        return _mm_movemask_epi8(_mm_or_si128(lo, hi)) != 0;
    };
    auto pairBits = [&](std::size_t at) {
        auto bits = [&](std::size_t a) {
            return std::uint64_t(unsigned(_mm_movemask_epi8(both(a))));
        };
        return bits(at) | bits(at + 16) << 16 | bits(at + 32) << 32 | bits(at + 48) << 48;
    };
    if (k.n < 3) return Blocks<16, 2>(base, i, end, k, anyFirst, anyPair, pairBits, nullptr);
    // Two tested bytes cost two loads, two ORs, two compares and an AND per 16 starts. Three
    // adjacent key bytes cost one aligned load, one OR and two 16-bit compares: the words at
    // even addresses hold the first pair for the starts whose key offset q is even there, the
    // second pair for the others. Cheaper, so the rare-byte mode gives way sooner.
    const __m128i mq = _mm_set1_epi16(short(k.mq));
    const __m128i w1 = _mm_set1_epi16(short(k.w1)), w2 = _mm_set1_epi16(short(k.w2));
    auto three = [&](std::size_t at) {
        __m128i a =
            _mm_or_si128(_mm_load_si128(reinterpret_cast<const __m128i*>(base + at + k.q)), mq);
        return _mm_or_si128(_mm_cmpeq_epi16(a, w1), _mm_cmpeq_epi16(a, w2));
    };
    auto anyThree = [&](std::size_t at) {
        __m128i lo = any4(three(at), three(at + 16), three(at + 32), three(at + 48));
        __m128i hi = any4(three(at + 64), three(at + 80), three(at + 96), three(at + 112));
        return _mm_movemask_epi8(_mm_or_si128(lo, hi)) != 0;
    };
    return Blocks<16, 8>(base, i, end, k, anyFirst, anyPair, pairBits, anyThree);
}

std::size_t Sse2(const char* base, std::size_t i, std::size_t end, const SNeedle& k) {
    if (end - i < 64) return Scalar(base, i, end, k);
    return k.m1 ? Sse2Blocks<true>(base, i, end, k) : Sse2Blocks<false>(base, i, end, k);
}

// The wider units' lambdas must carry the target too; flatten inlines them into the loop.
#define KOLVANE_AVX2 __attribute__((target("avx2")))
#define KOLVANE_AVX2_LOOP __attribute__((target("avx2"), flatten))

KOLVANE_AVX2_LOOP std::size_t Avx2(const char* base, std::size_t i, std::size_t end,
                                   const SNeedle& k) {
    if (end - i < 64) return Sse2(base, i, end, k);
    const __m256i v1 = _mm256_set1_epi8(k.b1), m1 = _mm256_set1_epi8(k.m1);
    const __m256i v2 = _mm256_set1_epi8(k.b2), m2 = _mm256_set1_epi8(k.m2);
    auto load = [base](std::size_t at) KOLVANE_AVX2 {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + at));
    };
    auto first = [&](std::size_t at) KOLVANE_AVX2 {
        return _mm256_cmpeq_epi8(_mm256_or_si256(load(at + k.p1), m1), v1);
    };
    auto both = [&](std::size_t at) KOLVANE_AVX2 {
        return _mm256_and_si256(first(at),
                                _mm256_cmpeq_epi8(_mm256_or_si256(load(at + k.p2), m2), v2));
    };
    // Whether `test` holds at one of the 128 starts from `at`.
    auto any128 = [](auto test, std::size_t at) KOLVANE_AVX2 {
        __m256i any = _mm256_or_si256(_mm256_or_si256(test(at), test(at + 32)),
                                      _mm256_or_si256(test(at + 64), test(at + 96)));
        return !_mm256_testz_si256(any, any);
    };
    auto anyFirst = [&](std::size_t at) KOLVANE_AVX2 { return any128(first, at); };
    auto anyPair = [&](std::size_t at) KOLVANE_AVX2 { return any128(both, at); };
    auto pairBits = [&](std::size_t at) KOLVANE_AVX2 {
        return std::uint64_t(unsigned(_mm256_movemask_epi8(both(at)))) |
               std::uint64_t(unsigned(_mm256_movemask_epi8(both(at + 32)))) << 32;
    };
    if (k.n < 3) return Blocks<32, 2>(base, i, end, k, anyFirst, anyPair, pairBits, nullptr);
    const __m256i mq = _mm256_set1_epi16(short(k.mq));
    const __m256i w1 = _mm256_set1_epi16(short(k.w1)), w2 = _mm256_set1_epi16(short(k.w2));
    auto three = [&](std::size_t at) KOLVANE_AVX2 {
        __m256i a = _mm256_or_si256(
            _mm256_load_si256(reinterpret_cast<const __m256i*>(base + at + k.q)), mq);
        return _mm256_or_si256(_mm256_cmpeq_epi16(a, w1), _mm256_cmpeq_epi16(a, w2));
    };
    auto anyThree = [&](std::size_t at) KOLVANE_AVX2 { return any128(three, at); };
    return Blocks<32, 8>(base, i, end, k, anyFirst, anyPair, pairBits, anyThree);
}

#endif  // __x86_64__

#if defined(__x86_64__)
const bool g_avx2 = __builtin_cpu_supports("avx2");
#else
const bool g_avx2 = false;
#endif

}  // namespace

bool FindPathSupported(EFindPath path) {
    switch (path) {
        case EFindPath::Best:
        case EFindPath::Scalar:
            return true;
        case EFindPath::Sse2:
#if defined(__x86_64__)
            return true;
#else
            return false;
#endif
        case EFindPath::Avx2:
            return g_avx2;
    }
    return false;
}

std::size_t FindTextOn(EFindPath path, std::string_view text, std::string_view what,
                       std::size_t from) {
    if (from > text.size()) return npos;
    if (what.empty()) return from;
    if (what.size() > text.size() - from) return npos;

    // Fold the key once; keys are short (at most a line), larger ones fold into a heap string.
    char small[256];
    std::string large;
    char* key = small;
    if (what.size() > sizeof small) {
        large.resize(what.size());
        key = large.data();
    }
    const SNeedle k = MakeNeedle(what.data(), what.size(), key, text.size() - from >= 1024);
    const char* base = text.data();
    const std::size_t end = text.size() - what.size() + 1;  // one past the last start
    if (path == EFindPath::Best) path = g_avx2 ? EFindPath::Avx2 : EFindPath::Sse2;
    switch (path) {
#if defined(__x86_64__)
        case EFindPath::Avx2:
            if (g_avx2) return Avx2(base, from, end, k);
            break;
        case EFindPath::Sse2:
            return Sse2(base, from, end, k);
#endif
        default:
            break;
    }
    return Scalar(base, from, end, k);
}

std::size_t FindText(std::string_view text, std::string_view what, std::size_t from) {
    return FindTextOn(EFindPath::Best, text, what, from);
}

}  // namespace kolvane
