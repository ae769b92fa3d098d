// The rule-file reader: loading and checking the rule text, and parsing its &command section,
// its scan-file sections and their variable lines into the rule model.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/engine.h"
#include "engine/shown_text.h"
#include "engine/text_ops.h"
#include "engine/url_splitter.h"

namespace kolvane {
namespace {

constexpr std::string_view kCantContinue = "!\n***  Can't continue  ***";

// The value of the run of digits at `pos`, saturating at INT_MAX; `end` receives the position
// after the run.
int ReadDigits(std::string_view text, std::size_t pos, std::size_t* end = nullptr) {
    long long value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        value = std::min<long long>(value * 10 + (text[pos] - '0'), INT_MAX);
        ++pos;
    }
    if (end) *end = pos;
    return static_cast<int>(value);
}

// Where "scanfile<n>" first occurs in the rule text (letters folded), for every section number
// at once: one pass over the text, where a search from the start for each section made a rule
// cost the square of its sections. As a search for it would, "scanfile12" also holds
// "scanfile1". Only numbers up to the count of "scanfile" words are kept: the reader asks for 1,
// 2, ... and stops at the first missing one.
class CSectionStarts {
  public:
    explicit CSectionStarts(std::string_view text) {
        constexpr std::string_view kWord = "scanfile";
        std::vector<std::size_t> words;
        for (std::size_t at = FindText(text, kWord); at != std::string_view::npos;
             at = FindText(text, kWord, at + kWord.size()))
            words.push_back(at);
        m_first.assign(words.size() + 2, std::string_view::npos);
        for (const std::size_t at : words) {
            std::size_t n = 0;
            for (std::size_t i = at + kWord.size(); i < text.size() && IsDigit(text[i]); ++i) {
                n = n * 10 + std::size_t(text[i] - '0');
                if (n == 0 || n >= m_first.size()) break;  // "scanfile0...", or never asked for
                if (m_first[n] == std::string_view::npos) m_first[n] = at;
            }
        }
    }
    std::size_t Of(int n) const {
        return n > 0 && std::size_t(n) < m_first.size() ? m_first[std::size_t(n)]
                                                        : std::string_view::npos;
    }

  private:
    std::vector<std::size_t> m_first;  // by section number
};

std::string Format(const char* fmt, long value) {
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, value);
    return buf;
}

}  // namespace

int CKolvaneEngine::ReadRuleFile() {
    const std::string& path = m_doc.m_strRulePath;
    if (path.size() > kMaxRulePath) {
        Message(Format("Rule file path is longer than %ld characters which is this application's "
                       "max",
                       long(kMaxRulePath)) +
                std::string(kCantContinue));
        return 0;
    }
    // The rule's name comes from a command line and may hold any byte but NUL.
    const std::string name = EscapeControls(FileNameOf(path));
    SetPane(0, "Reading " + name);
    SFileFacts facts;
    switch (ReadWholeFile(path, kMaxFileSize, m_ruleText, nullptr, &facts)) {
        case EReadResult::Ok:
            m_nRuleMode = static_cast<int>(facts.mode);
            break;
        case EReadResult::OpenFailed:
            Message("Couldn't Open rule file: " + name + "!\nKolvane aborted by application!");
            return 0;
        case EReadResult::Empty:
            Message("Rule file " + name + " is Empty!\nKolvane aborted by application!");
            return 0;
        case EReadResult::TooBig:
            Message(Format("Max allowed Rule file size is %ld!\nKolvane aborted by application!",
                           long(kMaxFileSize)));
            return 0;
        case EReadResult::ReadFailed:
            Message("Failed to read " + name + "!\nKolvane aborted by application!");
            return 0;
    }
    // Whoever may write the rule chooses what the run writes, and where: the editor may open
    // such a rule (to mend it), nothing runs it.
    if (const char* why = OthersMayWrite(facts); why && !m_bEditing) {
        ReleaseRuleText();
        Message("Rule file " + path + " " + why + "!\nKolvane aborted by application!");
        return 0;
    }
    std::size_t endLength = 0;
    std::size_t firstEnd = FindLineEnd(RuleText(), 0, &endLength);
    if (endLength == 0 || firstEnd > kMaxLine) {
        ReleaseRuleText();
        Message(
            Format("Rule File contains lines longer than %ld characters\nwhich is this "
                   "application's max!\r\nMust abort the Kolvane",
                   long(kMaxLine)));
        return 0;
    }
    SetPane(0, "Ready");
    return 1;
}

// Refuses a key value that does not fit the model: 1 when it is too long (the message is shown
// unless the editor reads the rule), 0 when it fits.
int CKolvaneEngine::ValueTooLong(std::string_view where, const std::string& value) {
    if (value.size() <= kMaxKeyValue) return 0;
    if (!m_bEditing)
        Message("Value of " + std::string(where) + " is longer than " +
                std::to_string(kMaxKeyValue) + " characters which is this application's max" +
                std::string(kCantContinue));
    return 1;
}

int CKolvaneEngine::ReadRequiredKey(std::string_view key, std::size_t start, std::size_t end,
                                    std::string& field, std::string_view absentMessage) {
    std::string value;
    if (!GetKeyValue(RuleText(), key, start, end, value)) {
        field.clear();
        if (m_bEditing) return 1;
        Message(absentMessage);
        return 0;
    }
    if (ValueTooLong(std::string(key) + " in &command section", value)) {
        field.clear();
        return m_bEditing ? 1 : 0;
    }
    field = value;
    return 1;
}

int CKolvaneEngine::ParseCommandSection(std::size_t start, std::size_t end) {
    CCommandSection& cmd = m_doc.m_cmd;
    std::string_view text = RuleText();
    std::string value;
    // Reads an optional key; 1 present, 0 absent, -1 refused as too long.
    auto optional = [&](std::string_view key) -> int {
        if (!GetKeyValue(text, key, start, end, value)) return 0;
        if (ValueTooLong(std::string(key) + " in &command section", value)) {
            value.clear();
            return m_bEditing ? 0 : -1;
        }
        return 1;
    };

    if (!ReadRequiredKey("templatefile name", start, end, cmd.m_strTemplateName,
                         "Empty or no template file name specified in &command section!\n***  "
                         "Can't continue  ***") ||
        !ReadRequiredKey("templatefile path", start, end, cmd.m_strTemplatePath,
                         "Empty or no template file path specified in &command section!\n***  "
                         "Can't continue  ***") ||
        !ReadRequiredKey("outputfile name", start, end, cmd.m_strOutputName,
                         "Empty or no output file name specified in &command section!\n***  "
                         "Can't continue  ***"))
        return 0;

    bool shortInterval = false;
    int givenSeconds = 0;
    cmd.m_nInterval = 0;
    int found = optional("reschedule interval");
    if (found < 0) return 0;
    if (found > 0) {
        double number = std::strtod(value.c_str(), nullptr);
        if (std::isnan(number)) number = 0;
        number = std::fabs(number);
        double seconds;
        if (value.find_first_of("Hh") != std::string::npos) {
            seconds = number * 3600;
        } else if (value.find_first_of("Mm") != std::string::npos) {
            seconds = number * 60;
        } else {
            seconds = number;
            if (seconds < 10) {
                givenSeconds = static_cast<int>(number);
                seconds = 10;
                shortInterval = true;
            }
        }
        cmd.m_nInterval = seconds >= double(INT_MAX) ? INT_MAX : static_cast<int>(seconds);
    }

    if (!ReadRequiredKey("outputfile path", start, end, cmd.m_strOutputPath,
                         "Empty or no output file path specified in &command section!\n***  "
                         "Can't continue  ***"))
        return 0;

    m_bUpload = false;
    found = optional("outputfile ftpurl");
    if (found < 0) return 0;
    if (found > 0) {
        cmd.m_strUploadUrl = value;
        m_bUpload = true;
        if (SUrlParts parts;
            !m_bEditing && UrlSplitter().SplitRuleUrl(value, "ftp", parts) == EUrlRead::Refused) {
            Message("Invalid upload URL for: " + UrlSplitter().MaskUrl(value) +
                    "!\n***  Can't continue  ***");
            return 0;
        }
        struct {
            std::string_view key;
            std::string* field;
            std::string fallback;
        } uploadKeys[] = {
            {"outputfile userid", &cmd.m_strUploadUserId, "anonymous"},
            {"outputfile password", &cmd.m_strUploadPassword, ""},
            {"outputfile serverdir", &cmd.m_strUploadServerDir, ""},
            {"outputfile serverfile name", &cmd.m_strUploadServerFile, cmd.m_strOutputName},
        };
        for (auto& k : uploadKeys) {
            found = optional(k.key);
            if (found < 0) return 0;
            *k.field = found > 0 ? value : k.fallback;
        }
    }

    if (!ReadRequiredKey("errorlogfile name", start, end, cmd.m_strErrorLogName,
                         "Empty or no error log file name specified in &command section!\n***  "
                         "Can't continue  ***") ||
        !ReadRequiredKey("errorlogfile path", start, end, cmd.m_strErrorLogPath,
                         "Empty or no error log file path specified in &command section!\n***  "
                         "Can't continue  ***"))
        return 0;

    if (!m_bEditing && m_bOpenErrorLog) OpenErrorLog(cmd.m_strErrorLogPath, cmd.m_strErrorLogName);
    if (shortInterval && !m_bEditing)
        LogEntry("Your ReSchedule Interval of " + std::to_string(givenSeconds) +
                 " seconds is less than the 10 second minimum interval!\r\n    Interval reset to "
                 "10 seconds by Kolvane!\r\n");
    return 1;
}

int CKolvaneEngine::ParseRuleFile() {
    PumpMessages();
    std::string_view text = RuleText();
    m_bRemote = false;
    std::size_t command = FindText(text, "&command");
    if (command == npos) {
        if (m_bEditing) return 1;
        Message("No &command section specified in Rule File!\n***  Can't continue  ***");
        return 0;
    }
    std::size_t firstScan = FindText(text, "&scanfile");
    if (firstScan == npos) {
        // The editor keeps the command section of a rule without scan files: the writer writes
        // one for such a model, and reading it back must not lose it.
        if (m_bEditing) {
            ParseCommandSection(command, text.size());
            KeepComments(command, text.size(), {});
            return 1;
        }
        Message("No &scanfile sections specified in Rule File!\n***  Can't continue  ***");
        return 0;
    }
    if (!ParseCommandSection(command, firstScan)) return 0;
    std::vector<SSectionLines> sections;
    const CSectionStarts sectionStarts(text);

    for (int n = 1;; ++n) {
        std::string section = "scanfile" + std::to_string(n);
        std::size_t start = sectionStarts.Of(n);
        if (start == npos) {
            KeepComments(command, firstScan, sections);
            return m_bEditing ? 1 : CheckOutputIsNoInput();
        }
        m_strSection = section;
        std::size_t end = sectionStarts.Of(n + 1);
        if (end == npos) end = text.size();

        std::string value;
        const std::string nameMessage =
            "Empty or no scan file name specified in &" + section + "!\n***  Can't continue  ***";
        auto key = [&](std::string_view k) -> int {  // 1 present, 0 absent, -1 too long
            if (!GetKeyValue(text, k, start, end, value)) return 0;
            if (ValueTooLong(std::string(k) + " in &" + section, value)) {
                value.clear();
                return m_bEditing ? 0 : -1;
            }
            return 1;
        };

        int found = key("scanfile name");
        if (found <= 0) {
            if (found == 0 && !m_bEditing) Message(nameMessage);
            return m_bEditing ? 1 : 0;
        }
        CScanFile* entry = m_doc.m_scanFiles.AddNewScanFile();
        entry->m_strName = value;
        entry->m_nNumber = n;

        found = key("scanfile path");
        if (found < 0) return 0;
        if (found == 0 && !m_bEditing) {
            Message(nameMessage);
            return 0;
        }
        entry->m_strPath = found > 0 ? value : "";

        if ((found = key("ftpurl")) != 0) {
            if (found < 0) return 0;
            entry->m_strUrl = value;
            entry->m_bFtp = 1;
            if (SUrlParts parts; !m_bEditing && UrlSplitter().SplitRuleUrl(value, "ftp", parts) ==
                                                    EUrlRead::Refused) {
                Message("Invalid ftp URL for: " + UrlSplitter().MaskUrl(value) +
                        "!\n***  Can't continue  ***");
                return 0;
            }
        } else if ((found = key("httpurl")) != 0) {
            if (found < 0) return 0;
            entry->m_strUrl = value;
            entry->m_bHttp = 1;
            if (!CheckHttpUrl(*entry) && !m_bEditing) {
                Message("Invalid http URL for: " + UrlSplitter().MaskUrl(value) +
                        "!\n***  Can't continue  ***");
                return 0;
            }
        }

        if (entry->m_bFtp || entry->m_bHttp) {
            found = key("userid");
            if (found < 0) return 0;
            entry->m_strUserId = found > 0 ? value : (entry->m_bFtp ? "anonymous" : "");
            found = key("userpw");
            if (found < 0) return 0;
            entry->m_strUserPw = found > 0 ? value : "";
            if (entry->m_strServerDir.empty()) {
                if ((found = key("serverdir")) < 0) return 0;
                if (found > 0) entry->m_strServerDir = value;
            }
            if (entry->m_strServerFile.empty()) {
                if ((found = key("serverfile")) < 0) return 0;
                if (found > 0) {
                    entry->m_strServerFile = value;
                } else if (entry->m_bFtp && !m_bEditing) {
                    Message("Empty or no server file name to fetch via ftp in &" + section +
                            "!\n***  Must specify the file on the server if define server URL  "
                            "***\n***  Can't continue  ***");
                    return 0;
                }
            }
            m_bRemote = true;
        }

        std::size_t nameAt = FindText(text, "scanfile name", start);
        std::size_t lines = SkipLines(text, nameAt, 2);
        m_nVarLinesEnd = lines;
        if (ParseScanVarLines(*entry, lines, end) == EVarLines::RuleRefused) return 0;
        sections.push_back({start, lines, std::max(lines, m_nVarLinesEnd), entry});
    }
}

// The comment lines outside the variable lines (those are kept by ParseScanVarLines): before
// "&command", inside the command section, and in each scan-file section before and after its
// variable lines. One pass over the text; the sections are in the order of the text.
void CKolvaneEngine::KeepComments(std::size_t command, std::size_t firstScan,
                                  const std::vector<SSectionLines>& sections) {
    std::string_view text = RuleText();
    CCommandSection& cmd = m_doc.m_cmd;
    std::size_t s = 0;  // the last section that starts at or before the line
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t endLength = 0;
        const std::size_t lineEnd = FindLineEnd(text, pos, &endLength);
        const std::string_view line = TrimView(text.substr(pos, lineEnd - pos));
        const std::size_t at = pos;
        pos = lineEnd + (endLength ? endLength : 1);
        if (line.substr(0, 2) != "&&") continue;
        while (s + 1 < sections.size() && sections[s + 1].start <= at) ++s;
        if (at < command) {
            cmd.m_headComments.emplace_back(line);
        } else if (at < firstScan || sections.empty() || at < sections[s].start) {
            cmd.m_comments.emplace_back(line);
        } else if (at < sections[s].varsFrom) {
            sections[s].entry->m_comments.emplace_back(line);
        } else if (at >= sections[s].varsTo) {
            sections[s].entry->m_tailComments.emplace_back(line);
        }
    }
}

// A rule whose output file is its own template or one of its scan files would destroy that
// input at the first merge: such a rule is refused.
int CKolvaneEngine::CheckOutputIsNoInput() {
    namespace fs = std::filesystem;
    // Each path resolved as weakly_canonical resolves it; a folder is resolved once, however
    // many of the scan files it holds (one system call per component each time otherwise).
    std::unordered_map<std::string, fs::path> folders;
    auto resolved = [&folders](const fs::path& path) {
        std::error_code ec;
        fs::path name = path.filename();
        struct stat st {};
        if (name.empty() || name == "." || name == ".." ||
            (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))) {
            fs::path whole = fs::weakly_canonical(path, ec);
            return ec ? path.lexically_normal() : whole;
        }
        auto [folder, added] = folders.try_emplace(path.parent_path().string());
        if (added) {
            folder->second = fs::weakly_canonical(path.parent_path(), ec);
            if (ec) folder->second = path.parent_path().lexically_normal();
        }
        return folder->second / name;
    };
    const CCommandSection& cmd = m_doc.m_cmd;
    const fs::path output = resolved(ResolvePath(cmd.m_strOutputPath, cmd.m_strOutputName));
    bool clash = output == resolved(ResolvePath(cmd.m_strTemplatePath, cmd.m_strTemplateName));
    for (const auto& f : m_doc.m_scanFiles)
        clash = clash || output == resolved(ResolvePath(f->m_strPath, f->m_strName));
    if (!clash) return 1;
    Message("Output file " + JoinPath(cmd.m_strOutputPath, cmd.m_strOutputName) +
            " is also the template or a scan file of this rule!\nKolvane will not overwrite its "
            "own input!\n***  Can't continue  ***");
    return 0;
}

CKolvaneEngine::EVarLines CKolvaneEngine::ParseScanVarLines(CScanFile& entry, std::size_t pos,
                                                            std::size_t end) {
    std::string_view text = RuleText();
    int n = 1;
    std::vector<std::string> comments;  // comment lines not yet followed by a variable line
    auto stop = [&](std::size_t at) {
        m_nVarLinesEnd = at;
        for (std::string& c : comments) entry.m_tailComments.push_back(std::move(c));
    };
    for (;;) {
        std::size_t endLength = 0;
        std::size_t lineEnd = FindLineEnd(text, pos, &endLength);
        if (lineEnd - pos > kMaxLine) {
            const std::string message = Format("Scan Variable line length > %ld!", long(kMaxLine));
            LogEntry(message, ELogKind::CantContinue);
            RefuseScanFileVars(entry, message);
            stop(pos);
            return EVarLines::Refused;
        }
        std::string_view line = TrimView(text.substr(pos, lineEnd - pos));
        std::size_t comment = line.find("&&");
        if (comment != npos) line = line.substr(0, comment);
        std::size_t next = lineEnd + endLength;
        if (comment == 0) {  // a comment line uses no number
            comments.emplace_back(TrimView(text.substr(pos, lineEnd - pos)));
            if (endLength == 0) {
                entry.m_nNextVarNo = n;
                stop(next);
                return EVarLines::Read;
            }
            pos = next;
            continue;
        }
        std::size_t eq = line.find('=');
        if (eq == npos) {
            entry.m_nNextVarNo = n;
            stop(pos);
            return EVarLines::Read;
        }
        std::string_view name = TrimView(line.substr(0, eq));
        if (name.size() > kMaxName) {
            stop(pos);
            if (m_bEditing) return EVarLines::Refused;
            Message("Scan Variable name in &" + m_strSection + " is longer than " +
                    std::to_string(kMaxName) + " characters which is this application's max" +
                    std::string(kCantContinue));
            return EVarLines::RuleRefused;
        }
        CScanVar* var = m_doc.m_scanVars.AddNewVar();
        var->m_nScanFile = entry.m_nNumber;
        var->m_nVarNo = n;
        var->m_szName = std::string(name);
        var->m_comments = std::move(comments);
        comments.clear();
        if (!ParseScanVarRule(line.substr(eq + 1), *var, name)) {
            var->m_nRule = kRuleNone;  // refused: no rule, half read or not (the check lists it)
            RefuseScanFileVars(entry, var->m_outcome.detail);
            stop(next);
            return EVarLines::Refused;
        }
        if (var->m_nRule == kRuleWholeFile || next >= end || endLength == 0) {
            entry.m_nNextVarNo = n + 1;
            stop(next);
            return EVarLines::Read;
        }
        pos = next;
        ++n;
    }
}

// A refused variable line leaves every variable of its scan file unextracted; each of them
// records the refusal.
void CKolvaneEngine::RefuseScanFileVars(const CScanFile& entry, const std::string& refusal) {
    SValueOutcome why;
    why.kind = EValueOutcome::Refused;
    why.detail = refusal;
    for (auto& var : m_doc.m_scanVars)
        if (var->m_nScanFile == entry.m_nNumber) var->m_outcome = why;
}

int CKolvaneEngine::ParseScanVarRule(std::string_view def, CScanVar& var, std::string_view name) {
    auto refuse = [&](std::string_view message) {
        LogEntry("Scan Variable (" + std::string(name) + ") in the " + m_strSection +
                     " Section:\r\n" + std::string(message),
                 ELogKind::CantContinue);
        var.m_outcome = SValueOutcome{};
        var.m_outcome.kind = EValueOutcome::Refused;
        var.m_outcome.detail = "Scan Variable (" + std::string(name) + "): " + std::string(message);
        return 0;
    };

    if (FindText(def, "?all?") != npos) {
        var.m_nRule = kRuleWholeFile;
        return 1;
    }
    std::size_t q = def.find("??");
    if (q == npos) return refuse("Must contain extract or copy definition (???? or ??nnn]!");

    std::size_t separatorEnd;
    if (q + 2 < def.size() && IsDigit(def[q + 2])) {
        std::size_t digitsEnd = 0;
        int count = ReadDigits(def, q + 2, &digitsEnd);
        if (def.substr(digitsEnd, 2) != "??") return refuse("Copy definition must be ??digits|");
        var.m_nRule = kRuleCopy;
        var.m_nCopyCount = count;
        separatorEnd = digitsEnd + 2;
    } else {
        if (def.substr(q + 2, 2) != "??") return refuse("Extract definition must be  ??|");
        var.m_nRule = kRuleExtract;
        var.m_nCopyCount = 0;
        separatorEnd = q + 4;
    }

    std::size_t colons = def.find("::", separatorEnd);
    std::string_view endText =
        def.substr(separatorEnd, colons == npos ? npos : colons - separatorEnd);
    std::string_view startText = def.substr(0, q);
    if (startText.size() < 3) return refuse("Start definition must be at least 3 char!");
    if (startText.size() > kMaxPattern)
        return refuse(
            Format("Start definition > %ld characters which is the limit!", long(kMaxPattern)));
    if (var.m_nRule == kRuleExtract) {
        if (endText.size() < 2) return refuse("End definition must be at least 2 char!");
        if (endText.size() > kMaxPattern)
            return refuse(
                Format("End definition > %ld characters which is the limit!", long(kMaxPattern)));
    }

    // A definition that names a row and then a column is a line-column range.
    std::size_t r = FindText(def, "r");
    if (r != npos && r + 1 < def.size() && IsDigit(def[r + 1])) {
        std::size_t c = FindText(def, "c");
        if (c != npos && c > r && c + 1 < def.size() && IsDigit(def[c + 1])) {
            var.m_nRule = kRuleLineColumn;
            var.m_nStartLine = ReadDigits(def, r + 1);
            var.m_nStartCol = ReadDigits(def, c + 1);
            std::size_t from = separatorEnd - 1;
            std::size_t r2 = FindText(def, "r", from);
            std::size_t c2 = FindText(def, "c", from);
            if (r2 == npos || r2 + 1 >= def.size() || !IsDigit(def[r2 + 1]) || c2 == npos ||
                c2 < r2 || c2 + 1 >= def.size() || !IsDigit(def[c2 + 1]))
                return refuse("Ending RowColumn is miss defined!");
            var.m_nEndLine = ReadDigits(def, r2 + 1);
            var.m_nEndCol = ReadDigits(def, c2 + 1);
            return 1;
        }
    }

    var.m_szStartPattern = std::string(TrimView(startText));
    if (var.m_nRule == kRuleExtract) var.m_szEndPattern = std::string(TrimView(endText));
    if (colons != npos) {
        for (std::size_t i = colons; i < def.size() && def[i] != '\n'; ++i) {
            if (IsDigit(def[i])) {
                var.m_nInstance = ReadDigits(def, i);
                break;
            }
        }
    }
    return 1;
}

int CKolvaneEngine::CheckHttpUrl(CScanFile& entry) {
    SUrlParts parts;
    switch (UrlSplitter().SplitRuleUrl(entry.m_strUrl, "http", parts)) {
        case EUrlRead::Split:
            break;
        case EUrlRead::Refused:
            LogEntry("Invalid HTTP URL for: " + entry.m_strServerFile);
            return 0;
        case EUrlRead::CannotTell:
            return 1;  // taken as written; the run says why it cannot fetch it
    }
    const std::string& path = parts.path;
    entry.m_strUrl = SchemeAndHost(parts);
    if (path.find('.') != npos) {
        std::size_t cut = path.rfind('/');
        if (cut == npos) cut = path.rfind('\\');
        if (cut == npos) {
            entry.m_strServerFile = path;
        } else {
            entry.m_strServerDir = path.substr(0, cut);
            entry.m_strServerFile = path.substr(cut + 1);
        }
    } else if (path != "/") {
        entry.m_strServerDir = path;
    }
    // Every run would refuse any other scheme: so does the reader, with the run's own entry.
    if (!parts.http) {
        LogEntry("Invalid HTTP URL for file: " + entry.m_strServerFile);
        return 0;
    }
    return 1;
}

}  // namespace kolvane
