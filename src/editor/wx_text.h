// The model's text (bytes) to and from wxString, for the editor's pages and the log windows
// alike.
#pragma once

#include <wx/string.h>

#include <string>
#include <string_view>

namespace kolvane {

// Bytes as shown: UTF-8 when they are valid UTF-8 throughout, else Latin-1, so that a line of
// another encoding still shows (a character a byte) instead of vanishing.
inline wxString ToWx(std::string_view bytes) {
    wxString text = wxString::FromUTF8(bytes.data(), bytes.size());
    if (text.empty() && !bytes.empty())
        text = wxString(bytes.data(), wxConvISO8859_1, bytes.size());
    return text;
}

// A field's text for the model, as UTF-8.
inline std::string FromWx(const wxString& text) {
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

}  // namespace kolvane
