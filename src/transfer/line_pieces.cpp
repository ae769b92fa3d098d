// CLinePieceWriter. Runs of ordinary characters are copied in one append; only the characters
// that end or cut a piece are looked at one by one.
#include "transfer/line_pieces.h"

#include <algorithm>

namespace kolvane {

void CLinePieceWriter::Feed(std::string_view chunk, std::string& out) {
    const char* p = chunk.data();
    const char* const end = p + chunk.size();
    while (p < end) {
        const std::size_t room = kMaxPiece - m_nStored;
        const char* limit = p + std::min<std::size_t>(room, static_cast<std::size_t>(end - p));
        const char* q = p;
        while (q < limit && *q != '\n' && *q != '\r' && *q != '\0') ++q;
        if (!m_bCut) out.append(p, q);
        m_nStored += static_cast<std::size_t>(q - p);
        p = q;
        if (m_nStored == kMaxPiece) {
            m_nStored = 0;
            m_bCut = false;
            continue;
        }
        if (p == end) break;
        const char c = *p++;
        if (c == '\r') continue;  // dropped, and not counted
        if (c == '\n') {
            if (!m_bCut) out += '\n';
            m_nStored = 0;
            m_bCut = false;
            continue;
        }
        m_bCut = true;  // a NUL: the rest of this piece is lost
        if (++m_nStored == kMaxPiece) {
            m_nStored = 0;
            m_bCut = false;
        }
    }
}

}  // namespace kolvane
