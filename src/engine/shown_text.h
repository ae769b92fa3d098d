// How text the program does not write itself is shown in a log line, an error-log entry, a
// message or a status pane. A server's answer, a rule's or a file's name may hold any byte: an
// escape sequence would drive the terminal or the log window, a carriage return would overwrite
// what the line said, and a line break followed by a stamp would forge an entry of its own. So
// such text is shown with its control bytes as "\xNN", and only the program starts a line.
//
// The sinks (LogEntry, AppendLogLine, the message box and the status panes) escape every
// control byte but the line breaks the program's own texts use (LF and CR LF), which are kept
// in entries and messages; the places that put a server's text into an entry escape its line
// breaks too (ServerText), or fold it onto indented lines of such text.
#pragma once

#include <string>
#include <string_view>

namespace kolvane {

enum class ELineBreaks { Escape, Keep };

// `text` with every control byte (below 0x20 except the tab, 0x7F, and the C1 controls U+0080
// to U+009F as UTF-8) written as "\xNN" in capital hex digits; with Keep, a line feed and a
// CR LF pair stay as they are. Each byte becomes at most 4.
std::string EscapeControls(std::string_view text, ELineBreaks breaks = ELineBreaks::Escape);

// A server's text on one line of an entry: EscapeControls, and every run of three or more "*"
// written as escapes too, so that nothing in it reads as an entry's stamp ("  *** ... ***").
std::string ServerText(std::string_view text);

}  // namespace kolvane
