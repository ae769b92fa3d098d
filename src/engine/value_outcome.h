// Why a scan variable has the value it has, or none: the one record of it and the one place
// that puts it into words.
//
// The engine records an outcome on every variable it handles (CScanVar::m_outcome): the rule
// reader when it refuses a variable line, the extraction when a rule finds nothing, the caller
// of ReadScanFile or of a fetch when the variable's scan file never came. Whoever shows a user
// why a marker stayed unreplaced (`kolvane-run --values`, the editor's "Value now:" field) shows
// ValueOutcomeText of that record, so every front end says the same words.
#pragma once

#include <string>

namespace kolvane {

enum class EValueOutcome {
    NotExtracted,        // not looked at by the last extraction
    Found,               // the variable has a value
    ScanFileNotFound,    // detail: the scan file's path
    ScanFileNotOpened,   // detail: the path (not a regular file, no permission)
    ScanFileEmpty,       // detail: the path
    ScanFileTooBig,      // detail: the path
    ScanFileNotRead,     // detail: the path (a read error)
    ScanFileNoLineFeed,  // detail: the path (its first line has no line feed)
    FetchFailed,         // detail: the error-log entries of the fetch
    Refused,             // detail: the rule reader's refusal
    StartNotFound,       // no occurrence of the start pattern qualified
    TooFewOccurrences,   // found: the qualifying occurrences; asked: the instance
    SkipEndNotFound,     // the start pattern's last character (detail) never follows
    EndNotFound,         // the end pattern does not follow the value's start
    LineMissing,         // asked: the line; found: the lines the file has
    LineUnended,         // asked: the line, the file's last, which has no line feed
    LineEmpty,           // asked: the line
    ColumnMissing,       // asked: the column; line: its line; found: the line's characters
    EndBeforeStart,      // the end (line, asked column) lies before the start
};

struct SValueOutcome {
    EValueOutcome kind = EValueOutcome::NotExtracted;
    long found = 0;
    long asked = 0;
    long line = 0;
    std::string detail;
};

// The plain words for an outcome ("start pattern not found", "line 12 does not exist (the
// file has 9 lines)"); empty for Found.
std::string ValueOutcomeText(const SValueOutcome& outcome);

}  // namespace kolvane
