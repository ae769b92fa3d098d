// Small helpers that build the error-log texts with a value in them, shared by the HTTP fetch
// and the HTTP upload.
#pragma once

#include <cstdio>
#include <string>

namespace kolvane {

// `format` with its one "%s" replaced by `value` (of any length).
inline std::string WithName(const char* format, const std::string& value) {
    std::string text(value.size() + 96, '\0');
    int n = std::snprintf(text.data(), text.size(), format, value.c_str());
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

// "Error: Got status code %d: getting'" (or "putting'") + server directory + "'!\r\n".
inline std::string GotStatusText(long status, const char* verb, const std::string& serverDir) {
    char head[64];
    std::snprintf(head, sizeof head, "Error: Got status code %ld: %s'", status, verb);
    return head + serverDir + "'!\r\n";
}

}  // namespace kolvane
