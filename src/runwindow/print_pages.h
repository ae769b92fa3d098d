// The log's print pagination: 80 stored lines a page. GUI-free, so it is tested without a
// printer or a display.
#pragma once

#include <cstddef>

namespace kolvane {

inline constexpr int kLinesPerPage = 80;

// Pages needed for `lines` stored lines (0 for an empty log: nothing to print).
constexpr int PageCount(std::size_t lines, int perPage = kLinesPerPage) {
    return static_cast<int>((lines + static_cast<std::size_t>(perPage) - 1) /
                            static_cast<std::size_t>(perPage));
}

// The stored lines of page `page` (1-based): [first, end), clipped to `lines`.
struct SPageLines {
    std::size_t first;
    std::size_t end;
};
constexpr SPageLines PageLines(int page, std::size_t lines, int perPage = kLinesPerPage) {
    std::size_t first = static_cast<std::size_t>(page - 1) * static_cast<std::size_t>(perPage);
    std::size_t end = first + static_cast<std::size_t>(perPage);
    if (first > lines) first = lines;
    if (end > lines) end = lines;
    return {first, end};
}

}  // namespace kolvane
