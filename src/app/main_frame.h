// The main window: an MDI parent frame holding the log windows, with the menus, the tool bar,
// the three status panes, the saved window state, the application's commands and the drop
// target for rule files. It also carries out what must happen at idle time: the panes of the
// active log window and the automatic exit after a command-line run.
#pragma once

#include <wx/docmdi.h>

#include "window_state.h"

namespace kolvane {

class CKolvaneView;
class CPaneStatusBar;

class CMainFrame : public wxDocMDIParentFrame {
  public:
    CMainFrame(wxDocManager* manager, const wxString& title);
    ~CMainFrame() override;

    // Applies the saved state (already fitted to the screen); returns whether the window is to
    // be shown maximized or minimized (for Show()).
    void ApplyWindowState(const SWindowState& state);
    void ShowWithState();

    // Opens and runs a rule file in a new log window.
    void OpenRuleFile(const wxString& path);

  private:
    CKolvaneView* ActiveView() const;
    SWindowState CurrentWindowState() const;
    void OnClose(wxCloseEvent& event);
    void OnIdle(wxIdleEvent& event);
    void BindCommands();
    // Closes every log window whose run is not on the stack; true when all closed.
    bool CloseAllWindows();

    CPaneStatusBar* m_panes = nullptr;
    wxRect m_normalRect;  // the last position neither maximized nor minimized
    bool m_bRestoreMaximized = false;
    bool m_bMenuOpen = false;
    bool m_bToolHover = false;
    bool m_bExitPosted = false;
    SWindowState m_state;
};

}  // namespace kolvane
