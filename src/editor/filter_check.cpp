// Filter checks and conversions (see filter_check.h).
#include "filter_check.h"

namespace kolvane::editor {

SFilterCheck CheckFilter(std::string_view description, std::string_view filter) {
    SFilterCheck out;
    if (description.size() > 30) {
        out.message = "Filter Description must be 30 characters or less!";
        return out;
    }
    if (filter.size() > 60) {
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
        for (char c : pattern) {
            const bool alnum =
                (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            if (!alnum &&
                std::string_view(".*?_^$~!#%&-{}[]@'`").find(c) == std::string_view::npos) {
                out.message = std::string(1, c) + " is NOT a valid file filter character!";
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
