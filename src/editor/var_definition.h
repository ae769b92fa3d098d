// The Scan Variable page's definition fields and how they map to a scan variable of the model:
// what the page shows for a variable (and which fields are open), and the checks and steps that
// store the fields into the variable. No display needed, so the rules are tested on their own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/rule_model.h"

namespace kolvane::editor {

struct SVarFields {
    std::string name;
    unsigned startLine = 0, startCol = 0, endLine = 0, endCol = 0;
    std::string startPattern;
    std::string rule;
    std::string endPattern;
    int instance = 1;
};

// Which definition edits are open.
struct SVarEnabled {
    bool lineColumn = false;
    bool startPattern = false;
    bool rule = false;
    bool endPattern = false;
    bool instance = false;
};

struct SVarShown {
    SVarFields fields;
    SVarEnabled enabled;
};

// The fields and open edits for a variable of the model.
SVarShown ShowVariable(const CScanVar& var);

// "?all?" in any letter case becomes "?All?".
std::string NormalizeRule(std::string_view rule);
bool IsWholeFileRule(std::string_view rule);
// True when the rule holds a decimal digit and begins with exactly two "?": a copy rule, which
// has no end pattern.
bool IsCopyRule(std::string_view rule);

// A pattern rule is made of "?" and digits only (empty passes). On success `kind` is the copy
// kind with `copyCount` the number after the leading "?" (up to the first non-digit) when the
// rule holds a digit, else the extract kind.
bool ReadPatternRule(std::string_view rule, int& kind, int& copyCount);

// Checks the fields in the page's order and stores them into `var`; the message of the first
// failing check, or none on success. `cleared`: the variable was cleared and not yet defined.
std::optional<std::string> StoreVariable(SVarFields& fields, bool cleared, CScanVar* var);

}  // namespace kolvane::editor
