// The rule-file writer: the model written back as a rule file, line for line, CR LF, whole or
// not at all.
#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "engine/engine.h"
#include "engine/text_ops.h"
#include "engine/url_splitter.h"

namespace kolvane {
namespace {

// A password field, or one in a URL's user part ("user:password@host").
bool HoldsPassword(const CKolvaneDocData& doc) {
    const auto hasPassword = [](const std::string& url) {
        return UrlSplitter().MaskUrl(url) != url;
    };
    const CCommandSection& cmd = doc.m_cmd;
    if (!cmd.m_strUploadPassword.empty() || hasPassword(cmd.m_strUploadUrl)) return true;
    for (const auto& f : doc.m_scanFiles)
        if (!f->m_strUserPw.empty() || hasPassword(f->m_strUrl)) return true;
    return false;
}

// The reader trims the text before a variable's "??" and the text between its "????" and "::"
// (the start and end patterns), needs at least 3 and 2 characters there, cuts the end pattern
// at the first "::" and takes a line holding "?All?" for the whole file. So blanks, which it
// drops again, are added where a pattern would otherwise read back differently.
bool EndsFolded(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && EqualFolded(text.substr(text.size() - tail.size()), tail);
}

std::string StartPatternText(const std::string& pattern) {
    std::string out = pattern;
    // "x?" + "????" would start the separator one character early; "?All" + "?" is "?All?".
    if (!out.empty() && (out.back() == '?' || EndsFolded(out, "?all"))) out += ' ';
    if (out.size() < 3) out.insert(0, 3 - out.size(), ' ');
    return out;
}

std::string EndPatternText(const std::string& pattern) {
    std::string out = pattern;
    // "????" + "all?" holds "?all?"; "x:" + "::" would end the pattern one character early.
    if (EqualFolded(std::string_view(out).substr(0, 4), "all?")) out.insert(0, 1, ' ');
    if (!out.empty() && out.back() == ':') out += ' ';
    if (out.size() < 2) out.insert(0, 2 - out.size(), ' ');
    return out;
}

}  // namespace

int CKolvaneEngine::WriteRuleFile() {
    const std::string& path = m_doc.m_strRulePath;
    CAtomicFile file;
    auto failed = [&] {
        file.Abandon();
        LogEntry("Couldn't Open Rule File: " + path + "!\r\n*** Rule File not written! ***");
        return 0;
    };
    if (!file.Open(path)) return failed();
    // The mode of the rule read (a rule rewritten elsewhere keeps it), and never a password
    // that group or others may read.
    file.SetMode(m_nRuleMode, HoldsPassword(m_doc));
    if (!file.Write(RuleFileText(m_doc)) || !file.Commit()) return failed();
    return 1;
}

std::string CKolvaneEngine::RuleFileText(const CKolvaneDocData& doc) {
    std::string out;
    auto comments = [&out](const std::vector<std::string>& lines) {
        for (const std::string& c : lines) out.append(c).append("\r\n");
    };
    auto line = [&out](std::string_view key, std::string_view value) {
        out.append(key).append(value).append("\r\n");
    };
    auto optional = [&line](std::string_view key, const std::string& value) {
        if (!value.empty()) line(key, value);
    };

    const CCommandSection& cmd = doc.m_cmd;
    comments(cmd.m_headComments);
    out += "&command:\r\n";
    line("TemplateFile Name = ", cmd.m_strTemplateName);
    line("TemplateFile Path = ", cmd.m_strTemplatePath);
    line("OutputFile Name = ", cmd.m_strOutputName);
    line("OutputFile Path = ", cmd.m_strOutputPath);
    line("ErrorLogFile Name = ", cmd.m_strErrorLogName);
    line("ErrorLogFile Path = ", cmd.m_strErrorLogPath);
    optional("OutputFile FtpURL= ", cmd.m_strUploadUrl);
    optional("OutputFile UserID= ", cmd.m_strUploadUserId);
    optional("OutputFile PassWord= ", cmd.m_strUploadPassword);
    optional("OutputFile ServerDir= ", cmd.m_strUploadServerDir);
    optional("OutputFile ServerFile Name= ", cmd.m_strUploadServerFile);
    if (cmd.m_nInterval > 0) line("ReSchedule Interval= ", std::to_string(cmd.m_nInterval));
    comments(cmd.m_comments);
    out += "\r\n";

    // The first variable of each scan file and number, in list order, found in one pass (a list
    // lookup per written line took quadratic time: seconds for a rule of the largest size).
    std::map<std::pair<int, int>, const CScanVar*> varsByNumber;
    for (const auto& v : doc.m_scanVars)
        varsByNumber.emplace(std::pair(v->m_nScanFile, v->m_nVarNo), v.get());

    for (int a = 1;; ++a) {
        const CScanFile* f = doc.m_scanFiles.FindScanFile(a);
        if (!f) break;
        out += "&ScanFile" + std::to_string(a) + ":\r\n";
        comments(f->m_comments);
        optional(f->m_bFtp ? "FtpURL = " : "HttpURL = ", f->m_strUrl);
        if (f->m_bFtp || f->m_bHttp) {  // the credentials of a server, FTP and HTTP alike
            optional("UserID = ", f->m_strUserId);
            optional("UserPW = ", f->m_strUserPw);
        }
        optional("ServerDir = ", f->m_strServerDir);
        optional("ServerFile = ", f->m_strServerFile);
        line("ScanFile Name = ", f->m_strName);
        line("ScanFile Path = ", f->m_strPath);
        for (int b = 1;; ++b) {
            auto found = varsByNumber.find({a, b});
            if (found == varsByNumber.end()) break;
            const CScanVar* v = found->second;
            const std::string& name = v->m_szName;
            comments(v->m_comments);
            switch (v->m_nRule) {
                case kRuleExtract:
                    out += name + "=" + StartPatternText(v->m_szStartPattern) + "????" +
                           EndPatternText(v->m_szEndPattern) +
                           "::" + std::to_string(v->m_nInstance) + "\r\n";
                    break;
                case kRuleCopy:
                    out += name + "=" + StartPatternText(v->m_szStartPattern) + "??" +
                           std::to_string(v->m_nCopyCount) + "??" + v->m_szEndPattern +
                           "::" + std::to_string(v->m_nInstance) + "\r\n";
                    break;
                case kRuleLineColumn:
                    out += name + "=r" + std::to_string(v->m_nStartLine) + "c" +
                           std::to_string(v->m_nStartCol) + "????r" +
                           std::to_string(v->m_nEndLine) + "c" + std::to_string(v->m_nEndCol) +
                           "\r\n";
                    break;
                case kRuleWholeFile:
                    out += name + "=?All?\r\n";
                    break;
                default:
                    break;  // no valid definition: nothing is written
            }
        }
        comments(f->m_tailComments);
        out += "\r\n";
    }
    return out;
}

}  // namespace kolvane
