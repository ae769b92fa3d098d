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

    // Sets a pane's text when it differs from what is shown.
    void SetPane(int pane, const wxString& text);

  protected:
    void DoUpdateStatusText(int field) override;
    void DrawFieldText(wxDC&, const wxRect&, int, int) override {}

  private:
    void PlaceLabels();
    std::array<wxStaticText*, 3> m_labels{};
};

// The status bar of the main window, or null before it exists and after it is gone.
CPaneStatusBar* ThePanes();
void SetThePanes(CPaneStatusBar* panes);

}  // namespace kolvane
