// The main window's three status panes. Each pane's text is shown by a label placed over the
// pane, so what a person sees is what a screen reader reads (a drawn status bar is invisible
// to the accessibility interface): the labels are the panes, in order 0, 1, 2.
#pragma once

#include <wx/statusbr.h>

#include <array>

class wxStaticText;

namespace kolvane {

class CPaneStatusBar : public wxStatusBar {
  public:
    explicit CPaneStatusBar(wxWindow* parent);

    // Sets a pane's text; it is shown at the next Flush. Pane 0 keeps the text under a prompt
    // and shows it again when the prompt ends.
    void SetPane(int pane, const wxString& text);
    // Shows the panes' latest texts. Called once per pump and at idle time: a run sets the
    // panes several times per scan file, and each shown change costs a redraw and, with a screen
    // reader attached, two announcements.
    void Flush();
    // The prompt of a highlighted menu item or tool bar button, over pane 0. A menu item's
    // stays until the menu closes; a button's only until pane 0 gets a new text (the pointer
    // may rest on a button for long).
    void ShowPrompt(const wxString& prompt, bool untilNewText = false);
    void EndPrompt();

  protected:
    void DoUpdateStatusText(int field) override;
    void DrawFieldText(wxDC&, const wxRect&, int, int) override {}

  private:
    void PlaceLabels();
    std::array<wxStaticText*, 3> m_labels{};
    std::array<wxString, 3> m_texts;  // the latest texts; pane 0's own one under a prompt
    bool m_bDirty = false;
    bool m_bPrompt = false;
    bool m_bPromptUntilNewText = false;
};

// A highlighted menu item's or button's prompt (`show`), or its end: what a frame's help
// display does, for the main window and the log windows alike.
void GiveHelp(const wxString& prompt, bool show, bool fromToolBar = false);

// The status bar of the main window, or null before it exists and after it is gone.
CPaneStatusBar* ThePanes();
void SetThePanes(CPaneStatusBar* panes);

}  // namespace kolvane
