// What the rule editor needs from the log window it is opened from: the document's data, a
// parent window, the preferences it reads, the log and the run. The desktop program implements
// it over a log window (app/install_editor.cpp); the editor knows nothing of the run window.
#pragma once

#include <string>
#include <vector>

#include "engine/doc_data.h"

class wxWindow;

namespace kolvane::editor {

class IEditorHost {
  public:
    virtual ~IEditorHost() = default;

    virtual CKolvaneDocData& Data() = 0;
    // The window that owns the editor's dialogs.
    virtual wxWindow* Window() = 0;
    // Opens help topic `topic` (5010, 5011, 5012, 5007, 5008).
    virtual void ShowHelp(int topic) = 0;

    // The document's preferences.
    virtual bool AskFileName() = 0;
    virtual std::string LastPath() = 0;
    // Keeps `dir` as the document's last-used directory and writes "LastPath".
    virtual void SetLastPath(const std::string& dir) = 0;
    virtual std::vector<std::string> Filters() = 0;

    virtual void AppendLogLine(const std::string& line) = 0;
    // Makes `path` the document's rule file (the window's title follows).
    virtual void SetRulePath(const std::string& path) = 0;
    // Runs the rule file as saved: read as a normal run reads it, error log open.
    virtual void RunSavedRule() = 0;
    virtual void Repaint() = 0;
};

}  // namespace kolvane::editor
