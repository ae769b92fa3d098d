// The menu bars of the main window (without a log window) and of a log window, and the tool
// bar. Texts, accelerators and order are the program's own and fixed; the tool bar's images
// come from the desktop theme.
#pragma once

class wxMenuBar;
class wxFrame;
class wxFileHistory;

namespace kolvane {

wxMenuBar* MakeMenuBar(bool withLogWindow, const wxFileHistory* history);
// Puts the recent files of `history` into the "&File" menu of `bar`, just before "E&xit".
void FillRecentFiles(wxMenuBar* bar, const wxFileHistory* history);
void MakeToolBar(wxFrame* frame);

}  // namespace kolvane
