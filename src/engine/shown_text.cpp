// Control bytes and stamp-like text of outside texts, escaped for the log and the terminal.
#include "engine/shown_text.h"

namespace kolvane {
namespace {

void AppendEscape(std::string& out, unsigned char c) {
    static const char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

std::string Shown(std::string_view text, ELineBreaks breaks, bool stars) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    const bool keep = breaks == ELineBreaks::Keep;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (keep && (c == '\n' || (c == '\r' && i + 1 < n && text[i + 1] == '\n'))) {
            out += char(c);
        } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
            AppendEscape(out, c);
        } else if (c == 0xC2 && i + 1 < n && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            AppendEscape(out, c);
            AppendEscape(out, static_cast<unsigned char>(text[++i]));
        } else if (c == '*' && stars) {
            // A run of three or more, as a stamp has, goes as escapes.
            std::size_t end = i;
            while (end < n && text[end] == '*') ++end;
            if (end - i < 3) out.append(end - i, '*');
            for (std::size_t k = i; end - i >= 3 && k < end; ++k) AppendEscape(out, '*');
            i = end - 1;
        } else {
            out += char(c);
        }
    }
    return out;
}

}  // namespace

std::string EscapeControls(std::string_view text, ELineBreaks breaks) {
    return Shown(text, breaks, false);
}

std::string ServerText(std::string_view text) {
    return Shown(text, ELineBreaks::Escape, true);
}

}  // namespace kolvane
