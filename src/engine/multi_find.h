// Many keys searched for in one pass over a scan text.
//
// The variables of one scan file ask for the occurrences of a handful of keys (start keys and
// end patterns), each from the start of the text onward. Asked one key at a time, the walks
// together cover the text once per key, and a key in the trailer costs a whole walk. CMultiFind
// walks the text once for all of them: one vectorised scan tests every start against a
// fingerprint of every key at once (its first byte and the low halves of the next three, the
// keys shared out over eight buckets of nibble tables that a byte shuffle looks up), follows the
// few candidates down one trie of all the keys (so keys that share their first bytes are compared
// together, never one at a time) and records each key's occurrences. Where candidates come so thick
// that the trie walks cost more than a few steps per byte (a text that repeats the keys' common
// beginning), the rest of the text goes through the trie's automaton instead (failure links), which
// costs a step or so per byte whatever the keys. A question is answered from those records; the
// scan goes on, a chunk at a time, only as far as a question needs.
//
// Find(id, from) is exactly FindText(text, key, from). A key that turns out to be common stops
// being recorded after kMaxKept occurrences and is searched with FindText from then on, so the
// records stay small whatever the text; so is a key added after the scan began. A processor
// without SSSE3 runs the automaton over the whole text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kolvane {

// The scan's implementations, for tests that compare them; Best takes the widest one.
enum class EMultiPath { Best, Direct, Ssse3, Avx2 };
bool MultiPathSupported(EMultiPath path);

class CMultiFind {
  public:
    static constexpr std::size_t kMaxKept = 4096;
    static constexpr std::size_t kPrint = 4;          // the bytes of a key's fingerprint
    static constexpr std::size_t kWhole = 1;          // of them, those tested by both nibbles
    static constexpr std::size_t kChunk = 16 * 1024;  // starts scanned per step

    explicit CMultiFind(std::string_view text, EMultiPath path = EMultiPath::Best);

    // The id of `key`; a key equal to an earlier one, letters folded, gets the earlier id.
    std::size_t Add(std::string_view key);
    // The first occurrence of key `id` at or after `from`, letters A to Z folded, that starts
    // before `before`; npos if none. The scan goes no further than `before`.
    std::size_t Find(std::size_t id, std::size_t from, std::size_t before = std::size_t(-1));
    // Called before each chunk of the shared scan (kChunk starts): a long scan can serve its
    // caller's pending events. It may throw; the object is then only fit to be destroyed.
    void SetProgress(std::function<void()> progress) { m_progress = std::move(progress); }
    // How many starts the shared scan has tested so far (at most the text's length).
    std::size_t Scanned() const { return m_scanned; }
    // Whether the scan has gone over to the automaton (for tests).
    bool Automaton() const { return m_automaton; }

  private:
    struct SKey {
        std::string folded;
        bool kept = true;  // occurrences recorded by the shared scan
        std::vector<std::uint32_t> hits;
    };
    static constexpr std::size_t kNoKey = std::size_t(-1);
    // A trie node: its children (bytes folded) are edges [edge, edge + edges) of m_edges, sorted
    // by byte; `key` ends here (npos: none); `fail` is the longest proper suffix that is a node,
    // `out` the nearest node on that chain where a key ends (0: none).
    struct SNode {
        std::uint32_t edge = 0, edges = 0, fail = 0, out = 0, depth = 0;
        std::size_t key = kNoKey;
    };

    void Prepare();
    void BuildTrie(const std::vector<std::size_t>& kept);
    std::uint32_t Child(std::uint32_t node, unsigned char c) const;
    void ScanChunk();
    std::size_t Walk(std::size_t start);
    void RunAutomaton(std::size_t limit);
    std::uint32_t Delta(std::uint32_t node, unsigned char c) const;
    std::uint32_t Encode(std::uint32_t node);
    void Report(std::uint32_t node, std::size_t end);
    std::uint32_t Alive(std::uint32_t node);
    void Record(SKey& key, std::size_t start);
    template <class Block>
    std::size_t Blocks(std::size_t i, std::size_t end, const Block& block);
    std::size_t Ssse3Blocks(std::size_t i, std::size_t end);
    std::size_t Avx2Blocks(std::size_t i, std::size_t end);

    std::string_view m_text;
    EMultiPath m_path;
    std::vector<SKey> m_keys;
    std::unordered_map<std::string, std::size_t> m_ids;  // by folded key
    bool m_prepared = false;
    std::size_t m_scanned = 0;
    // Per fingerprint byte: which buckets accept each low nibble, and each high one in the
    // first kWhole bytes.
    alignas(16) std::uint8_t m_lo[kPrint][16] = {};
    alignas(16) std::uint8_t m_hi[kWhole][16] = {};
    // The trie of the recorded keys (node 0 the root) and the automaton's place in the text.
    std::vector<SNode> m_nodes;
    std::vector<std::pair<unsigned char, std::uint32_t>> m_edges;
    std::uint32_t m_root[256] = {};        // the root's children by byte, 0 for none
    std::size_t m_longest = 0;             // the longest recorded key
    std::size_t m_work = 0, m_budget = 0;  // trie steps spent in this chunk, and allowed
    bool m_automaton = false;
    std::size_t m_fed = 0;      // the bytes the automaton has read
    std::uint32_t m_state = 0;  // a node in the filter's hand-over, a state after
    // The automaton's moves from the nodes it has been in, as full rows of 256 filled as they
    // are first taken (kMaxRows at most; other nodes follow their failure links each time).
    // A state is a row, or a node with kNoRow; a move in a row has kReports when keys end at
    // the node it leads to.
    static constexpr std::uint32_t kMaxRows = 1024, kNone = ~std::uint32_t(0);
    static constexpr std::uint32_t kReports = 1u << 31, kNoRow = 1u << 30;
    std::vector<std::uint32_t> m_rowOf;    // per node; kNone: no row
    std::vector<std::uint32_t> m_rowNode;  // per row
    std::vector<std::uint32_t> m_rows;     // kNone: not taken yet
    std::function<void()> m_progress;
};

}  // namespace kolvane
