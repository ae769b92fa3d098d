// The merge's marker index: for each marker text (letters A to Z folded), the first variable in
// table order that has it.
//
// One flat table of hashes, the folded markers side by side in one string: a lookup touches a
// slot and the bytes it compares. A map of nodes touched a bucket, a node and the variable's own
// string, each somewhere else in memory; with thousands of markers those misses cost more than
// the rest of the merge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text_ops.h"

namespace kolvane {

class CScanVar;

class CMarkerIndex {
  public:
    void Clear(std::size_t expected) {
        std::size_t size = 16;
        while (size < 2 * expected) size *= 2;
        m_slots.assign(size, SSlot{});
        m_keys.clear();
        m_count = 0;
    }
    // Adds `marker` unless it is already there (the first one stays).
    void Add(std::string_view marker, const CScanVar* var) {
        if (2 * (m_count + 1) > m_slots.size()) Grow();
        const std::uint64_t hash = SFoldedHash{}(marker);
        SSlot& slot = m_slots[Probe(marker, hash)];
        if (slot.var) return;
        slot = {hash, std::uint32_t(m_keys.size()), std::uint32_t(marker.size()), var};
        m_keys += FoldedCopy(marker);
        ++m_count;
    }
    const CScanVar* Find(std::string_view marker) const {
        return m_count == 0 ? nullptr : m_slots[Probe(marker, SFoldedHash{}(marker))].var;
    }

  private:
    struct SSlot {
        std::uint64_t hash = 0;
        std::uint32_t at = 0, length = 0;  // the folded marker in m_keys
        const CScanVar* var = nullptr;     // null: an empty slot
    };
    // The slot holding `marker`, else the empty slot where it would go.
    std::size_t Probe(std::string_view marker, std::uint64_t hash) const {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const SSlot& slot = m_slots[i];
            if (!slot.var ||
                (slot.hash == hash && slot.length == marker.size() &&
                 EqualFolded(std::string_view(m_keys).substr(slot.at, slot.length), marker)))
                return i;
        }
    }
    void Grow() {
        std::vector<SSlot> old(m_slots.size() * 2);
        old.swap(m_slots);
        for (const SSlot& slot : old)
            if (slot.var) {
                const std::size_t mask = m_slots.size() - 1;
                std::size_t i = slot.hash & mask;
                while (m_slots[i].var) i = (i + 1) & mask;
                m_slots[i] = slot;
            }
    }

    std::vector<SSlot> m_slots = std::vector<SSlot>(16);
    std::string m_keys;
    std::size_t m_count = 0;
};

}  // namespace kolvane
