// The credentials dialog shown when a server answers HTTP 401: a user name and a hidden
// password for the URL.
#pragma once

#include <wx/string.h>

#include <string>

class wxWindow;

namespace kolvane {

// True when the user pressed OK; the answers are then in `user` and `password`.
bool AskCredentialsDialog(wxWindow* parent, const wxString& url, std::string& user,
                          std::string& password);

}  // namespace kolvane
