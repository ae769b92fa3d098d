// The external editor's command line for a double-clicked log line, built without a shell.
//
// The "Editor" setting is split into words with the usual quoting rules (blanks separate words;
// '...' keeps everything; "..." keeps everything but lets a backslash escape " and \; a backslash
// outside quotes escapes the next character). "%f" and "%l" are replaced inside the words, so a
// file path stays one argument whatever characters it holds; a setting without "%f" gets the
// file as its last argument. GUI-free, so it is tested without a display.
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

// Splits `text` into words; false when a quote is left open.
bool SplitWords(std::string_view text, std::vector<std::string>& words);

// The argument vector for opening `file` at line `line`; empty when the setting is unusable
// (nothing but blanks, or an open quote).
std::vector<std::string> EditorArgv(std::string_view editor, std::string_view file, int line = 1);

// The argument vector as one readable text, for the failure message.
std::string CommandText(const std::vector<std::string>& argv);

}  // namespace kolvane
