// The program installs the rule editor behind the run window's hooks: an IEditorHost over a log
// window's view and document.
#include "app/install_editor.h"

#include <wx/app.h>
#include <wx/weakref.h>

#include "editor/edit_rule_file.h"
#include "editor/editor_host.h"
#include "editor/options_pages.h"
#include "editor/rule_file_dialog.h"
#include "runwindow/app_flags.h"
#include "runwindow/editor_hooks.h"
#include "runwindow/kolvane_doc.h"
#include "runwindow/kolvane_view.h"
#include "settings/settings.h"

namespace kolvane::editor {
namespace {

class CViewEditorHost final : public IEditorHost {
  public:
    CViewEditorHost(CKolvaneView& view, std::function<void(int)> showHelp)
        : m_view(view), m_showHelp(std::move(showHelp)) {}

    CKolvaneDocData& Data() override { return m_view.Doc().Data(); }
    wxWindow* Window() override { return m_view.GetFrame(); }
    void ShowHelp(int topic) override {
        if (m_showHelp) m_showHelp(topic);
    }
    bool AskFileName() override { return m_view.Doc().Prefs().m_nAskFileName != 0; }
    std::string LastPath() override { return m_view.Doc().Prefs().m_strLastPath; }
    void SetLastPath(const std::string& dir) override {
        m_view.Doc().Prefs().m_strLastPath = dir;
        settings::SaveLastPath(dir);
    }
    std::vector<std::string> Filters() override { return m_view.Doc().Filters(); }
    void AppendLogLine(const std::string& line) override { m_view.Engine().AppendLogLine(line); }
    void SetRulePath(const std::string& path) override { m_view.Doc().SetRulePath(path); }
    void RunSavedRule() override {
        // The model was emptied after saving: the run reads the file as any run does, opens
        // the error log and reads the template again.
        CKolvaneEngine& engine = m_view.Engine();
        engine.m_bRuleLoaded = false;
        engine.m_bSystemEntries = false;
        engine.CloseErrorLog();
        engine.ReleaseTemplate();
        m_view.RunNow();
        Repaint();
    }
    void Repaint() override {
        m_view.LayoutLogList();
        if (m_view.GetFrame()) m_view.GetFrame()->Refresh();
    }

  private:
    CKolvaneView& m_view;
    std::function<void(int)> m_showHelp;
};

void Edit(CKolvaneView& view, bool createNew, const std::function<void(int)>& showHelp) {
    CViewEditorHost host(view, showHelp);
    EditRuleFile(host, view, createNew);
    // Whichever way the editor ended (saved, cancelled, the rule unreadable), the next window
    // runs its rule.
    AppFlags().m_bEditing = AppFlags().m_bEditOpenPending = false;
    // A window that only served the edit (nothing run, nothing logged) goes with it.
    if (view.Doc().Data().m_log.Lines().empty() && !view.RunOnStack())
        if (wxWindow* frame = view.GetFrame())
            wxTheApp->CallAfter([frame = wxWeakRef<wxWindow>(frame)] {
                if (frame) frame->Close();
            });
    // The model is empty again (or as before the sheet): a later run reads the rule file.
    CKolvaneEngine& engine = view.Engine();
    if (view.Doc().Data().m_scanFiles.empty()) {
        engine.m_bRuleLoaded = false;
        engine.m_bSystemEntries = false;
    }
}

}  // namespace

void InstallEditorHooks(std::function<void(int topic)> showHelp) {
    SEditorHooks& hooks = EditorHooks();
    hooks.editNewRule = [showHelp](CKolvaneView& view) { Edit(view, true, showHelp); };
    hooks.editRule = [showHelp](CKolvaneView& view) { Edit(view, false, showHelp); };
    hooks.promptRuleFile = [showHelp](CKolvaneView& view, const wxString&) {
        CViewEditorHost host(view, showHelp);
        SRulePrompt answer;
        std::string path;
        if (PromptRuleFileName(host, path, true, &answer.m_bEditRequest)) answer.m_strPath = path;
        return answer;
    };
    hooks.showOptions = [showHelp](CKolvaneView& view) {
        CKolvaneDoc& doc = view.Doc();
        SPreferences& p = doc.Prefs();
        SOptionsTarget target{&p.m_strEditor,
                              &p.m_nDateDisplay,
                              &p.m_nMatchCase,
                              &p.m_nAskFileName,
                              &doc.Filters(),
                              [&p] { settings::SavePreferences(p); },
                              [&doc] { settings::SaveFilters(doc.Filters()); }};
        ShowOptionsSheet(view.GetFrame(), target, showHelp);
        // The next run of this window uses the date style chosen.
        doc.Data().m_nDateDisplay = p.m_nDateDisplay;
    };
}

}  // namespace kolvane::editor
