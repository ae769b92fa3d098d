// The main window: an MDI parent frame holding the log windows, with the menus, the tool bar,
// the three status panes, the saved window state, the application's commands and the drop
// target for rule files. It also carries out what must happen at idle time: the panes of the
// active log window and the automatic exit after a command-line run.
#pragma once

#include <wx/docmdi.h>

#include "app/window_state.h"

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

  protected:
    // Menu item and tool bar prompts go over pane 0, which returns to its own text afterwards.
    void DoGiveHelp(const wxString& text, bool show) override;

  private:
    CKolvaneView* ActiveView() const;
    // The Window menus' lists and the window's title after the open log windows.
    void ShowOpenWindows();
    // The automatic exit of a program started with rule files, once their runs are over.
    bool ExitWhenCommandLineDone();
    SWindowState CurrentWindowState() const;
    void OnClose(wxCloseEvent& event);
    void OnIdle(wxIdleEvent& event);
    void BindCommands();
    // Closes every log window whose run is not on the stack; true when all closed.
    bool CloseAllWindows();

    CPaneStatusBar* m_panes = nullptr;
    wxRect m_normalRect;  // the last position neither maximized nor minimized
    bool m_bRestoreMaximized = false;
    bool m_bExitPosted = false;
    wxString m_strOpenWindows;  // what the Window menus and the title show now
    SWindowState m_state;
};

}  // namespace kolvane
