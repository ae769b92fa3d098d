// The shared scan of CMultiFind (multi_find.h): a fingerprint of every key tested at each start
// with byte shuffles (SSSE3 or AVX2, chosen at run time), candidates compared in full.
//
// Fingerprint: for each of a key's first four bytes, its bucket's bit is set in the entry of
// the byte's low nibble and, for the first, in the entry of its high nibble (a lower-case letter
// also in its upper-case high nibble); a byte position beyond a short key accepts anything. A
// start is a candidate for a bucket when all five lookups keep its bit. The high nibbles of the
// second to fourth bytes are left out: in text they mostly tell letters from digits and signs,
// which the first byte has done, and their lookups cost over a third of the scan (W1: 22 % fewer
// instructions in all, no more candidates). Their worst input, bytes that share only the low
// nibbles of the keys' second to fourth (keys "abcd<n>" over "aRST" repeated), makes a
// candidate at every fourth start, each a walk of two steps: within the walks' budget, about
// the cost of the automaton. One key alone gives few false candidates; keys sharing a bucket
// give more, and the trie walk sorts them out.
// A key that starts at a start passes its bucket's test there, so the walk need not know which
// buckets fired.
#include "engine/multi_find.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "engine/text_ops.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kolvane {
namespace {

constexpr std::size_t kPrint = CMultiFind::kPrint, kWhole = CMultiFind::kWhole;
constexpr std::size_t kChunk = CMultiFind::kChunk;

#if defined(__x86_64__)
const bool g_ssse3 = __builtin_cpu_supports("ssse3");
const bool g_avx2 = g_ssse3 && __builtin_cpu_supports("avx2");
#else
const bool g_ssse3 = false, g_avx2 = false;
#endif

// The last position of the run of byte `c` (folded) that starts at `i` in `text`: eight bytes
// at a time, a letter's byte with the case bit set.
std::size_t RunEnd(std::string_view text, std::size_t i, unsigned char c) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ull;
        const std::uint64_t fold = c >= 'a' && c <= 'z' ? kOnes * 0x20 : 0, want = kOnes * c;
        for (; i + 9 <= text.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i + 1, 8);
            if (const std::uint64_t differ = (word | fold) ^ want)
                return i + std::size_t(__builtin_ctzll(differ)) / 8;
        }
    }
    while (i + 1 < text.size() && FoldAscii(text[i + 1]) == char(c)) ++i;
    return i;
}

}  // namespace

bool MultiPathSupported(EMultiPath path) {
    switch (path) {
        case EMultiPath::Best:
        case EMultiPath::Direct:
            return true;
        case EMultiPath::Ssse3:
            return g_ssse3;
        case EMultiPath::Avx2:
            return g_avx2;
    }
    return false;
}

CMultiFind::CMultiFind(std::string_view text, EMultiPath path) : m_text(text), m_path(path) {
    if (m_path == EMultiPath::Best)
        m_path = g_avx2 ? EMultiPath::Avx2 : g_ssse3 ? EMultiPath::Ssse3 : EMultiPath::Direct;
    if (!MultiPathSupported(m_path) || text.size() > std::numeric_limits<std::uint32_t>::max())
        m_path = EMultiPath::Direct;
}

std::size_t CMultiFind::Add(std::string_view key) {
    std::string folded = FoldedCopy(key);
    const auto [it, added] = m_ids.try_emplace(folded, m_keys.size());
    if (!added) return it->second;
    SKey& k = m_keys.emplace_back();
    k.folded = std::move(folded);
    // An empty key, one longer than the text, or one that comes after the scan began is asked
    // of FindText directly.
    k.kept = !m_prepared && !k.folded.empty() && k.folded.size() <= m_text.size();
    return m_keys.size() - 1;
}

void CMultiFind::Prepare() {
    m_prepared = true;
    std::vector<std::size_t> kept;
    for (std::size_t id = 0; id < m_keys.size(); ++id)
        if (m_keys[id].kept) kept.push_back(id);
    if (kept.empty()) {
        m_scanned = m_text.size();
        return;
    }
    BuildTrie(kept);
    m_automaton = m_path == EMultiPath::Direct;
    // A key shorter than the fingerprint accepts anything at its end, so a bucket it shares
    // gives false candidates for the other keys there: while there are fewer than eight, each
    // has a bucket of its own. The other keys share the remaining buckets in the order of their
    // fingerprints, so that the keys of a bucket tend to have bytes in common and their nibbles
    // combine into few false fingerprints.
    auto print = [this](std::size_t id) {
        const std::string& key = m_keys[id].folded;
        return std::pair(key.size() >= kPrint, std::string_view(key).substr(0, kPrint));
    };
    std::sort(kept.begin(), kept.end(),
              [&](std::size_t a, std::size_t b) { return print(a) < print(b); });
    const auto shorts = std::size_t(std::count_if(kept.begin(), kept.end(), [this](std::size_t id) {
        return m_keys[id].folded.size() < kPrint;
    }));
    const std::size_t own = shorts < 8 ? shorts : 0;  // buckets of their own
    const std::size_t shared = std::min<std::size_t>(8 - own, kept.size() - own);
    for (std::size_t rank = 0; rank < kept.size(); ++rank) {
        const std::size_t b = rank < own ? rank : own + (rank - own) * shared / (kept.size() - own);
        const auto bit = static_cast<std::uint8_t>(1u << b);
        const std::string& key = m_keys[kept[rank]].folded;
        for (std::size_t p = 0; p < kPrint; ++p) {
            if (p >= key.size()) {
                for (int n = 0; n < 16; ++n) {
                    m_lo[p][n] |= bit;
                    if (p < kWhole) m_hi[p][n] |= bit;
                }
                continue;
            }
            const auto c = static_cast<unsigned char>(key[p]);
            m_lo[p][c & 15] |= bit;
            if (p >= kWhole) continue;
            m_hi[p][c >> 4] |= bit;
            if (c >= 'a' && c <= 'z') m_hi[p][(c - 0x20) >> 4] |= bit;
        }
    }
}

// The trie of the kept keys, built from them in sorted order (a node's children then come in
// byte order and a key goes on from its node's last child), and the automaton's links, breadth
// first. Costs the keys' total length (and their sort).
void CMultiFind::BuildTrie(const std::vector<std::size_t>& kept) {
    std::vector<std::size_t> sorted = kept;
    std::sort(sorted.begin(), sorted.end(),
              [this](std::size_t a, std::size_t b) { return m_keys[a].folded < m_keys[b].folded; });
    struct SEdge {
        std::uint32_t parent;
        unsigned char c;
        std::uint32_t child;
    };
    std::vector<SEdge> edges;            // in the order made: by byte within each parent
    std::vector<std::uint32_t> last(1);  // per node: its last child, 0 for none
    m_nodes.assign(1, SNode{});
    for (std::size_t id : sorted) {
        std::uint32_t node = 0;
        for (char ch : m_keys[id].folded) {
            const auto c = static_cast<unsigned char>(ch);
            if (!last[node] || edges[m_nodes[last[node]].edge].c != c) {
                const auto child = std::uint32_t(m_nodes.size());
                SNode n;
                n.depth = m_nodes[node].depth + 1;
                n.edge = std::uint32_t(edges.size());  // for now: the edge that made it
                m_nodes.push_back(n);
                edges.push_back({node, c, child});
                last[node] = child;
                last.push_back(0);
            }
            node = last[node];
        }
        m_nodes[node].key = id;
        m_longest = std::max(m_longest, m_keys[id].folded.size());
    }
    // Each node's children together, in byte order (a stable counting sort by parent).
    for (const SEdge& e : edges) ++m_nodes[e.parent].edges;
    std::uint32_t at = 0;
    for (SNode& n : m_nodes) n.edge = at, at += n.edges;
    m_edges.resize(edges.size());
    std::vector<std::uint32_t> fill(m_nodes.size(), 0);
    for (const SEdge& e : edges)
        m_edges[m_nodes[e.parent].edge + fill[e.parent]++] = {e.c, e.child};
    for (std::uint32_t i = 0; i < m_nodes[0].edges; ++i)
        m_root[m_edges[i].first] = m_edges[i].second;
    // Failure links breadth first: a node's link is found from its parent's.
    std::vector<std::uint32_t> queue;
    queue.reserve(m_nodes.size());
    for (std::uint32_t i = 0; i < m_nodes[0].edges; ++i) queue.push_back(m_edges[i].second);
    for (std::size_t q = 0; q < queue.size(); ++q) {
        const std::uint32_t v = queue[q];
        for (std::uint32_t e = m_nodes[v].edge; e < m_nodes[v].edge + m_nodes[v].edges; ++e) {
            const auto [c, child] = m_edges[e];
            std::uint32_t f = m_nodes[v].fail;
            while (f && !Child(f, c)) f = m_nodes[f].fail;
            const std::uint32_t fail = Child(f, c);
            SNode& n = m_nodes[child];
            n.fail = fail;
            n.out = m_nodes[fail].key != kNoKey ? fail : m_nodes[fail].out;
            queue.push_back(child);
        }
    }
}

std::uint32_t CMultiFind::Child(std::uint32_t node, unsigned char c) const {
    if (node == 0) return m_root[c];
    const SNode& n = m_nodes[node];
    const auto* first = m_edges.data() + n.edge;
    const auto* last = first + n.edges;
    if (n.edges > 8) {
        first = std::lower_bound(first, last, c,
                                 [](const auto& e, unsigned char b) { return e.first < b; });
        return first != last && first->first == c ? first->second : 0;
    }
    for (; first != last; ++first)
        if (first->first == c) return first->second;
    return 0;
}

std::size_t CMultiFind::Find(std::size_t id, std::size_t from, std::size_t before) {
    if (!m_prepared) Prepare();
    SKey& key = m_keys[id];
    while (key.kept) {
        // Every start before m_scanned has been tested, and every hit there recorded; a hit
        // after it too has every earlier hit of its key recorded.
        auto it = std::lower_bound(key.hits.begin(), key.hits.end(), from,
                                   [](std::uint32_t hit, std::size_t f) { return hit < f; });
        if (it != key.hits.end()) return *it < before ? *it : npos;
        if (m_scanned >= m_text.size() || m_scanned >= before) return npos;
        ScanChunk();
    }
    if (before >= m_text.size()) return FindText(m_text, key.folded, from);
    const std::size_t at =
        FindText(m_text.substr(0, before + key.folded.size() - 1), key.folded, from);
    return at < before ? at : npos;
}

void CMultiFind::Record(SKey& key, std::size_t start) {
    if (key.hits.size() < kMaxKept) {
        key.hits.push_back(static_cast<std::uint32_t>(start));
        return;
    }
    key.kept = false;
    key.hits = {};
}

// The keys that start at a candidate, all in one walk down the trie; returns its steps.
std::size_t CMultiFind::Walk(std::size_t start) {
    const std::size_t size = m_text.size();
    std::size_t i = start;
    for (std::uint32_t node = m_root[static_cast<unsigned char>(FoldAscii(m_text[i++]))]; node;
         node = Child(node, static_cast<unsigned char>(FoldAscii(m_text[i++])))) {
        if (const std::size_t id = m_nodes[node].key; id != kNoKey && m_keys[id].kept)
            Record(m_keys[id], start);
        if (i == size) break;
    }
    return i - start;
}

// The first node from `node` on along the `out` chain whose key is still recorded (0: none);
// the chain skips the keys found dead on the way from then on.
std::uint32_t CMultiFind::Alive(std::uint32_t node) {
    std::uint32_t alive = node;
    while (alive && !m_keys[m_nodes[alive].key].kept) alive = m_nodes[alive].out;
    for (std::uint32_t n = node; n != alive;) {
        const std::uint32_t next = m_nodes[n].out;
        m_nodes[n].out = alive;
        n = next;
    }
    return alive;
}

// Records the keys that end just before `end` in the automaton's state `node`.
void CMultiFind::Report(std::uint32_t node, std::size_t end) {
    for (std::uint32_t u = Alive(m_nodes[node].key != kNoKey ? node : m_nodes[node].out); u;
         u = Alive(m_nodes[u].out))
        Record(m_keys[m_nodes[u].key], end - m_nodes[u].depth);
}

// The automaton's move from `node` on byte `c` (folded): the child, else the move of its
// failure link (the classic walk: over a text, these walks cost no more than the moves down).
std::uint32_t CMultiFind::Delta(std::uint32_t node, unsigned char c) const {
    for (; node; node = m_nodes[node].fail)
        if (const std::uint32_t child = Child(node, c)) return child;
    return m_root[c];
}

// The automaton's state for `node`: its row (given on first use, kMaxRows at most), else the
// node itself with kNoRow; kReports when keys end there.
std::uint32_t CMultiFind::Encode(std::uint32_t node) {
    std::uint32_t row = m_rowOf[node];
    if (row == kNone && m_rowNode.size() < kMaxRows) {
        row = m_rowOf[node] = std::uint32_t(m_rowNode.size());
        m_rowNode.push_back(node);
        m_rows.resize(m_rows.size() + 256, kNone);
    }
    std::uint32_t state = row == kNone ? node | kNoRow : row;
    if (m_nodes[node].key != kNoKey || m_nodes[node].out) state |= kReports;
    return state;
}

// Feeds the automaton until every start before `limit` is decided: a key ends at most
// m_longest - 1 bytes after its start. A state with a row moves by one lookup there (filled as
// the moves are first taken), so a text that keeps the automaton among a few nodes (one that
// repeats the keys' beginning) costs about one dependent load per byte.
void CMultiFind::RunAutomaton(std::size_t limit) {
    if (m_rowOf.empty()) {
        m_rowOf.assign(m_nodes.size(), kNone);
        m_state = Encode(0);
    }
    const std::size_t size = m_text.size();
    const std::size_t feed = std::min(size, limit + m_longest - 1);
    std::uint32_t state = m_state;
    for (std::size_t i = m_fed; i < feed; ++i) {
        const auto c = static_cast<unsigned char>(FoldAscii(m_text[i]));
        std::uint32_t next;
        if (state & kNoRow) {
            next = Encode(Delta(state & ~kNoRow, c));
        } else {
            const std::size_t at = std::size_t(state) * 256 + c;
            next = m_rows[at];
            if (next == kNone) {
                next = Encode(Delta(m_rowNode[state], c));
                m_rows[at] = next;
            }
        }
        if (next & kReports) {
            state = next & ~kReports;
            Report(state & kNoRow ? state & ~kNoRow : m_rowNode[state], i + 1);
            continue;
        }
        // The same byte again from a state that it leaves to itself (a run of one letter
        // inside the keys' beginning) changes nothing.
        if (next == state) i = RunEnd(m_text.substr(0, feed), i, c);
        state = next;
    }
    m_state = state;
    m_fed = feed;
    m_scanned = feed == size ? size : feed + 1 - m_longest;
}

void CMultiFind::ScanChunk() {
    if (m_progress) m_progress();
    const std::size_t size = m_text.size();
    const std::size_t limit = std::min(size, m_scanned + kChunk);
    if (m_automaton) return RunAutomaton(limit);
    // The trie walks may take a few steps per start on average; beyond that (candidates at
    // nearly every start, walking far down the keys' common beginning) the rest of the text
    // goes through the automaton.
    m_work = 0;
    m_budget = 2 * (limit - m_scanned) + 1024;
    std::size_t i = m_scanned;
    switch (m_path) {
        case EMultiPath::Avx2:
            i = Avx2Blocks(i, limit);
            break;
        case EMultiPath::Ssse3:
            i = Ssse3Blocks(i, limit);
            break;
        default:
            break;
    }
    if (m_work > m_budget) {
        m_automaton = true;
        m_scanned = m_fed = i;
        m_state = 0;
        return;
    }
    // The vector blocks stop where the fingerprint bytes of a block's last start would pass the
    // end of the text: the last few starts are walked one by one.
    if (i < limit)
        for (; i < size; ++i) Walk(i);
    m_scanned = i;
}

#if defined(__x86_64__)

// The vector loops: blocks of `W` starts while the block's fingerprint bytes lie inside the
// text and the trie walks keep within their budget. `block(i)` gives the candidate starts of
// the block at i (bit j for start i + j). The blocks of up to kBatch candidates are gathered
// first and walked after, so that the vector loop makes no call and keeps its tables in
// registers.
template <class Block>
[[gnu::always_inline]] inline std::size_t CMultiFind::Blocks(std::size_t i, std::size_t limit,
                                                             const Block& block) {
    constexpr std::size_t W = Block::kWidth, kBatch = 64;
    std::size_t at[kBatch];
    std::uint64_t found[kBatch];
    const std::size_t span = W + kPrint - 1;  // the bytes a block reads
    const std::size_t end = std::min(limit, m_text.size() >= span ? m_text.size() - span + 1 : 0);
    const char* const text = m_text.data();
    std::size_t work = m_work;
    while (i < end && work <= m_budget) {
        std::size_t n = 0, candidates = 0;
        for (; candidates < kBatch && i < end; i += W)
            if (const std::uint64_t bits = block(text + i)) {
                at[n] = i, found[n++] = bits;
                candidates += std::size_t(__builtin_popcountll(bits));
            }
        for (std::size_t k = 0; k < n; ++k)
            for (std::uint64_t bits = found[k]; bits; bits &= bits - 1)
                work += Walk(at[k] + std::size_t(__builtin_ctzll(bits)));
    }
    m_work = work;
    return i;
}

#define KOLVANE_SSSE3 __attribute__((target("ssse3")))
#define KOLVANE_AVX2 __attribute__((target("avx2")))

namespace {

struct SSsse3Block {
    static constexpr std::size_t kWidth = 16;
    __m128i lo[kPrint], hi[kWhole], nibble;
    KOLVANE_SSSE3 SSsse3Block(const std::uint8_t (*l)[16], const std::uint8_t (*h)[16]) {
        for (std::size_t p = 0; p < kPrint; ++p)
            lo[p] = _mm_load_si128(reinterpret_cast<const __m128i*>(l[p]));
        for (std::size_t p = 0; p < kWhole; ++p)
            hi[p] = _mm_load_si128(reinterpret_cast<const __m128i*>(h[p]));
        nibble = _mm_set1_epi8(0x0F);
    }
    KOLVANE_SSSE3 __m128i At(const char* at, std::size_t p) const {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + p));
        const __m128i low = _mm_shuffle_epi8(lo[p], _mm_and_si128(v, nibble));
        if (p >= kWhole) return low;
        return _mm_and_si128(low,
                             _mm_shuffle_epi8(hi[p], _mm_and_si128(_mm_srli_epi16(v, 4), nibble)));
    }
    KOLVANE_SSSE3 std::uint64_t operator()(const char* at) const {
        const __m128i r =
            _mm_and_si128(_mm_and_si128(At(at, 0), At(at, 1)), _mm_and_si128(At(at, 2), At(at, 3)));
        const unsigned none = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(r, _mm_setzero_si128())));
        return ~none & 0xFFFF;
    }
};

struct SAvx2Block {
    static constexpr std::size_t kWidth = 64;  // two vectors a block: one test a block, not two
    __m256i lo[kPrint], hi[kWhole], nibble;
    KOLVANE_AVX2 SAvx2Block(const std::uint8_t (*l)[16], const std::uint8_t (*h)[16]) {
        for (std::size_t p = 0; p < kPrint; ++p)
            lo[p] =
                _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(l[p])));
        for (std::size_t p = 0; p < kWhole; ++p)
            hi[p] =
                _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(h[p])));
        nibble = _mm256_set1_epi8(0x0F);
    }
    KOLVANE_AVX2 __m256i At(const char* at, std::size_t p) const {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + p));
        const __m256i low = _mm256_shuffle_epi8(lo[p], _mm256_and_si256(v, nibble));
        if (p >= kWhole) return low;
        return _mm256_and_si256(
            low, _mm256_shuffle_epi8(hi[p], _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
    }
    // Per start of the 32 at `at`: a byte whose bits are the buckets that accept it.
    KOLVANE_AVX2 __m256i Buckets(const char* at) const {
        return _mm256_and_si256(_mm256_and_si256(At(at, 0), At(at, 1)),
                                _mm256_and_si256(At(at, 2), At(at, 3)));
    }
    static KOLVANE_AVX2 unsigned Starts(__m256i buckets) {
        return ~unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(buckets, _mm256_setzero_si256())));
    }
    // Most blocks have no candidate: one test says so for both vectors.
    KOLVANE_AVX2 std::uint64_t operator()(const char* at) const {
        const __m256i low = Buckets(at), high = Buckets(at + 32);
        const __m256i any = _mm256_or_si256(low, high);
        if (_mm256_testz_si256(any, any)) return 0;
        return Starts(low) | std::uint64_t(Starts(high)) << 32;
    }
};

}  // namespace

KOLVANE_SSSE3 __attribute__((flatten)) std::size_t CMultiFind::Ssse3Blocks(std::size_t i,
                                                                           std::size_t limit) {
    return Blocks(i, limit, SSsse3Block(m_lo, m_hi));
}
KOLVANE_AVX2 __attribute__((flatten)) std::size_t CMultiFind::Avx2Blocks(std::size_t i,
                                                                         std::size_t limit) {
    return Blocks(i, limit, SAvx2Block(m_lo, m_hi));
}

#else

std::size_t CMultiFind::Ssse3Blocks(std::size_t i, std::size_t) {
    return i;
}
std::size_t CMultiFind::Avx2Blocks(std::size_t i, std::size_t) {
    return i;
}

#endif

}  // namespace kolvane
