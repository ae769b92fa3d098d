// The log window's frame: an MDI child of the main window (a tab on GTK) that adds nothing to
// the framework's child frame but its menu bar, which the application provides.
#pragma once

#include <wx/docmdi.h>

#include <functional>

namespace kolvane {

class CChildFrame : public wxDocMDIChildFrame {
  public:
    CChildFrame(wxDocument* doc, wxView* view, wxMDIParentFrame* parent);

  protected:
    // A log window has no status bar of its own: its menus' prompts go to the main window's.
    void DoGiveHelp(const wxString& text, bool show) override;
};

// Makes the menu bar of a log window; set by the application at start-up.
std::function<wxMenuBar*()>& ChildMenuBarMaker();

}  // namespace kolvane
