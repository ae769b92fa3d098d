// The words for each outcome; a switch without default, so a new outcome without words does
// not compile quietly.
#include "engine/value_outcome.h"

#include "engine/file_io.h"

namespace kolvane {
namespace {

std::string Plural(long n, const char* one, const char* many) {
    return std::to_string(n) + (n == 1 ? one : many);
}

}  // namespace

std::string ValueOutcomeText(const SValueOutcome& o) {
    const std::string n = std::to_string(o.asked);
    switch (o.kind) {
        case EValueOutcome::NotExtracted:
            return "not extracted";
        case EValueOutcome::Found:
            return "";
        case EValueOutcome::ScanFileNotFound:
            return "scan file not found: " + o.detail;
        case EValueOutcome::ScanFileNotOpened:
            return "scan file cannot be opened: " + o.detail;
        case EValueOutcome::ScanFileEmpty:
            return "scan file is empty: " + o.detail;
        case EValueOutcome::ScanFileTooBig:
            return "scan file is larger than " + std::to_string(kMaxFileSize) +
                   " bytes: " + o.detail;
        case EValueOutcome::ScanFileNotRead:
            return "scan file could not be read: " + o.detail;
        case EValueOutcome::ScanFileNoLineFeed:
            return "scan file's first line has no line feed: " + o.detail;
        case EValueOutcome::FetchFailed:
            return "fetch failed: " + o.detail;
        case EValueOutcome::Refused:
            return "variable refused when the rule was read: " + o.detail;
        case EValueOutcome::StartNotFound:
            return "start pattern not found";
        case EValueOutcome::TooFewOccurrences:
            return "only " + Plural(o.found, " occurrence", " occurrences") +
                   " of the start pattern, instance " + n + " asked";
        case EValueOutcome::SkipEndNotFound:
            return "no \"" + o.detail + "\" after the start pattern to end the skipped text";
        case EValueOutcome::EndNotFound:
            return "end pattern not found after the start pattern";
        case EValueOutcome::LineMissing:
            return "line " + n + " does not exist (the file has " +
                   Plural(o.found, " line)", " lines)");
        case EValueOutcome::LineUnended:
            return "line " + n + " has no line feed at its end";
        case EValueOutcome::LineEmpty:
            return "line " + n + " is empty";
        case EValueOutcome::ColumnMissing:
            return "column " + n + " does not exist on line " + std::to_string(o.line) +
                   " (it has " + Plural(o.found, " character)", " characters)");
        case EValueOutcome::EndBeforeStart:
            return "the end (line " + std::to_string(o.line) + ", column " + n +
                   ") comes before the start";
    }
    return "";
}

}  // namespace kolvane
