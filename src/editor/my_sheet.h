// CMySheet: the modal property sheet that hosts the rule editor's three pages and the Options
// sheet's two. It has OK, Cancel and Help (no Apply). A page is left only when it agrees
// (OnKillActive), and every page is told when it becomes active (OnSetActive). Help opens the
// active page's topic.
#pragma once

#include <wx/bookctrl.h>
#include <wx/panel.h>
#include <wx/propdlg.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kolvane::editor {

// A page of the sheet.
class CSheetPage : public wxPanel {
  public:
    explicit CSheetPage(wxWindow* parent);
    // Called each time the page becomes the active one.
    virtual void OnSetActive() {}
    // Called when the page is to be left (another tab, or OK); false keeps the sheet on it.
    virtual bool OnKillActive() { return true; }
    virtual int HelpTopic() const = 0;
};

class CMySheet : public wxPropertySheetDialog {
  public:
    CMySheet(wxWindow* parent, const wxString& caption, std::function<void(int)> showHelp);

    // Adds a page created with GetBookCtrl() as its parent.
    void AddSheetPage(CSheetPage* page, const wxString& tab);
    // Call after the pages are added: lays the sheet out and activates the first page.
    void Finish();
    // Checked after the active page agreed to OK; false keeps the sheet open.
    std::function<bool()> m_onOk;
    // Then run once the OK button's handler has returned (it may show dialogs): false keeps the
    // sheet open as it is, true ends it with OK.
    std::function<bool()> m_onSave;

    CSheetPage* ActivePage() const;
    void SelectPage(int index);

  private:
    void OnPageChanging(wxBookCtrlEvent& event);
    void OnPageChanged(wxBookCtrlEvent& event);
    void OnOk(wxCommandEvent& event);
    void OnHelp(wxCommandEvent& event);

    std::function<void(int)> m_showHelp;
    void UpdateMnemonics();

    bool m_bSelecting = false;
    bool m_bSaving = false;
    // Per page, its labels with a mnemonic as created.
    std::vector<std::vector<std::pair<wxWindow*, wxString>>> m_labels;
};

// A message box with an OK button, shown after the current event handler returns, so that an
// accessibility client that pressed a button is not held until the box is closed.
void ShowMessageLater(wxWindow* parent, const wxString& text, bool stopIcon = false);

}  // namespace kolvane::editor
