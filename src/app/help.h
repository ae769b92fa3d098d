// The help book, shown by topic number (5000 contents, 5001 synopsis, 5007 filters, 5008
// preferences, 5010-5012 the editor's pages). The book is kolvane.hhp in the shipped help
// folder; its [MAP] section gives each number its page.
#pragma once

namespace kolvane {

void ShowHelpTopic(int topic);
// Closes the help window, keeping the book loaded; false when none was open.
bool CloseHelpWindow();
// Closes the help window and drops the book (at exit).
void CloseHelp();

}  // namespace kolvane
