// Shared control helpers of the editor's pages (see page_layout.h).
#include "editor/page_layout.h"

#include <algorithm>

namespace kolvane::editor {

wxTextCtrl* AddLabelledText(wxWindow* parent, wxFlexGridSizer* grid, const wxString& label,
                            unsigned long maxLength, long style) {
    grid->Add(new wxStaticText(parent, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
    auto* text = new wxTextCtrl(parent, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, style);
    if (maxLength) text->SetMaxLength(maxLength);
    grid->Add(text, 1, wxEXPAND);
    return text;
}

void AlignLabels(std::initializer_list<wxFlexGridSizer*> grids) {
    int width = 0;
    for (wxFlexGridSizer* g : grids)
        for (size_t i = 0; i < g->GetItemCount(); i += 2)
            width = std::max(width, g->GetItem(i)->GetMinSize().x);
    for (wxFlexGridSizer* g : grids)
        for (size_t i = 0; i < g->GetItemCount(); i += 2)
            if (wxWindow* label = g->GetItem(i)->GetWindow()) label->SetMinSize(wxSize(width, -1));
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
