// The Filters page's rules without the page: checking a description and a filter before they
// are listed, cleaning the filter's pattern list, and turning a stored filter entry
// ("description|patterns") into a list line ("description\tpatterns") and back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kolvane::editor {

enum class EFilterField { Description, Filter };

struct SFilterCheck {
    bool ok = false;
    std::string message;  // when not ok
    EFilterField focus = EFilterField::Description;
    std::string cleaned;  // when ok: the patterns joined by ";" without blanks
};

SFilterCheck CheckFilter(std::string_view description, std::string_view filter);

// The list line of a stored entry; none for an entry without "|".
std::optional<std::string> FilterLineOfEntry(std::string_view entry);
// The stored entry of a list line: its first tab becomes "|".
std::string FilterEntryOfLine(std::string_view line);

}  // namespace kolvane::editor
