// How an HTTP body is stored: read as lines of at most 1022 characters ("pieces"), carriage
// returns dropped and not counted, a line feed ending a piece and kept, and each piece written
// only up to its first NUL. So CR LF line ends are stored as LF, and a NUL loses the rest of its
// piece. The writer is fed the body in arbitrary chunks and gives the same bytes whatever the
// chunking.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kolvane {

inline constexpr std::size_t kMaxPiece = 1022;

class CLinePieceWriter {
  public:
    // Appends to `out` what the pieces of `chunk` store.
    void Feed(std::string_view chunk, std::string& out);

  private:
    std::size_t m_nStored = 0;  // characters in the current piece
    bool m_bCut = false;        // the current piece met a NUL
};

}  // namespace kolvane
