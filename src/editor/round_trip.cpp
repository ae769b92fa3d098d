// Write, read back, compare (see round_trip.h).
#include "editor/round_trip.h"

#include <string_view>
#include <vector>

#include "engine/clock.h"
#include "editor/editor_paths.h"
#include "engine/engine.h"
#include "engine/file_io.h"
#include "engine/run_host.h"

namespace kolvane::editor {
namespace {

// Keeps the first thing the reader says (a message box or an error-log entry) as the reason.
class CReasonHost : public CNullHost {
  public:
    void MessageBox(std::string_view text, EMessageIcon) override { Keep(text); }
    static void Keep(std::string_view text) {
        if (s_reason && s_reason->empty()) *s_reason = std::string(text);
    }
    static thread_local std::string* s_reason;
};
thread_local std::string* CReasonHost::s_reason = nullptr;

void EntrySink(std::string_view entry) {
    CReasonHost::Keep(entry);
}

// Reads `text` into `back`; run mode first, the tolerant mode when the run mode refuses the rule
// as a whole (a missing scan file or an invalid URL is the run's business, not a lost field).
void ReadBack(const std::string& text, CKolvaneDocData& back, std::string& reason) {
    CReasonHost host;
    CSystemClock clock;
    CReasonHost::s_reason = &reason;
    {
        CKolvaneEngine engine(back, host, clock);
        engine.m_bOpenErrorLog = false;
        engine.SetEntrySink(EntrySink);
        engine.SetRuleText(text);
        if (!engine.ParseRuleFile()) {
            back.m_scanVars.RemoveAllVars();
            back.m_scanFiles.RemoveAllScanFiles();
            back.m_cmd = CCommandSection();
            CKolvaneEngine tolerant(back, host, clock);
            tolerant.m_bEditing = true;
            tolerant.SetRuleText(text);
            tolerant.ParseRuleFile();
        }
    }
    CReasonHost::s_reason = nullptr;
}

// The HTTP entry as the reader stores it: the URL cut to scheme and host, the server directory
// and file taken from the URL's path.
CScanFile ReaderHttpEntry(const CScanFile& f) {
    CScanFile copy = f;
    CKolvaneDocData scratch;
    CNullHost host;
    CSystemClock clock;
    CKolvaneEngine engine(scratch, host, clock);
    engine.CheckHttpUrl(copy);
    return copy;
}

class CComparer {
  public:
    CComparer(const std::string& reason) : m_reason(reason) {}

    std::optional<SRoundTripFault> fault;

    // Records the first difference; true when one is known (then the caller stops).
    bool Differ(EEditorPage page, int scanFile, int varNo, std::string_view where,
                std::string_view field, const std::string& shown, const std::string& back) {
        if (fault) return true;
        if (shown == back) return false;
        std::string text = "The rule would not read back as it is shown, so it is not saved:\n\n";
        text.append(where).append("\n").append(field).append(": \"").append(shown);
        text.append("\"\nwould read back as: \"").append(back).append("\"");
        Finish(page, scanFile, varNo, field, text);
        fault->brief =
            std::string(field) + " \"" + shown + "\" would read back as \"" + back + "\"";
        return true;
    }
    // The reader refused the variable's line as written; `why` is its own words.
    bool Refused(int scanFile, int varNo, std::string_view where, std::string_view field,
                 const std::string& shown, const std::string& why) {
        if (fault) return true;
        std::string text = "The rule would not read back as it is shown, so it is not saved:\n\n";
        text.append(where).append("\n").append(field).append(": \"").append(shown);
        text.append("\"\nis refused by the rule reader: ").append(why);
        text.append("\n\nChange the field, then press OK again.");
        fault = SRoundTripFault{EEditorPage::ScanVar,
                                scanFile,
                                varNo,
                                std::string(field),
                                std::move(text),
                                std::string(field) + " \"" + shown + "\" is refused: " + why};
        return true;
    }
    bool Lost(EEditorPage page, int scanFile, int varNo, std::string_view where,
              std::string_view field) {
        if (fault) return true;
        std::string text = "The rule would not read back as it is shown, so it is not saved:\n\n";
        text.append(where).append("\nwould be lost when the rule is read.");
        Finish(page, scanFile, varNo, field, text);
        fault->brief = "The variable would be lost when the rule is read";
        return true;
    }

  private:
    void Finish(EEditorPage page, int scanFile, int varNo, std::string_view field,
                std::string text) {
        if (!m_reason.empty()) text.append("\n\nThe rule reader says: ").append(m_reason);
        text.append("\n\nChange the field, then press OK again.");
        fault = SRoundTripFault{page, scanFile, varNo, std::string(field), std::move(text), ""};
    }
    const std::string& m_reason;
};

std::string Num(int n) {
    return std::to_string(n);
}

bool CompareCommand(const CCommandSection& m, const CCommandSection& b, CComparer& c) {
    const auto p = EEditorPage::Command;
    const std::string_view w = "Command Section page";
    const bool upload = !m.m_strUploadUrl.empty();
    // The reader fills the user id and the server file name in when the upload URL is given
    // (and reads none of the upload fields without it).
    auto orDefault = [&](const std::string& v, const std::string& d) {
        return !upload ? v : (v.empty() ? d : v);
    };
    // Paths as the page shows them; the directory and the name each are compared as well,
    // since two pairs can join to the same text.
    auto path = [&](std::string_view label, const std::string& md, const std::string& mn,
                    const std::string& bd, const std::string& bn) {
        if (md == bd && mn == bn) return false;
        std::string shown = JoinPath(md, mn), back = JoinPath(bd, bn);
        if (shown == back) back += " (directory \"" + bd + "\", file \"" + bn + "\")";
        return c.Differ(p, 0, 0, w, label, shown, back);
    };
    return path("Template Path and File Name", m.m_strTemplatePath, m.m_strTemplateName,
                b.m_strTemplatePath, b.m_strTemplateName) ||
           path("Output File Path and File Name", m.m_strOutputPath, m.m_strOutputName,
                b.m_strOutputPath, b.m_strOutputName) ||
           path("Error Log Path and File Name", m.m_strErrorLogPath, m.m_strErrorLogName,
                b.m_strErrorLogPath, b.m_strErrorLogName) ||
           c.Differ(p, 0, 0, w, "Ftp URL", m.m_strUploadUrl, b.m_strUploadUrl) ||
           c.Differ(p, 0, 0, w, "Ftp User ID", orDefault(m.m_strUploadUserId, "anonymous"),
                    b.m_strUploadUserId) ||
           c.Differ(p, 0, 0, w, "Ftp Password", m.m_strUploadPassword, b.m_strUploadPassword) ||
           c.Differ(p, 0, 0, w, "Directory on Server", m.m_strUploadServerDir,
                    b.m_strUploadServerDir) ||
           c.Differ(p, 0, 0, w, "File Name on Server",
                    orDefault(m.m_strUploadServerFile, m.m_strOutputName),
                    b.m_strUploadServerFile) ||
           c.Differ(p, 0, 0, w, "Reschedule Timer Setting", Num(m.m_nInterval) + " seconds",
                    Num(b.m_nInterval) + " seconds");
}

bool CompareScanFile(const CScanFile& given, const CScanFile& b, CComparer& c) {
    const auto p = EEditorPage::ScanFile;
    const int a = given.m_nNumber;
    const std::string w = "Scan File page, Scan File Number " + Num(a);
    const bool ftp = given.m_bFtp && !given.m_strUrl.empty();
    const bool http = !given.m_bFtp && !given.m_strUrl.empty();
    // A URL typed with its path is split by the reader into the server directory and file;
    // nothing is lost while those two fields were left empty.
    const CScanFile m = http && given.m_strServerDir.empty() && given.m_strServerFile.empty()
                            ? ReaderHttpEntry(given)
                            : given;
    // The reader gives an FTP entry without a user id the anonymous one.
    const std::string userId =
        ftp && m.m_strUserId.empty() ? std::string("anonymous") : m.m_strUserId;
    return c.Differ(p, a, 0, w, ftp ? "Ftp URL" : "Http URL", m.m_strUrl, b.m_strUrl) ||
           c.Differ(p, a, 0, w, "Obtained by",
                    ftp    ? "Ftp"
                    : http ? "Http"
                           : "local",
                    b.m_bFtp    ? "Ftp"
                    : b.m_bHttp ? "Http"
                                : "local") ||
           c.Differ(p, a, 0, w, "User ID", userId, b.m_strUserId) ||
           c.Differ(p, a, 0, w, "Password", m.m_strUserPw, b.m_strUserPw) ||
           c.Differ(p, a, 0, w, "File Name on Server", m.m_strServerFile, b.m_strServerFile) ||
           c.Differ(p, a, 0, w, "File Path on Server", m.m_strServerDir, b.m_strServerDir) ||
           c.Differ(p, a, 0, w, "Scan File Path/Name on Local Machine",
                    JoinPath(m.m_strPath, m.m_strName),
                    m.m_strPath == b.m_strPath && m.m_strName == b.m_strName
                        ? JoinPath(m.m_strPath, m.m_strName)
                        : JoinPath(b.m_strPath, b.m_strName) + " (directory \"" + b.m_strPath +
                              "\", file \"" + b.m_strName + "\")");
}

// The field of the Scan Variable page that a refusal of the reader is about.
std::string RefusedField(const std::string& why) {
    if (why.find("Start definition") != std::string::npos) return "Start Pattern";
    if (why.find("End definition") != std::string::npos) return "End Pattern";
    if (why.find("RowColumn") != std::string::npos) return "Line";
    return "Rule";
}

std::string ShownField(const CScanVar& m, const std::string& field) {
    if (field == "Start Pattern") return m.m_szStartPattern;
    if (field == "End Pattern") return m.m_szEndPattern;
    return m.m_nRule == kRuleCopy ? "??" + Num(m.m_nCopyCount) + "??" : "????";
}

bool CompareVar(const CScanVar& m, const CScanVar* b, CComparer& c) {
    const auto p = EEditorPage::ScanVar;
    const int a = m.m_nScanFile, n = m.m_nVarNo;
    const std::string w = "Scan Variable page, Scan File Number " + Num(a) +
                          ", Scan Variable No. " + Num(n) + ", Scan Variable Name \"" + m.m_szName +
                          "\"";
    if (!b) return c.Lost(p, a, n, w, "Scan Variable Name");
    if (b->m_nRule == kRuleNone && m.m_nRule != kRuleNone) {
        std::string why = b->m_outcome.detail;
        if (const std::size_t colon = why.find("): "); colon != std::string::npos)
            why.erase(0, colon + 3);  // the reader's "Scan Variable (name): " prefix
        const std::string field = RefusedField(why);
        return c.Refused(a, n, w, field, ShownField(m, field), why);
    }
    if (c.Differ(p, a, n, w, "Scan Variable Name", m.m_szName, b->m_szName)) return true;
    auto kind = [](int k) -> std::string {
        switch (k) {
            case kRuleExtract:
                return "extract (????)";
            case kRuleCopy:
                return "copy (??n??)";
            case kRuleLineColumn:
                return "line-column";
            case kRuleWholeFile:
                return "?All?";
            default:
                return "no definition";
        }
    };
    if (c.Differ(p, a, n, w, "Rule", kind(m.m_nRule), kind(b->m_nRule))) return true;
    switch (m.m_nRule) {
        case kRuleExtract:
        case kRuleCopy:
            return c.Differ(p, a, n, w, "Start Pattern", m.m_szStartPattern, b->m_szStartPattern) ||
                   c.Differ(p, a, n, w, "Rule", "??" + Num(m.m_nCopyCount) + "??",
                            "??" + Num(b->m_nCopyCount) + "??") ||
                   c.Differ(p, a, n, w, "End Pattern", m.m_szEndPattern, b->m_szEndPattern) ||
                   c.Differ(p, a, n, w, "Instance", Num(m.m_nInstance), Num(b->m_nInstance));
        case kRuleLineColumn:
            return c.Differ(p, a, n, w, "Line",
                            "r" + Num(m.m_nStartLine) + "c" + Num(m.m_nStartCol) + " to r" +
                                Num(m.m_nEndLine) + "c" + Num(m.m_nEndCol),
                            "r" + Num(b->m_nStartLine) + "c" + Num(b->m_nStartCol) + " to r" +
                                Num(b->m_nEndLine) + "c" + Num(b->m_nEndCol));
        default:
            return false;
    }
}

}  // namespace

std::optional<SRoundTripFault> CheckRoundTrip(const CKolvaneDocData& doc) {
    const std::string text = CKolvaneEngine::RuleFileText(doc);
    if (text.size() > kMaxFileSize) {
        SRoundTripFault f;
        f.message = "The rule file would be " + Num(int(text.size())) +
                    " bytes long; the rule reader reads at most " + Num(int(kMaxFileSize)) +
                    " bytes.\nShorten the rule, then press OK again.";
        return f;
    }
    CKolvaneDocData back;
    std::string reason;
    ReadBack(text, back, reason);
    CComparer c(reason);
    if (CompareCommand(doc.m_cmd, back.m_cmd, c)) return c.fault;
    for (int a = 1;; ++a) {
        const CScanFile* m = doc.m_scanFiles.FindScanFile(a);
        if (!m) break;
        const CScanFile* b = back.m_scanFiles.FindScanFile(a);
        if (!b) {
            c.Lost(EEditorPage::ScanFile, a, 0, "Scan File page, Scan File Number " + Num(a),
                   "Scan File Path/Name on Local Machine");
            return c.fault;
        }
        if (CompareScanFile(*m, *b, c)) return c.fault;
        const int count = doc.m_scanVars.CountVars(a);
        for (int n = 1; n <= count; ++n) {
            const CScanVar* mv = doc.m_scanVars.FindVar(a, n);
            if (!mv) break;
            if (CompareVar(*mv, back.m_scanVars.FindVar(a, n), c)) return c.fault;
        }
    }
    return std::nullopt;
}

SVarLine VariableLine(const CScanVar& var) {
    // A rule of this one variable in a local scan file of its own: what the save writes for it
    // and whether it reads back.
    CKolvaneDocData doc;
    CCommandSection& c = doc.m_cmd;
    c.m_strTemplateName = "t", c.m_strOutputName = "o", c.m_strErrorLogName = "e";
    c.m_strTemplatePath = c.m_strOutputPath = c.m_strErrorLogPath = ".";
    CScanFile* file = doc.m_scanFiles.AddNewScanFile();
    file->m_nNumber = 1, file->m_strName = "s", file->m_strPath = ".";
    CScanVar* copy = doc.m_scanVars.AddNewVar();
    *copy = var;
    copy->m_nScanFile = 1, copy->m_nVarNo = 1;
    copy->m_comments.clear();
    SVarLine out;
    const std::string text = CKolvaneEngine::RuleFileText(doc);
    const std::string after = "ScanFile Path = .\r\n";
    const std::size_t from = text.find(after) + after.size();
    out.line = text.substr(from, text.find("\r\n", from) - from);
    if (const auto fault = CheckRoundTrip(doc)) out.refusal = fault->brief;
    return out;
}

}  // namespace kolvane::editor
