// The settings file's reader and writer: an INI file of [Group] headers and Key=Value entries,
// kept line by line so that a rewrite changes only the lines of the entries written.
//
// The format, as the desktop program has always written it:
// - A header or key escapes with "\" every ASCII byte other than letters, digits and
//   @_/-!.*%() ("[File\ Filters]"); reading drops each "\" and keeps the byte after it.
// - A value is quoted when it begins with a blank or a quote; it escapes \ " (in a quoted
//   value), tab, CR and LF as \\ \" \t \r \n. Reading skips the blanks after "=", keeps those
//   at the end, and drops an unknown escape whole.
// - Lines starting with ";" or "#", blank lines and lines that are neither header nor entry
//   are kept as they are and otherwise ignored. A key seen twice in a group takes its last
//   value; a group seen twice is one group. Entries before the first header are in the group
//   "". CR LF and lone CR end lines as LF does; a rewrite ends every line with LF.
// - A new entry goes after its group's last entry (after the header when it has none); a new
//   group goes after the last group's last entry, or at the top when there is none.
#pragma once

#include <list>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kolvane::settings {

class CIniFile {
  public:
    CIniFile() = default;
    CIniFile(const CIniFile&) = delete;  // entries and lines point at each other
    CIniFile& operator=(const CIniFile&) = delete;

    // Reads `path`; a missing file is an empty one. False when it exists but could not be read:
    // it is then never saved over.
    bool Load(const std::string& path);
    // Replaces whatever was read with `text`.
    void Parse(std::string_view text);

    std::optional<std::string> Read(std::string_view group, std::string_view key) const;
    void Write(std::string_view group, std::string_view key, std::string_view value);
    void Remove(std::string_view group, std::string_view key);

    // The file's text as it would be saved.
    std::string Text() const;
    bool Dirty() const { return m_bDirty; }
    // Replaces `path` atomically when something changed since Load (a new file gets mode
    // 0600, an existing one keeps its own); false when that failed.
    bool Save(const std::string& path);

  private:
    struct SEntry;
    struct SLine {
        std::string m_strText;
        SEntry* m_pEntry = nullptr;  // the entry this line holds, if any
    };
    using Line = std::list<SLine>::iterator;
    struct SGroup;
    struct SEntry {
        std::string m_strValue;
        Line m_line;
        SGroup* m_pGroup = nullptr;
    };
    struct SGroup {
        std::string m_strName;
        std::optional<Line> m_header;  // none for "" and for a group not yet in the file
        std::map<std::string, SEntry, std::less<>> m_entries;
        SEntry* m_pLast = nullptr;  // the entry whose line comes last
    };

    SGroup& FindOrAdd(std::string_view group);
    SEntry& Place(SGroup& group, std::string_view key, Line line);
    Line HeaderLine(SGroup& group);
    std::optional<Line> LastLine(SGroup& group);
    Line InsertAfter(std::optional<Line> after, std::string text);

    std::list<SLine> m_lines;
    std::map<std::string, SGroup, std::less<>> m_groups;
    SGroup* m_pLastGroup = nullptr;  // the group whose header came last
    bool m_bDirty = false;
    bool m_bUnreadable = false;
};

}  // namespace kolvane::settings
