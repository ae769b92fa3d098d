// What the Scan Variable page shows under a definition: the value the engine's own extraction
// gives from the scan file's local copy at this moment, or why there is none.
#pragma once

#include <string>
#include <string_view>

#include "engine/rule_model.h"

namespace kolvane::editor {

struct SValueNow {
    bool found = false;
    std::string text;  // the value (at most 200 characters, line breaks as "↵") or the reason
};

// `ruleDir`: the rule file's directory, against which a relative local path resolves.
SValueNow ValueNowOf(const CScanFile& file, const CScanVar& var, std::string_view ruleDir);

// The value as shown: cut to 200 characters (never inside a UTF-8 sequence), each line break
// shown as "↵".
std::string ShownValue(std::string_view value);

}  // namespace kolvane::editor
