// CRuleFileDialog and PromptRuleFileName: the file dialog that picks a rule file to run (with
// the extra "&Edit Rule File" button that turns the choice into an editing request) or names
// the file an edited rule is saved to. The directory of the chosen file is kept as "LastPath".
#pragma once

#include <wx/filedlg.h>
#include <wx/filedlgcustomize.h>

#include <string>

namespace kolvane::editor {

class IEditorHost;

class CRuleFileDialog : public wxFileDialog {
  public:
    CRuleFileDialog(wxWindow* parent, bool openMode, const wxString& title,
                    const wxString& wildcard, const wxString& dir, const wxString& file);
    // Set when the dialog ended through "&Edit Rule File".
    bool EditRequest() const { return m_hook.m_bEditRequest; }
    // The chosen path (also when the dialog ended through the button).
    wxString ChosenPath() const;

  private:
    struct CHook : wxFileDialogCustomizeHook {
        void AddCustomControls(wxFileDialogCustomize& customizer) override;
        CRuleFileDialog* m_pDialog = nullptr;
        bool m_bEditRequest = false;
        wxString m_strChosen;
    };
    CHook m_hook;
};

// Shows the dialog for the host's document. On OK with a non-empty result `path` becomes the
// chosen file and the last-used directory is updated; otherwise `path` stays. `editRequest`
// (may be null) tells whether the dialog ended through "&Edit Rule File". Returns true on OK.
bool PromptRuleFileName(IEditorHost& host, std::string& path, bool openMode,
                        bool* editRequest = nullptr);

}  // namespace kolvane::editor
