// The menu bars of the main window (without a log window) and of a log window, and the tool
// bar. Texts, accelerators and order are the program's own and fixed; the tool bar's images
// come from the desktop theme.
#pragma once

#include <wx/string.h>

#include <vector>

class wxMenuBar;
class wxFrame;
class wxFileHistory;

namespace kolvane {

wxMenuBar* MakeMenuBar(bool withLogWindow, const wxFileHistory* history);
// Puts the recent files of `history` into the "&File" menu of `bar`, just before "E&xit".
void FillRecentFiles(wxMenuBar* bar, const wxFileHistory* history);
void MakeToolBar(wxFrame* frame);

// The Window menu's list of the open log windows (at most 99), with a check mark on the active
// one (`active`, or -1).
void FillWindowList(wxMenuBar* bar, const std::vector<wxString>& titles, int active);

}  // namespace kolvane
