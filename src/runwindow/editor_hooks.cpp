// The placeholders of the editor's entry points.
#include "runwindow/editor_hooks.h"

#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>

#include "runwindow/kolvane_doc.h"
#include "runwindow/kolvane_view.h"
#include "app/settings.h"

namespace kolvane {
namespace {

void NotAvailable(CKolvaneView& view) {
    wxMessageBox("The rule editor is not available yet.", "Kolvane", wxOK | wxICON_INFORMATION,
                 view.GetFrame());
}

// "description|patterns" entries as a file dialog's wildcard text.
wxString Wildcard(const std::vector<std::string>& filters) {
    wxString text;
    for (const auto& f : filters) {
        auto bar = f.find('|');
        if (bar == std::string::npos) continue;
        std::string desc = f.substr(0, bar), patterns = f.substr(bar + 1);
        if (!text.empty()) text += "|";
        text += wxString::FromUTF8(desc + " (" + patterns + ")|" + patterns);
    }
    return text.empty() ? wxString("Rule Files (*.rul)|*.rul") : text;
}

SRulePrompt PromptWithFileDialog(CKolvaneView& view, const wxString& title) {
    CKolvaneDoc& doc = view.Doc();
    wxFileDialog dialog(view.GetFrame(), title, wxString::FromUTF8(doc.Prefs().m_strLastPath),
                        wxString(), Wildcard(doc.Filters()), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    SRulePrompt answer;
    if (dialog.ShowModal() != wxID_OK) return answer;
    answer.m_strPath = std::string(dialog.GetPath().utf8_str());
    std::string dir(wxFileName(dialog.GetPath()).GetPath().utf8_str());
    doc.Prefs().m_strLastPath = dir;
    settings::SaveLastPath(dir);
    return answer;
}

}  // namespace

SEditorHooks PlaceholderEditorHooks() {
    SEditorHooks hooks;
    hooks.editNewRule = NotAvailable;
    hooks.editRule = NotAvailable;
    hooks.promptRuleFile = PromptWithFileDialog;
    hooks.showOptions = NotAvailable;
    return hooks;
}

SEditorHooks& EditorHooks() {
    static SEditorHooks hooks = PlaceholderEditorHooks();
    return hooks;
}

}  // namespace kolvane
