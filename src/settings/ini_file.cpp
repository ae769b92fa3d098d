// The settings file's reader and writer.
#include "settings/ini_file.h"

#include <sys/stat.h>

#include "engine/file_io.h"

namespace kolvane::settings {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A header's or key's text without its escapes.
std::string UnescapeName(std::string_view raw) {
    std::string name;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && ++i == raw.size()) break;
        name += raw[i];
    }
    return name;
}

std::string EscapeName(std::string_view name) {
    std::string raw;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool plain = u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') ||
                           std::string_view("@_/-!.*%()").find(c) != std::string_view::npos;
        if (!plain) raw += '\\';
        raw += c;
    }
    return raw;
}

std::string UnescapeValue(std::string_view raw) {
    std::string value;
    const bool quoted = !raw.empty() && raw.front() == '"';
    for (std::size_t i = quoted ? 1 : 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\\') {
            if (++i == raw.size()) break;
            switch (raw[i]) {
                case 'n':
                    value += '\n';
                    break;
                case 'r':
                    value += '\r';
                    break;
                case 't':
                    value += '\t';
                    break;
                case '\\':
                    value += '\\';
                    break;
                case '"':
                    value += '"';
                    break;
                default:
                    break;  // an unknown escape is dropped whole
            }
        } else if (c != '"' || !quoted) {
            value += c;
        }  // a bare quote inside a quoted value is dropped
    }
    return value;
}

std::string EscapeValue(std::string_view value) {
    const bool quoted = !value.empty() && (IsBlank(value.front()) || value.front() == '"');
    std::string raw = quoted ? "\"" : "";
    for (const char c : value) {
        switch (c) {
            case '\n':
                raw += "\\n";
                break;
            case '\r':
                raw += "\\r";
                break;
            case '\t':
                raw += "\\t";
                break;
            case '\\':
                raw += "\\\\";
                break;
            case '"':
                raw += quoted ? "\\\"" : "\"";
                break;
            default:
                raw += c;
        }
    }
    if (quoted) raw += '"';
    return raw;
}

}  // namespace

bool CIniFile::Load(const std::string& path) {
    std::string data;
    const EReadResult result = ReadWholeFile(path, std::size_t(1) << 30, data);
    struct stat st {};
    m_bUnreadable = result != EReadResult::Ok && result != EReadResult::Empty &&
                    ::lstat(path.c_str(), &st) == 0;
    Parse(result == EReadResult::Ok ? std::string_view(data).substr(0, data.size() - 2)
                                    : std::string_view());
    return !m_bUnreadable;
}

void CIniFile::Parse(std::string_view text) {
    m_groups.clear();
    m_lines.clear();
    m_pLastGroup = nullptr;
    m_bDirty = false;
    SGroup* group = &FindOrAdd("");
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        const Line here = m_lines.insert(m_lines.end(), SLine{std::string(line)});

        std::size_t i = 0;
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i == line.size() || line[i] == ';' || line[i] == '#') continue;
        if (line[i] == '[') {
            std::size_t close = i + 1;
            for (; close < line.size() && line[close] != ']'; ++close)
                if (line[close] == '\\') ++close;
            if (close >= line.size()) continue;  // no "]": not a header
            group = &FindOrAdd(UnescapeName(line.substr(i + 1, close - i - 1)));
            group->m_header = here;
            m_pLastGroup = group;
            continue;
        }
        std::size_t eq = i;
        for (; eq < line.size() && line[eq] != '='; ++eq)
            if (line[eq] == '\\' && eq + 1 < line.size()) ++eq;
        std::size_t keyEnd = std::min(eq, line.size());
        while (keyEnd > i && IsBlank(line[keyEnd - 1])) --keyEnd;
        if (eq >= line.size()) continue;  // no "=": not an entry
        std::size_t v = eq + 1;
        while (v < line.size() && IsBlank(line[v])) ++v;
        Place(*group, UnescapeName(line.substr(i, keyEnd - i)), here).m_strValue =
            UnescapeValue(line.substr(v));
    }
}

CIniFile::SGroup& CIniFile::FindOrAdd(std::string_view name) {
    auto it = m_groups.find(name);
    if (it == m_groups.end()) {
        it = m_groups.emplace(std::string(name), SGroup{}).first;
        it->second.m_strName = name;
    }
    return it->second;
}

CIniFile::SEntry& CIniFile::Place(SGroup& group, std::string_view key, Line line) {
    auto it = group.m_entries.find(key);
    if (it == group.m_entries.end()) it = group.m_entries.emplace(std::string(key), SEntry{}).first;
    SEntry& entry = it->second;
    entry.m_pGroup = &group;
    entry.m_line = line;  // a key seen again: its later line is the one rewritten
    line->m_pEntry = &entry;
    group.m_pLast = &entry;
    return entry;
}

std::optional<std::string> CIniFile::Read(std::string_view group, std::string_view key) const {
    const auto g = m_groups.find(group);
    if (g == m_groups.end()) return std::nullopt;
    const auto e = g->second.m_entries.find(key);
    if (e == g->second.m_entries.end()) return std::nullopt;
    return e->second.m_strValue;
}

CIniFile::Line CIniFile::InsertAfter(std::optional<Line> after, std::string text) {
    return m_lines.insert(after ? std::next(*after) : m_lines.begin(), SLine{std::move(text)});
}

// The line after which the group's next entry goes: its last entry's, else its header.
std::optional<CIniFile::Line> CIniFile::LastLine(SGroup& group) {
    if (group.m_pLast) return group.m_pLast->m_line;
    if (group.m_strName.empty()) return std::nullopt;
    return HeaderLine(group);
}

CIniFile::Line CIniFile::HeaderLine(SGroup& group) {
    if (!group.m_header) {
        std::optional<Line> after =
            m_pLastGroup ? LastLine(*m_pLastGroup) : LastLine(FindOrAdd(""));
        group.m_header = InsertAfter(after, "[" + EscapeName(group.m_strName) + "]");
        m_pLastGroup = &group;
    }
    return *group.m_header;
}

void CIniFile::Write(std::string_view groupName, std::string_view key, std::string_view value) {
    SGroup& group = FindOrAdd(groupName);
    const auto it = group.m_entries.find(key);
    if (it != group.m_entries.end() && it->second.m_strValue == value) return;
    std::string text = EscapeName(key) + "=" + EscapeValue(value);
    if (it != group.m_entries.end()) {
        it->second.m_line->m_strText = std::move(text);
        it->second.m_strValue = value;
    } else {
        Place(group, key, InsertAfter(LastLine(group), std::move(text))).m_strValue = value;
    }
    m_bDirty = true;
}

void CIniFile::Remove(std::string_view groupName, std::string_view key) {
    const auto g = m_groups.find(groupName);
    if (g == m_groups.end()) return;
    SGroup& group = g->second;
    const auto it = group.m_entries.find(key);
    if (it == group.m_entries.end()) return;
    const Line line = it->second.m_line;
    if (group.m_pLast == &it->second) {  // the group's entry right above, if that line is one
        SEntry* above = line == m_lines.begin() ? nullptr : std::prev(line)->m_pEntry;
        group.m_pLast = above && above->m_pGroup == &group ? above : nullptr;
    }
    m_lines.erase(line);
    group.m_entries.erase(it);
    m_bDirty = true;
}

std::string CIniFile::Text() const {
    std::string text;
    for (const SLine& line : m_lines) text.append(line.m_strText).append(1, '\n');
    return text;
}

bool CIniFile::Save(const std::string& path) {
    if (!m_bDirty) return true;
    if (m_bUnreadable) return false;
    CAtomicFile file;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) file.SetMode(0600);
    if (!file.Open(path) || !file.Write(Text()) || !file.Commit()) return false;
    m_bDirty = false;
    return true;
}

}  // namespace kolvane::settings
