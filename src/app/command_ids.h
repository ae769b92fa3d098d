// The commands of the menus and the tool bar, with their prompts: the text before the line feed
// is shown in status pane 0 while the item is highlighted, the text after it is the tool tip.
// The program's own ids, not the framework's, so the document manager does not handle them
// before the program does.
#pragma once

#include <wx/defs.h>

namespace kolvane::cmd {

enum : int {
    kNewInstance = wxID_HIGHEST + 100,
    kNewRuleFile,
    kOpenExecute,
    kEditRuleFile,
    kClose,
    kPrint,
    kPrintPreview,
    kPrintSetup,
    kOptions,
    kStopTimer,
    kCloseAll,
    kNextWindow,
    kPreviousWindow,
    kCascade,
    kTileHorizontal,
    kTileVertical,
    kSynopsis,
    kContents,
    kToggleToolBar,
    kToggleStatusBar,
    kRunOnChange,
    // The Window menu's list of the open log windows.
    kWindowFirst = wxID_HIGHEST + 200,
    kWindowLast = kWindowFirst + 98,
};

inline constexpr const char* kPromptWindowItem = "Activate this log window";

inline constexpr const char* kPromptAbout =
    "Display program information, version number and copyright\nAbout";
inline constexpr const char* kPromptSynopsis = "Learn about Kolvane";
inline constexpr const char* kPromptOptions = "Set your Options\nOptions";
inline constexpr const char* kPromptCloseAll = "Close all open display windows\nClose All";
inline constexpr const char* kPromptStopTimer = "Stop Scheduler's Timer\nStop Timer";
inline constexpr const char* kPromptContents = "Application's Table of Contents\nContents";
inline constexpr const char* kPromptNewRuleFile = "Create New Rule FIle\nNew Rule File";
inline constexpr const char* kPromptEditRuleFile = "Open to Edit Rule File\nEdit Rule File";
inline constexpr const char* kPromptNewInstance = "New Kolvane Instance\nNew Instance";
inline constexpr const char* kPromptOpenExecute =
    "Open and run an existing Kolvane rule file\nOpen to Execute";
inline constexpr const char* kPromptClose = "Close the active Kolvane log window\nClose";
inline constexpr const char* kPromptPrint = "Print the contents of the active log window\nPrint";
inline constexpr const char* kPromptPreview = "Display full pages\nPrint Preview";
inline constexpr const char* kPromptPrintSetup =
    "Change the printer and printing options\nPrint Setup";
inline constexpr const char* kPromptExit = "Quit the application\nExit";
inline constexpr const char* kPromptToolBar = "Show or hide the toolbar\nToggle ToolBar";
inline constexpr const char* kPromptStatusBar = "Show or hide the status bar\nToggle StatusBar";
inline constexpr const char* kPromptRunOnChange =
    "Run the rule again whenever its template or a local scan file changes\nRun on Change";
inline constexpr const char* kPromptNext = "Switch to the next window\nNext Window";
inline constexpr const char* kPromptPrevious =
    "Switch back to the previous window\nPrevious Window";
inline constexpr const char* kPromptCascade = "Arrange windows so they overlap\nCascade Windows";
inline constexpr const char* kPromptTile = "Arrange windows as non-overlapping tiles\nTile Windows";

}  // namespace kolvane::cmd
