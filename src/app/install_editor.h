// Puts the rule editor, the rule-file dialog and the Options sheet behind the desktop program's
// editor hooks (see runwindow/editor_hooks.h). `showHelp` opens a help topic by number.
#pragma once

#include <functional>

namespace kolvane::editor {

void InstallEditorHooks(std::function<void(int topic)> showHelp);

}  // namespace kolvane::editor
