// The editor's promise that a saved rule reads back as it was edited: the model is written into
// memory with the rule-file writer, read back with the reader's run mode, and compared field by
// field. The first field that would come back changed or lost is reported with the page, the
// scan file, the variable and the field, so the sheet can stay open there.
#pragma once

#include <optional>
#include <string>

#include "engine/doc_data.h"

namespace kolvane::editor {

enum class EEditorPage { Command = 0, ScanFile = 1, ScanVar = 2 };

struct SRoundTripFault {
    EEditorPage page = EEditorPage::Command;
    int scanFile = 0;  // 0 for the command section
    int varNo = 0;     // 0 for a scan file's own fields
    std::string field;
    std::string message;  // the whole text for the message box
    std::string brief;    // the field, what it holds and what becomes of it, in one line
};

std::optional<SRoundTripFault> CheckRoundTrip(const CKolvaneDocData& doc);

// One variable as the save writes it: its line in the rule file, and, when the save would
// refuse it, the brief reason (the same check as CheckRoundTrip's).
struct SVarLine {
    std::string line;
    std::optional<std::string> refusal;
};
SVarLine VariableLine(const CScanVar& var);

}  // namespace kolvane::editor
