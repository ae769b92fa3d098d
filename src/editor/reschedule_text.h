// The Command Section page's reschedule field: the interval in seconds shown as a short text
// with a unit letter (S, M or H), and such a text read back into seconds.
#pragma once

#include <string>
#include <string_view>

namespace kolvane::editor {

// Over 3600 s: hours, over 60 s: minutes, both "%7.2f <unit>"; else "<seconds> S".
std::string FormatInterval(int seconds);

// The number at the start of the text (0 when there is none), made positive; times 3600 when the
// text holds an H anywhere, else times 60 when it holds an M, else plain seconds raised to 10.
// Truncated to whole seconds.
int ParseInterval(std::string_view text);

// False when a word after the number is no unit the field knows: S, M, H (or letters of those
// only, as "HM"), sec, second, min, minute, hr, hour, each with or without a plural "s". So "1
// day" is refused rather than read as seconds.
bool KnownIntervalUnits(std::string_view text);

}  // namespace kolvane::editor
