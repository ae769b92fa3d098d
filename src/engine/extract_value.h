// One scan variable's value from one scan text, and why there is none: the extraction itself,
// free of any run, window or file.
//
// The run (CKolvaneEngine::ExtractScanVars) calls ExtractValue for each variable of a scan file
// and stores the value and the outcome on the variable. The editor's "Value now:" field runs
// that same extraction for the one variable being edited; the runner's `--values` shows the
// outcome recorded by the run. All of them therefore give the same value
// and the same words (ValueOutcomeText, value_outcome.h).
//
// Every rule is linear in the scan text's length: each walk over the text starts where an
// earlier one stopped, or its answer is kept while later occurrences still lie before it. The
// `examined` counter adds up the characters the walks pass over, so tests can bound the work
// without timing it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "rule_model.h"
#include "value_outcome.h"

namespace kolvane {

// A scan text (up to its first NUL) with its line-end style, decided once per text: CR LF when
// the text holds a CR LF pair anywhere, else line feed only ("^^" stands for that line break).
struct SScanText {
    explicit SScanText(std::string_view bytes);
    std::string_view text;
    bool crlf = false;
};

struct SExtraction {
    std::optional<std::string> value;  // none when the rule found nothing
    SValueOutcome outcome;             // Found, or why there is no value
};

// The value `var`'s rule (extract, copy, line-column or whole file) gives on `scan`, exactly as
// a run gives it. `examined`, when given, is increased by the characters looked at.
SExtraction ExtractValue(const CScanVar& var, const SScanText& scan,
                         std::size_t* examined = nullptr);

}  // namespace kolvane
