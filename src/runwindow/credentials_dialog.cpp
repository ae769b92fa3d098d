// The credentials dialog.
#include "runwindow/credentials_dialog.h"

#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace kolvane {

bool AskCredentialsDialog(wxWindow* parent, const wxString& url, std::string& user,
                          std::string& password) {
    wxDialog dialog(parent, wxID_ANY, "Kolvane - Server Login");
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(&dialog, wxID_ANY, "The server asks for a user name and password:"),
             0, wxALL, 10);
    top->Add(new wxStaticText(&dialog, wxID_ANY, url), 0, wxLEFT | wxRIGHT | wxBOTTOM, 10);
    auto* grid = new wxFlexGridSizer(2, 8, 8);
    grid->AddGrowableCol(1);
    // Each label right before its field: the accessibility interface links them.
    grid->Add(new wxStaticText(&dialog, wxID_ANY, "&User Name:"), 0, wxALIGN_CENTER_VERTICAL);
    auto* userField = new wxTextCtrl(&dialog, wxID_ANY, wxString::FromUTF8(user));
    grid->Add(userField, 1, wxEXPAND);
    grid->Add(new wxStaticText(&dialog, wxID_ANY, "&Password:"), 0, wxALIGN_CENTER_VERTICAL);
    auto* passwordField =
        new wxTextCtrl(&dialog, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxTE_PASSWORD);
    grid->Add(passwordField, 1, wxEXPAND);
    top->Add(grid, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
    top->Add(dialog.CreateSeparatedButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 10);
    dialog.SetSizerAndFit(top);
    dialog.SetMinSize(wxSize(380, -1));
    dialog.Fit();
    userField->SetFocus();
    if (dialog.ShowModal() != wxID_OK) return false;
    user = std::string(userField->GetValue().utf8_str());
    password = std::string(passwordField->GetValue().utf8_str());
    return true;
}

}  // namespace kolvane
