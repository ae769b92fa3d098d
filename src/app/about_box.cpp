// The about box.
#include "app/about_box.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "app/resources.h"
#include "app/version_info.h"

namespace kolvane {

void ShowAboutBox(wxWindow* parent) {
    wxDialog dialog(parent, wxID_ANY, "About Kolvane");
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticBitmap(&dialog, wxID_ANY, ProgramImage(48)), 0, wxALL, 12);
    auto* texts = new wxBoxSizer(wxVERTICAL);
    // The about text is built here when it is first needed, so the box is never empty.
    auto* about =
        new wxStaticText(&dialog, wxID_ANY, wxString::FromUTF8(TheAboutText()), wxDefaultPosition,
                         wxDefaultSize, wxALIGN_CENTRE_HORIZONTAL | wxBORDER_SUNKEN);
    texts->Add(about, 0, wxEXPAND | wxBOTTOM, 8);
    texts->Add(new wxStaticText(&dialog, wxID_ANY, wxString::FromUTF8(std::string(ContactText())),
                                wxDefaultPosition, wxDefaultSize,
                                wxALIGN_CENTRE_HORIZONTAL | wxBORDER_SUNKEN),
               0, wxEXPAND);
    row->Add(texts, 1, wxEXPAND | wxTOP | wxBOTTOM, 12);
    auto* ok = new wxButton(&dialog, wxID_OK, "OK");
    ok->SetDefault();
    row->Add(ok, 0, wxALL, 12);
    dialog.SetSizerAndFit(row);
    dialog.CentreOnParent();
    dialog.ShowModal();
}

}  // namespace kolvane
