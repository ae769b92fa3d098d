// FindText: the engine's case-folding search, at close to memory speed.
//
// A key byte k that is a lower-case letter matches a text byte b exactly when (b | 0x20) == k
// (b is k or its upper-case form); any other key byte matches only itself. So one OR and one
// compare test both cases of a byte, and the AND of the tests for the key's first and last byte
// leaves few candidates even when the first byte is a common letter. The widest vector unit the
// processor has (AVX-512, AVX2, else SSE2) tests 64, 32 or 16 starting positions at once; only
// where both bytes agree is the rest of the key compared.
#include <cstring>
#include <string>

#include "text_ops.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kolvane {
namespace {

inline unsigned char OrMask(unsigned char folded) {
    return (folded >= 'a' && folded <= 'z') ? 0x20 : 0x00;
}

// The n key bytes at `a` against the folded key.
inline bool Matches(const char* a, const char* key, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (FoldAscii(a[i]) != key[i]) return false;
    return true;
}

std::size_t Scalar(const char* base, std::size_t i, std::size_t lastStart, const char* key,
                   std::size_t n) {
    const unsigned char k0 = static_cast<unsigned char>(key[0]), m0 = OrMask(k0);
    for (; i <= lastStart; ++i)
        if ((static_cast<unsigned char>(base[i]) | m0) == k0 &&
            Matches(base + i + 1, key + 1, n - 1))
            return i;
    return npos;
}

#if defined(__x86_64__)
#define KOLVANE_AVX2 __attribute__((target("avx2")))

struct SAvx2Key {
    __m256i v0, m0, vl, ml;
};

// Starts at..at+31 whose first and last bytes agree with the key's.
KOLVANE_AVX2 inline __m256i Test(const char* base, std::size_t at, std::size_t n,
                                 const SAvx2Key& k) {
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + at));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + at + n - 1));
    return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(a, k.m0), k.v0),
                            _mm256_cmpeq_epi8(_mm256_or_si256(b, k.ml), k.vl));
}

// The first of the candidate starts (`bits`, from `at`) that matches whole, or npos.
inline std::size_t Verify(const char* base, std::size_t at, unsigned bits, const char* key,
                          std::size_t n) {
    while (bits) {
        std::size_t p = at + std::size_t(__builtin_ctz(bits));
        if (n <= 2 || Matches(base + p + 1, key + 1, n - 2)) return p;
        bits &= bits - 1;
    }
    return npos;
}

KOLVANE_AVX2 std::size_t Avx2(const char* base, std::size_t i, std::size_t lastStart,
                              const char* key, std::size_t n) {
    const unsigned char k0 = static_cast<unsigned char>(key[0]);
    const unsigned char kl = static_cast<unsigned char>(key[n - 1]);
    const SAvx2Key k{_mm256_set1_epi8(char(k0)), _mm256_set1_epi8(char(OrMask(k0))),
                     _mm256_set1_epi8(char(kl)), _mm256_set1_epi8(char(OrMask(kl)))};
    // Starts i .. i+63 are all possible, and the last load ends at lastStart + n - 1 at most.
    while (i + 64 <= lastStart + 1) {
        __m256i e1 = Test(base, i, n, k), e2 = Test(base, i + 32, n, k);
        __m256i any = _mm256_or_si256(e1, e2);
        if (!_mm256_testz_si256(any, any)) {
            std::size_t at = Verify(base, i, unsigned(_mm256_movemask_epi8(e1)), key, n);
            if (at == npos) at = Verify(base, i + 32, unsigned(_mm256_movemask_epi8(e2)), key, n);
            if (at != npos) return at;
        }
        i += 64;
    }
    while (i + 32 <= lastStart + 1) {
        std::size_t at =
            Verify(base, i, unsigned(_mm256_movemask_epi8(Test(base, i, n, k))), key, n);
        if (at != npos) return at;
        i += 32;
    }
    return Scalar(base, i, lastStart, key, n);
}

#define KOLVANE_AVX512 __attribute__((target("avx512f,avx512bw")))

// 64 starts per step; the AND of the two byte tests is a mask register.
KOLVANE_AVX512 std::size_t Avx512(const char* base, std::size_t i, std::size_t lastStart,
                                  const char* key, std::size_t n) {
    const unsigned char k0 = static_cast<unsigned char>(key[0]);
    const unsigned char kl = static_cast<unsigned char>(key[n - 1]);
    const __m512i v0 = _mm512_set1_epi8(char(k0)), m0 = _mm512_set1_epi8(char(OrMask(k0)));
    const __m512i vl = _mm512_set1_epi8(char(kl)), ml = _mm512_set1_epi8(char(OrMask(kl)));
    auto test = [&](std::size_t at) KOLVANE_AVX512 {
        __m512i a = _mm512_loadu_si512(base + at);
        __m512i b = _mm512_loadu_si512(base + at + n - 1);
        return _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(_mm512_or_si512(a, m0), v0),
                                           _mm512_or_si512(b, ml), vl);
    };
    auto verify = [&](std::size_t at, unsigned long long bits) {
        while (bits) {
            std::size_t p = at + std::size_t(__builtin_ctzll(bits));
            if (n <= 2 || Matches(base + p + 1, key + 1, n - 2)) return p;
            bits &= bits - 1;
        }
        return npos;
    };
    while (i + 128 <= lastStart + 1) {
        unsigned long long e1 = test(i), e2 = test(i + 64);
        if (e1 | e2) {
            std::size_t at = verify(i, e1);
            if (at == npos) at = verify(i + 64, e2);
            if (at != npos) return at;
        }
        i += 128;
    }
    while (i + 64 <= lastStart + 1) {
        std::size_t at = verify(i, test(i));
        if (at != npos) return at;
        i += 64;
    }
    return Avx2(base, i, lastStart, key, n);
}

std::size_t Sse2(const char* base, std::size_t i, std::size_t lastStart, const char* key,
                 std::size_t n) {
    const unsigned char k0 = static_cast<unsigned char>(key[0]);
    const unsigned char kl = static_cast<unsigned char>(key[n - 1]);
    const __m128i v0 = _mm_set1_epi8(char(k0)), m0 = _mm_set1_epi8(char(OrMask(k0)));
    const __m128i vl = _mm_set1_epi8(char(kl)), ml = _mm_set1_epi8(char(OrMask(kl)));
    while (i + 16 <= lastStart + 1) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i + n - 1));
        __m128i eq = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, m0), v0),
                                   _mm_cmpeq_epi8(_mm_or_si128(b, ml), vl));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(eq));
        while (bits) {
            std::size_t at = i + std::size_t(__builtin_ctz(bits));
            if (n <= 2 || Matches(base + at + 1, key + 1, n - 2)) return at;
            bits &= bits - 1;
        }
        i += 16;
    }
    return Scalar(base, i, lastStart, key, n);
}

#endif  // __x86_64__

#if defined(__x86_64__)
const bool g_avx2 = __builtin_cpu_supports("avx2");
const bool g_avx512 = g_avx2 && __builtin_cpu_supports("avx512bw");
#else
const bool g_avx2 = false;
const bool g_avx512 = false;
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
        case EFindPath::Avx512:
            return g_avx512;
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
    for (std::size_t i = 0; i < what.size(); ++i) key[i] = FoldAscii(what[i]);

    const char* base = text.data();
    const std::size_t n = what.size();
    const std::size_t lastStart = text.size() - n;
    if (path == EFindPath::Best)
        path = g_avx512 ? EFindPath::Avx512 : g_avx2 ? EFindPath::Avx2 : EFindPath::Sse2;
    switch (path) {
#if defined(__x86_64__)
        case EFindPath::Avx512:
            if (g_avx512) return Avx512(base, from, lastStart, key, n);
            break;
        case EFindPath::Avx2:
            if (g_avx2) return Avx2(base, from, lastStart, key, n);
            break;
        case EFindPath::Sse2:
            return Sse2(base, from, lastStart, key, n);
#endif
        default:
            break;
    }
    return Scalar(base, from, lastStart, key, n);
}

std::size_t FindText(std::string_view text, std::string_view what, std::size_t from) {
    return FindTextOn(EFindPath::Best, text, what, from);
}

}  // namespace kolvane
