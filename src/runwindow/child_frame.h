// The log window's frame: an MDI child of the main window (a tab on GTK) that adds nothing to
// the framework's child frame but its menu bar, which the application provides.
#pragma once

#include <wx/docmdi.h>

#include <functional>

namespace kolvane {

class CChildFrame : public wxDocMDIChildFrame {
  public:
    CChildFrame(wxDocument* doc, wxView* view, wxMDIParentFrame* parent);
    ~CChildFrame() override;
};

// Makes the menu bar of a log window, and lets go of it before it is destroyed (the recent-file
// list must forget its menu); set by the application at start-up.
struct SChildMenus {
    std::function<wxMenuBar*()> make;
    std::function<void(wxMenuBar*)> release;
};
SChildMenus& ChildMenus();

}  // namespace kolvane
