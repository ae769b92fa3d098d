// The rule-file dialog and its prompt (see rule_file_dialog.h).
#include "editor/rule_file_dialog.h"

#include <wx/filefn.h>
#include <wx/msgdlg.h>

#include "editor/editor_host.h"
#include "editor/editor_paths.h"
#include "editor/page_layout.h"
#include "engine/text_ops.h"

namespace kolvane::editor {

CRuleFileDialog::CRuleFileDialog(wxWindow* parent, bool openMode, const wxString& title,
                                 const wxString& wildcard, const wxString& dir,
                                 const wxString& file)
    : wxFileDialog(parent, title, dir, file, wildcard,
                   openMode ? wxFD_OPEN | wxFD_FILE_MUST_EXIST : wxFD_SAVE) {
    m_hook.m_pDialog = this;
    SetCustomizeHook(m_hook);
}

void CRuleFileDialog::CHook::AddCustomControls(wxFileDialogCustomize& customizer) {
    wxFileDialogButton* button = customizer.AddButton("&Edit Rule File");
    button->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        const wxString chosen = m_pDialog->GetCurrentlySelectedFilename();
        // GTK names the folder shown when no file is chosen.
        if (chosen.empty() || wxDirExists(chosen)) {
            wxMessageBox("Please select a Rule File then Reselect 'Edit Rule File' Button",
                         "Kolvane", wxOK, m_pDialog);
            return;
        }
        m_strChosen = chosen;
        m_bEditRequest = true;
        m_pDialog->EndModal(wxID_OK);
    });
}

wxString CRuleFileDialog::ChosenPath() const {
    return m_hook.m_bEditRequest ? m_hook.m_strChosen : GetPath();
}

bool PromptRuleFileName(IEditorHost& host, std::string& path, bool openMode, bool* editRequest) {
    wxString wildcard;
    for (const std::string& filter : host.Filters()) {
        if (!wildcard.empty()) wildcard += "|";
        wildcard += ToWx(filter);
    }
    const wxString title = openMode       ? "Select a rule file and Run Rule"
                           : path.empty() ? "Save Rule File"
                                          : "Save Rule File As";
    wxString dir = ToWx(host.LastPath());
    wxString file;
    if (!openMode && !path.empty()) {
        const std::string pathDir = DirectoryOf(path);
        if (!pathDir.empty()) dir = ToWx(pathDir);
        file = ToWx(path.substr(path.rfind('/') + 1));
    }
    for (;;) {
        CRuleFileDialog dialog(host.Window(), openMode, title, wildcard, dir, file);
        const int answer = dialog.ShowModal();
        if (editRequest) *editRequest = false;
        if (answer != wxID_OK) return false;
        std::string chosen = FromWx(dialog.ChosenPath());
        if (chosen.empty()) return false;
        if (!openMode) {
            // A name without an extension is a rule file; a file other than the one edited is
            // replaced only when the user says so.
            if (chosen.substr(chosen.rfind('/') + 1).find('.') == std::string::npos)
                chosen += ".rul";
            const wxString shown = ToWx(chosen);
            if (chosen != path && wxFileExists(shown) &&
                wxMessageBox(shown + " already exists.\nDo you want to replace it?", title,
                             wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION, host.Window()) != wxYES) {
                dir = ToWx(DirectoryOf(chosen));
                file = ToWx(chosen.substr(chosen.rfind('/') + 1));
                continue;
            }
        }
        path = chosen;
        if (editRequest) *editRequest = dialog.EditRequest();
        break;
    }
    if (const std::string last = DirectoryOf(path); !last.empty()) host.SetLastPath(last);
    return true;
}

}  // namespace kolvane::editor
