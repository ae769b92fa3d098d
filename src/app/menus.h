// The menu bars of the main window (without a log window) and of a log window, and the tool
// bar. Texts, accelerators and order are the program's own and fixed; the tool bar's images
// come from the desktop theme.
#pragma once

#include <wx/string.h>

#include <vector>

class wxMenu;
class wxMenuBar;
class wxFrame;
class wxFileHistory;

namespace kolvane {

// The File menu lists the recent files of `history` just before "E&xit"; the history keeps the
// list's items (history->UseMenu) and KeepExitLast puts "E&xit" back below it after a change.
wxMenuBar* MakeMenuBar(bool withLogWindow, wxFileHistory* history);
wxMenu* FileMenu(wxMenuBar* bar);
// The history appends a new file's item at the end of each menu it keeps: puts the list's items
// back in order between two separators above "E&xit" (one separator without a list) and gives
// them their prompt.
void KeepExitLast(wxMenu* file, const wxFileHistory& history);
void MakeToolBar(wxFrame* frame);

// The Window menu's list of the open log windows (at most 99), with a check mark on the active
// one (`active`, or -1).
void FillWindowList(wxMenuBar* bar, const std::vector<wxString>& titles, int active);

}  // namespace kolvane
