// Filter checks and conversions (see filter_check.h).
#include "editor/filter_check.h"

namespace kolvane::editor {

namespace {

// Characters, not bytes, of UTF-8 text.
std::size_t Characters(std::string_view text) {
    std::size_t n = 0;
    for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// The whole character (a UTF-8 sequence) that starts at `at`.
std::string_view CharacterAt(std::string_view text, std::size_t at) {
    std::size_t end = at + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    return text.substr(at, end - at);
}

}  // namespace

SFilterCheck CheckFilter(std::string_view description, std::string_view filter) {
    SFilterCheck out;
    if (Characters(description) > 30) {
        out.message = "Filter Description must be 30 characters or less!";
        return out;
    }
    // "|" separates a description from its patterns in the stored entry and in the list that
    // the file dialogs are given.
    if (description.find_first_of("|\t") != std::string_view::npos) {
        out.message = "Filter Description may NOT contain \"|\" or a tab!";
        return out;
    }
    if (Characters(filter) > 60) {
        out.message = "File Filter must be 60 characters or less!";
        out.focus = EFilterField::Filter;
        return out;
    }
    if (description.empty()) {
        out.message = "Description may NOT be empty!";
        return out;
    }
    out.focus = EFilterField::Filter;
    std::string cleaned;
    std::size_t i = 0;
    while (i < filter.size()) {
        std::size_t end = filter.find_first_of("; ", i);
        if (end == std::string_view::npos) end = filter.size();
        std::string_view pattern = filter.substr(i, end - i);
        for (std::size_t k = 0; k < pattern.size(); ++k) {
            const char c = pattern[k];
            const bool alnum =
                (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            if (!alnum &&
                std::string_view(".*?_^$~!#%&-{}[]@'`").find(c) == std::string_view::npos) {
                out.message =
                    std::string(CharacterAt(pattern, k)) + " is NOT a valid file filter character!";
                return out;
            }
        }
        if (!pattern.empty()) {
            if (!cleaned.empty()) cleaned.push_back(';');
            cleaned.append(pattern);
        }
        i = end + 1;
    }
    // A filter of separators only would list an entry that matches nothing.
    if (cleaned.empty()) {
        out.message = "Filter may NOT be empty!";
        return out;
    }
    out.ok = true;
    out.cleaned = std::move(cleaned);
    return out;
}

std::optional<std::string> FilterLineOfEntry(std::string_view entry) {
    const std::size_t bar = entry.find('|');
    if (bar == std::string_view::npos) return std::nullopt;
    std::string_view description = entry.substr(0, bar);
    while (!description.empty() &&
           std::string_view(" \t\r\n\v\f").find(description.back()) != std::string_view::npos)
        description.remove_suffix(1);
    return std::string(description) + "\t" + std::string(entry.substr(bar + 1));
}

std::string FilterEntryOfLine(std::string_view line) {
    std::string out(line);
    const std::size_t tab = out.find('\t');
    if (tab != std::string::npos) out[tab] = '|';
    return out;
}

}  // namespace kolvane::editor
