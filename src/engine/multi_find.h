// Many keys searched for in one pass over a scan text.
//
// The variables of one scan file ask for the occurrences of a handful of keys (start keys and
// end patterns), each from the start of the text onward. Asked one key at a time, the walks
// together cover the text once per key, and a key in the trailer costs a whole walk. CMultiFind
// walks the text once for all of them: one vectorised scan tests every start against a
// fingerprint of every key at once (its first four bytes, the keys shared out over eight
// buckets of nibble tables that a byte shuffle looks up), compares the few candidates in full
// and records each key's occurrences. A question is answered from those records; the scan goes
// on, a chunk at a time, only as far as a question needs.
//
// Find(id, from) is exactly FindText(text, key, from). A key that turns out to be common stops
// being recorded after kMaxKept occurrences and is searched with FindText from then on, so the
// records stay small whatever the text; so is a key added after the scan began. A processor
// without SSSE3 searches every key with FindText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kolvane {

// The scan's implementations, for tests that compare them; Best takes the widest one.
enum class EMultiPath { Best, Direct, Ssse3, Avx2, Avx512 };
bool MultiPathSupported(EMultiPath path);

class CMultiFind {
  public:
    static constexpr std::size_t kMaxKept = 4096;
    static constexpr std::size_t kPrint = 4;  // the bytes of a key's fingerprint

    explicit CMultiFind(std::string_view text, EMultiPath path = EMultiPath::Best);

    // The id of `key`; a key equal to an earlier one, letters folded, gets the earlier id.
    std::size_t Add(std::string_view key);
    // The first occurrence of key `id` at or after `from`, letters A to Z folded; npos if none.
    std::size_t Find(std::size_t id, std::size_t from);
    // How many starts the shared scan has tested so far (at most the text's length).
    std::size_t Scanned() const { return m_scanned; }

  private:
    struct SKey {
        std::string folded;
        bool kept = true;  // occurrences recorded by the shared scan
        std::vector<std::uint32_t> hits;
    };

    void Prepare();
    void ScanChunk();
    void Verify(std::size_t start, unsigned buckets);
    void Record(SKey& key, std::size_t start);
    template <class Block>
    std::size_t Blocks(std::size_t i, std::size_t end, const Block& block);
    std::size_t Ssse3Blocks(std::size_t i, std::size_t end);
    std::size_t Avx2Blocks(std::size_t i, std::size_t end);
    std::size_t Avx512Blocks(std::size_t i, std::size_t end);

    std::string_view m_text;
    EMultiPath m_path;
    std::vector<SKey> m_keys;
    bool m_prepared = false;
    std::size_t m_scanned = 0;
    // Per fingerprint byte: which buckets accept each low and high nibble.
    alignas(16) std::uint8_t m_lo[kPrint][16] = {};
    alignas(16) std::uint8_t m_hi[kPrint][16] = {};
    std::vector<std::size_t> m_bucket[8];  // the recorded keys of each bucket
};

}  // namespace kolvane
