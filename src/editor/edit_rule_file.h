// EditRuleFile: the rule editor as one modal step on a log window's document. It reads the rule
// file (unless a new one is created), shows the three pages, checks that the rule would read
// back as edited, saves it (asking for a name when there is none or the user wants to be asked),
// offers to run it, and empties the model again. Cancel leaves the document as it was.
#pragma once

namespace kolvane {
class CRunHost;
}

namespace kolvane::editor {

class IEditorHost;

void EditRuleFile(IEditorHost& host, CRunHost& runHost, bool createNew);

}  // namespace kolvane::editor
