// The external editor's command line for a double-clicked log line, built without a shell.
//
// The "Editor" setting is split into words by wxWidgets' Unix rules (blanks separate words; '...'
// and "..." keep blanks and the other quote; a backslash, inside quotes too, takes the next
// character as it is; a quote left open runs to the end). "%f" and "%l" are replaced inside the
// words, so a file path stays one argument whatever characters it holds; a setting without "%f"
// gets the file as its last argument. GUI-free (wxBase only), so it is tested without a display.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kolvane {

// The local file a log line names: a numbered scan-file line (after ") ... "), the "Local
// Output File" line (after "Output File: "), or the "Rule File", "Template File" and "Error Log
// File" lines (after "File -> "), cut before " scanned", " see error log" and " created!".
// None for a line naming no file or a file on a server.
std::optional<std::string> FileOfLogLine(std::string_view line);

// Whether a log line sends the reader to the error log ("see error log", "check error log",
// "Terminated"): such a line opens the error log, not the file it may name.
bool LineNamesErrorLog(std::string_view line);

// The argument vector for opening `file` at line `line`; empty when the setting is nothing but
// blanks (or is not UTF-8).
std::vector<std::string> EditorArgv(std::string_view editor, std::string_view file, int line = 1);

// The argument vector as one readable text, for the failure message.
std::string CommandText(const std::vector<std::string>& argv);

}  // namespace kolvane
