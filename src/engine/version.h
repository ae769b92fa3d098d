// The programs' version, "major.minor.patch": the build's project version, which it defines as
// KOLVANE_VERSION for every target of the engine and above. Both programs show it.
#pragma once

#include <string_view>

#ifndef KOLVANE_VERSION
#error "the build defines KOLVANE_VERSION"
#endif

namespace kolvane {

inline constexpr std::string_view kVersion = KOLVANE_VERSION;

}  // namespace kolvane
