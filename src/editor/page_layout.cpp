// Shared control helpers of the editor's pages (see page_layout.h).
#include "page_layout.h"

namespace kolvane::editor {

wxTextCtrl* AddLabelledText(wxWindow* parent, wxFlexGridSizer* grid, const wxString& label,
                            unsigned long maxLength, long style) {
    grid->Add(new wxStaticText(parent, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
    auto* text = new wxTextCtrl(parent, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, style);
    if (maxLength) text->SetMaxLength(maxLength);
    grid->Add(text, 1, wxEXPAND);
    return text;
}

void ShowReadOnly(wxTextCtrl* field) {
    field->SetBackgroundColour(field->GetParent()->GetBackgroundColour());
}

wxString ToWx(const std::string& bytes) {
    wxString s = wxString::FromUTF8(bytes.data(), bytes.size());
    if (s.empty() && !bytes.empty()) s = wxString(bytes.data(), wxConvISO8859_1, bytes.size());
    return s;
}

std::string FromWx(const wxString& text) {
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

}  // namespace kolvane::editor
