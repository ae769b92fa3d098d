// Names for the accessibility interface where the toolkit gives none: a screen reader reads a
// control by its accessible name, and a control without one (a list, a status bar, a tool bar
// button that shows only an icon) is announced as an unnamed panel. GTK only; elsewhere these do
// nothing.
#pragma once

#include <wx/string.h>

class wxWindow;
class wxToolBar;

namespace kolvane {

void SetAccessibleName(wxWindow* window, const wxString& name);
void SetAccessibleDescription(wxWindow* window, const wxString& text);
// Names every tool of a tool bar after its short help, and every button below `root` that shows
// no text after its tool tip.
void NameToolBarTools(wxToolBar* bar);
void NameIconButtons(wxWindow* root);

}  // namespace kolvane
