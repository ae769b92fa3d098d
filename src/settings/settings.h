// The per-user settings of both programs, in one place: the file's place, the preferences, the
// file filters and the recent-file list; the desktop program keeps its main window's state in
// the same file through ReadText and WriteText.
//
// They live in one INI file, $XDG_CONFIG_HOME/Kolvane.conf (else ~/.config/Kolvane.conf),
// read and written through the one reader and writer in settings/ini_file.h by kolvane and
// kolvane-run alike. Every save is flushed at once, so the runner and a crash see what was
// saved. Sections and entries:
//   [Preferences]       Editor, DateDisplay, MatchCase, AskFileName, LastPath, LastFilter,
//                       LastFilterIndex
//   [File Filters]      Filter1 ... FilterN ("description|pattern;pattern")
//   [Last Window Data]  Coordinates, Iconized, Maximized, ToolBar, StatusLine
//   [Recent File List]  File1 ... File4
//   [Run on Change]     Rule1 ... RuleN (the rule files whose log windows run on change)
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kolvane {

// The editor used when the setting is empty or absent.
inline constexpr std::string_view kDefaultEditor = "xdg-open";
inline constexpr int kMaxFilters = 100;
inline constexpr int kRecentFiles = 4;

// The preferences a document loads when it is created and keeps as its own copy.
struct SPreferences {
    std::string m_strEditor{kDefaultEditor};
    int m_nDateDisplay = 1;  // 1: U.S. date and time style
    int m_nMatchCase = 0;    // kept and edited; no matching reads it
    int m_nAskFileName = 1;  // the editor asks for a file name after editing
    std::string m_strLastPath;
    std::string m_strLastFilter;
    int m_nLastFilterIndex = 1;
};

namespace settings {

// The settings file's path.
std::string FilePath();
// The file is read on first use and kept; Close() flushes it and forgets it, so that the next
// use reads the file again.
void Close();

SPreferences LoadPreferences();
// Writes "Editor" (only when it differs from the default editor), "DateDisplay", "MatchCase"
// and "AskFileName"; "LastPath" and the filter values are written on their own.
void SavePreferences(const SPreferences& prefs);
void SaveEditor(const std::string& editor);  // only when it differs from the default
void SaveLastPath(const std::string& dir);

// "Filter1".. up to the first missing or empty entry (at most 100); the three built-in filters
// when none is stored.
std::vector<std::string> LoadFilters();
// Writes Filter1..FilterN and removes entries left from a longer list, which loading would
// otherwise bring back.
void SaveFilters(const std::vector<std::string>& filters);
// The built-in filters.
std::vector<std::string> DefaultFilters();

// One entry by its full key ("/Group/Entry"): its text, or `fallback` when absent. WriteText
// does not flush; Flush writes the file when something changed (creating its folder): false
// when that failed.
std::string ReadText(const std::string& key, const std::string& fallback = {});
void WriteText(const std::string& key, const std::string& value);
bool Flush();

std::vector<std::string> LoadRecentFiles();
void SaveRecentFiles(const std::vector<std::string>& files);

// Whether the log window of the rule file `rulePath` (made absolute) runs on change; kept as the
// list of such rule files, at most kRunOnChangeRules, the oldest dropped first.
inline constexpr int kRunOnChangeRules = 100;
bool LoadRunOnChange(const std::string& rulePath);
void SaveRunOnChange(const std::string& rulePath, bool on);

}  // namespace settings
}  // namespace kolvane
