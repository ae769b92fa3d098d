// The loaded rule model as the runner's check mode shows it: a readable summary, or one JSON
// object (strings as strings, numbers as numbers, the flags as booleans).
#pragma once

#include <string>
#include <string_view>

#include "engine/doc_data.h"

namespace kolvane {

// A JSON string literal for raw bytes: valid UTF-8 passes through, control characters are
// escaped, and a byte that is not part of valid UTF-8 stands for the Latin-1 character. Written
// here rather than by a JSON library, whose writers refuse, replace or drop such a byte: two
// names that differ only there would then print alike.
std::string JsonString(std::string_view bytes);
// True when `bytes` is valid UTF-8 throughout (JsonString then keeps every byte).
bool IsUtf8(std::string_view bytes);

// Passwords, and the password of a URL written "user:password@host", show as "********" unless
// `showPasswords`: a check's output lands in terminals, logs and bug reports.
std::string ModelJson(const CKolvaneDocData& doc, bool upload, bool remote, bool showPasswords);
std::string ModelSummary(const CKolvaneDocData& doc, bool upload, bool remote, bool showPasswords);

}  // namespace kolvane
