// The entry points of the rule editor and the Options sheet, as the log windows and the
// application's commands call them. The run window reaches the editor only through these: the
// application installs them at start-up (app/install_editor.h), before its first window, and
// every one is set from then on.
//
// Every entry point is called on the user-interface thread from a command or a window's first
// start, never from inside a run.
#pragma once

#include <wx/string.h>

#include <functional>
#include <string>

namespace kolvane {

class CKolvaneView;

// The answer of the rule-file prompt.
struct SRulePrompt {
    std::string m_strPath;        // empty when the user cancelled
    bool m_bEditRequest = false;  // the user asked to edit the file instead of running it
};

struct SEditorHooks {
    // "New Rule File": edit a new, empty rule in the window of `view`.
    std::function<void(CKolvaneView& view)> editNewRule;
    // "Open to Edit Rule File" (and the prompt's edit request): edit the rule file of the
    // window's document (view.Doc().Data().m_strRulePath).
    std::function<void(CKolvaneView& view)> editRule;
    // The rule-file prompt of "New Merge Instance", with the given dialog title.
    std::function<SRulePrompt(CKolvaneView& view, const wxString& title)> promptRuleFile;
    // "&Options...": the Options sheet on the document of `view`.
    std::function<void(CKolvaneView& view)> showOptions;
};

// The installed set.
inline SEditorHooks& EditorHooks() {
    static SEditorHooks hooks;
    return hooks;
}

}  // namespace kolvane
