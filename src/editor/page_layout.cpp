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

bool UrlHasCredentials(const std::string& url) {
    const std::size_t scheme = url.find("://");
    const std::size_t from = scheme == std::string::npos ? 0 : scheme + 3;
    const std::size_t hostEnd = url.find_first_of("/?#", from);
    return url.find('@', from) < hostEnd;
}

wxString CredentialsRefusal(const wxString& userLabel, const wxString& passwordLabel) {
    return "A user name or password may NOT be part of the URL!\nType the user name into \"" +
           userLabel + "\" and the password into \"" + passwordLabel +
           "\", and the URL without them.";
}

}  // namespace kolvane::editor
