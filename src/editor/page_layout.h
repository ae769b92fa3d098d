// Small helpers the editor's pages share to build their controls: a label created right before
// its control (so the accessibility interface links them), with the model's capacity as the
// control's length limit.
#pragma once

#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <initializer_list>
#include <string>

#include "editor/wx_text.h"

namespace kolvane::editor {

// The longest key value the rule reader takes.
inline constexpr unsigned long kMaxFieldLength = 259;

// Adds a label and a text field to a two-column grid; the label is created first.
wxTextCtrl* AddLabelledText(wxWindow* parent, wxFlexGridSizer* grid, const wxString& label,
                            unsigned long maxLength, long style = 0);

// Makes the labels (the first column) of two-column grids as wide as the widest of them, so
// that the grids' fields line up.
void AlignLabels(std::initializer_list<wxFlexGridSizer*> grids);

// Gives a read-only field the look of one: no frame of an edit, the page's background.
void ShowReadOnly(wxTextCtrl* field);

// "user:pw@" (or "user@") between the scheme and the host: credentials typed into a URL, which
// the transfer would send to whichever host follows them and which a saved rule shows to all.
bool UrlHasCredentials(const std::string& url);
// The refusal of such a URL, naming the page's fields the credentials go into.
wxString CredentialsRefusal(const wxString& userLabel, const wxString& passwordLabel);

}  // namespace kolvane::editor
