// The status panes as labels.
#include "runwindow/status_panes.h"

#include <wx/display.h>
#include <wx/stattext.h>

#include "widgets/accessible.h"

namespace kolvane {
namespace {
CPaneStatusBar* g_panes = nullptr;
}

void GiveHelp(const wxString& prompt, bool show, bool fromToolBar) {
    if (!g_panes) return;
    if (show && !prompt.empty())
        g_panes->ShowPrompt(prompt, fromToolBar);
    else
        g_panes->EndPrompt();
}

CPaneStatusBar* ThePanes() {
    return g_panes;
}

void SetThePanes(CPaneStatusBar* panes) {
    g_panes = panes;
}

CPaneStatusBar::CPaneStatusBar(wxWindow* parent)
    : wxStatusBar(parent, wxID_ANY, wxSTB_DEFAULT_STYLE & ~wxSTB_SHOW_TIPS) {
    // Pane 2 gets half, pane 1 0.4 of the default width of a quarter of the screen; pane 0
    // stretches over the rest.
    const int quarter = wxDisplay(parent).GetGeometry().GetWidth() / 4;
    const int widths[3] = {-1, quarter * 4 / 10, quarter / 2};
    SetFieldsCount(3, widths);
    // A screen reader reads each label's text; the description says which pane it is.
    static const char* const kWhat[3] = {"Status: the current step", "Status: lines",
                                         "Status: files or display frame"};
    for (int i = 0; i < 3; ++i) {
        auto* label = new wxStaticText(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                                       wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
        SetAccessibleDescription(label, kWhat[i]);
        m_labels[static_cast<std::size_t>(i)] = label;
    }
    SetAccessibleName(this, "Status bar");
    Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        PlaceLabels();
        e.Skip();
    });
    PlaceLabels();
}

void CPaneStatusBar::PlaceLabels() {
    for (int i = 0; i < 3; ++i) {
        wxRect r;
        if (!GetFieldRect(i, r)) continue;
        wxStaticText* label = m_labels[static_cast<std::size_t>(i)];
        const int h = label->GetBestSize().GetHeight();
        label->SetSize(r.x + 4, r.y + (r.height - h) / 2, std::max(r.width - 8, 1), h);
    }
}

void CPaneStatusBar::SetPane(int pane, const wxString& text) {
    if (pane < 0 || pane > 2) return;
    if (pane == 0 && m_bPrompt && m_bPromptUntilNewText &&
        text != m_texts[static_cast<std::size_t>(pane)])
        m_bPrompt = false;
    m_texts[static_cast<std::size_t>(pane)] = text;
    m_bDirty = true;
}

void CPaneStatusBar::Flush() {
    if (!m_bDirty) return;
    m_bDirty = false;
    for (int i = m_bPrompt ? 1 : 0; i < 3; ++i)
        if (const wxString& text = m_texts[static_cast<std::size_t>(i)]; GetStatusText(i) != text)
            SetStatusText(text, i);
}

void CPaneStatusBar::ShowPrompt(const wxString& prompt, bool untilNewText) {
    m_bPrompt = true;
    m_bPromptUntilNewText = untilNewText;
    if (GetStatusText(0) != prompt) SetStatusText(prompt, 0);
}

void CPaneStatusBar::EndPrompt() {
    if (!m_bPrompt) return;
    m_bPrompt = false;
    m_bDirty = true;
    Flush();
}

void CPaneStatusBar::DoUpdateStatusText(int field) {
    if (field >= 0 && field < 3) {
        wxStaticText* label = m_labels[static_cast<std::size_t>(field)];
        // Mnemonics are not wanted: "&" in a path stays an "&".
        if (label) label->SetLabelText(GetStatusText(field));
    }
    // The labels show the texts. The drawn status bar would repaint and wait for the display
    // at every change, which costs a run more than its own work.
}

}  // namespace kolvane
