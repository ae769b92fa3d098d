// A candidate for FindText: the same result (letters A to Z folded, first occurrence at or
// after `from`, an empty key found at `from`), found by testing the key's first and last byte
// at 32 (AVX2) or 16 (SSE2) positions at once and comparing the rest only where both agree.
// Benchmarked against FindText and memchr in engine_bench, and checked against FindText there.
#pragma once

#include <cstddef>
#include <string_view>

namespace kolvane::bench {

std::size_t FindTextSimd(std::string_view text, std::string_view what, std::size_t from = 0);

}  // namespace kolvane::bench
