// Comparing the transfer's own texts (header names, user names, URL schemes) with the letters
// A to Z folded: all ASCII, so no locale enters.
#pragma once

#include <cstddef>
#include <string_view>

namespace kolvane {

inline char FoldedAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualAsciiFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldedAscii(a[i]) != FoldedAscii(b[i])) return false;
    return true;
}

// True when `what` occurs in `text`, letters folded; at most |text| * |what| comparisons.
inline bool ContainsAsciiFolded(std::string_view text, std::string_view what) {
    for (std::size_t at = 0; at + what.size() <= text.size(); ++at)
        if (EqualAsciiFolded(text.substr(at, what.size()), what)) return true;
    return what.empty();
}

}  // namespace kolvane
