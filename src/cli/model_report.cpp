// Check-mode reports of the rule model.
#include "cli/model_report.h"

#include <cstdio>

#include "engine/text_ops.h"
#include "engine/url_splitter.h"
#include "transfer/file_schemes.h"

namespace kolvane {
namespace {

constexpr std::string_view kMask = "********";

// The protocol an FtpURL asks for, by its scheme's name: "ftp" for a URL without a scheme, or
// with one no transfer speaks (the run refuses it).
std::string FileProtocol(const std::string& url) {
    SUrlParts parts;
    const bool known = UrlSplitter().SplitRuleUrl(url, "ftp", parts) == EUrlRead::Split &&
                       FindFileScheme(parts.scheme) != nullptr;
    return known ? parts.scheme : "ftp";
}

// An encrypted upload's protocol ("sftp", "ftps", "ftpes"); empty for plain FTP and HTTP,
// whose reports stay as they were.
std::string SecureUpload(const std::string& url) {
    SUrlParts parts;
    if (UrlSplitter().SplitRuleUrl(url, "ftp", parts) != EUrlRead::Split || parts.scheme == "ftp")
        return {};
    return FindFileScheme(parts.scheme) != nullptr ? parts.scheme : "";
}

// What the reports show of a secret: an empty one as it is, any other as the mask.
class CSecrets {
  public:
    explicit CSecrets(bool show) : m_bShow(show) {}
    std::string Password(const std::string& p) const {
        return m_bShow || p.empty() ? p : std::string(kMask);
    }
    std::string Url(const std::string& url) const {
        return m_bShow ? url : UrlSplitter().MaskUrl(url);
    }

  private:
    bool m_bShow;
};

// Length of the valid UTF-8 sequence at `i`, or 0 when the bytes there are not one.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    unsigned min;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0)
        n = 2, min = 0x80;
    else if ((c & 0xF0) == 0xE0)
        n = 3, min = 0x800;
    else if ((c & 0xF8) == 0xF0)
        n = 4, min = 0x10000;
    else
        return 0;
    if (i + n > s.size()) return 0;
    unsigned cp = c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        auto d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

class CJsonObject {
  public:
    explicit CJsonObject(std::string& out) : m_out(out) { m_out += '{'; }
    ~CJsonObject() { m_out += '}'; }
    void Key(std::string_view k) {
        if (m_bAny) m_out += ',';
        m_bAny = true;
        m_out += JsonString(k) + ':';
    }
    void Str(std::string_view k, std::string_view v) { Key(k), m_out += JsonString(v); }
    void Num(std::string_view k, long v) { Key(k), m_out += std::to_string(v); }
    void Bool(std::string_view k, bool v) { Key(k), m_out += v ? "true" : "false"; }

  private:
    std::string& m_out;
    bool m_bAny = false;
};

}  // namespace

bool IsUtf8(std::string_view s) {
    for (std::size_t i = 0, n; i < s.size(); i += n)
        if ((n = Utf8Length(s, i)) == 0) return false;
    return true;
}

std::string JsonString(std::string_view s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = Utf8Length(s, i);
        if (n > 1) {
            out.append(s.substr(i, n));
            i += n;
            continue;
        }
        char buf[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F || n == 0) {
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
        ++i;
    }
    return out + "\"";
}

std::string ModelJson(const CKolvaneDocData& doc, bool upload, bool remote, bool showPasswords) {
    const CSecrets secret(showPasswords);
    std::string out;
    {
        CJsonObject root(out);
        const CCommandSection& c = doc.m_cmd;
        root.Key("command");
        {
            CJsonObject cmd(out);
            cmd.Str("template_path", c.m_strTemplatePath);
            cmd.Str("template_name", c.m_strTemplateName);
            cmd.Str("output_path", c.m_strOutputPath);
            cmd.Str("output_name", c.m_strOutputName);
            cmd.Str("errorlog_path", c.m_strErrorLogPath);
            cmd.Str("errorlog_name", c.m_strErrorLogName);
            cmd.Str("upload_url", secret.Url(c.m_strUploadUrl));
            cmd.Str("upload_userid", c.m_strUploadUserId);
            cmd.Str("upload_password", secret.Password(c.m_strUploadPassword));
            cmd.Str("upload_serverdir", c.m_strUploadServerDir);
            cmd.Str("upload_serverfile", c.m_strUploadServerFile);
            cmd.Num("interval", c.m_nInterval);
            if (upload && !SecureUpload(c.m_strUploadUrl).empty())
                cmd.Str("upload_protocol", SecureUpload(c.m_strUploadUrl));
        }
        root.Bool("upload", upload);
        root.Bool("remote", remote);
        root.Key("scanfiles");
        out += '[';
        bool first = true;
        for (const auto& f : doc.m_scanFiles) {
            if (!first) out += ',';
            first = false;
            CJsonObject o(out);
            o.Num("number", f->m_nNumber);
            o.Str("name", f->m_strName);
            o.Str("path", f->m_strPath);
            o.Bool("ftp", f->m_bFtp != 0);
            o.Bool("http", f->m_bHttp != 0);
            if (f->m_bFtp) o.Str("protocol", FileProtocol(f->m_strUrl));
            o.Str("url", secret.Url(f->m_strUrl));
            o.Str("userid", f->m_strUserId);
            o.Str("userpw", secret.Password(f->m_strUserPw));
            o.Str("serverdir", f->m_strServerDir);
            o.Str("serverfile", f->m_strServerFile);
            o.Num("next_var_no", f->m_nNextVarNo);
        }
        out += ']';
        root.Key("vars");
        out += '[';
        first = true;
        for (const auto& v : doc.m_scanVars) {
            if (v->m_nScanFile == 0) continue;  // the merge's system entries are not the rule's
            if (!first) out += ',';
            first = false;
            CJsonObject o(out);
            o.Num("scanfile", v->m_nScanFile);
            o.Num("varno", v->m_nVarNo);
            o.Str("name", v->m_szName);
            o.Num("rule", v->m_nRule);
            o.Str("start_pattern", v->m_szStartPattern);
            o.Str("end_pattern", v->m_szEndPattern);
            o.Num("copy_count", v->m_nCopyCount);
            o.Num("instance", v->m_nInstance);
            o.Num("start_line", v->m_nStartLine);
            o.Num("start_col", v->m_nStartCol);
            o.Num("end_line", v->m_nEndLine);
            o.Num("end_col", v->m_nEndCol);
        }
        out += ']';
    }
    return out;
}

std::string ModelSummary(const CKolvaneDocData& doc, bool upload, bool remote, bool showPasswords) {
    const CSecrets secret(showPasswords);
    const CCommandSection& c = doc.m_cmd;
    std::string out;
    auto line = [&out](std::string_view label, std::string_view value) {
        out.append(label).append(value).append("\n");
    };
    line("Template file:   ", JoinPath(c.m_strTemplatePath, c.m_strTemplateName));
    line("Output file:     ", JoinPath(c.m_strOutputPath, c.m_strOutputName));
    line("Error log file:  ", JoinPath(c.m_strErrorLogPath, c.m_strErrorLogName));
    line("Interval:        ", c.m_nInterval > 0 ? std::to_string(c.m_nInterval) + " seconds"
                                                : std::string("none (runs once)"));
    if (upload)
        line("Upload:          ",
             secret.Url(c.m_strUploadUrl) + " -> " + c.m_strUploadServerDir + "/" +
                 c.m_strUploadServerFile + " as " + c.m_strUploadUserId +
                 (c.m_strUploadPassword.empty()
                      ? ""
                      : " password " + secret.Password(c.m_strUploadPassword)) +
                 (SecureUpload(c.m_strUploadUrl).empty()
                      ? ""
                      : " over " + SecureUpload(c.m_strUploadUrl)));
    line("Remote files:    ", remote ? "yes" : "no");
    for (const auto& f : doc.m_scanFiles) {
        out += "Scan file " + std::to_string(f->m_nNumber) + ": " +
               JoinPath(f->m_strPath, f->m_strName);
        if (f->m_bFtp || f->m_bHttp)
            out += "  (" + (f->m_bFtp ? FileProtocol(f->m_strUrl) + " " : "http ") +
                   secret.Url(f->m_strUrl) + " " + f->m_strServerDir + "/" + f->m_strServerFile +
                   (f->m_strUserId.empty() ? "" : " as " + f->m_strUserId) +
                   (f->m_strUserPw.empty() ? "" : " password " + secret.Password(f->m_strUserPw)) +
                   ")";
        out += "\n";
        for (const auto& v : doc.m_scanVars) {
            if (v->m_nScanFile != f->m_nNumber) continue;
            const int rule = v->m_nRule;
            const std::string_view name = RuleName(rule);
            out += "    " + std::to_string(v->m_nVarNo) + ". " + v->m_szName + ": " +
                   std::string(name.empty() ? "none" : name);
            if (rule == kRuleExtract || rule == kRuleCopy)
                out += " \"" + v->m_szStartPattern + "\"" +
                       (rule == kRuleExtract ? " to \"" + v->m_szEndPattern + "\""
                                             : " +" + std::to_string(v->m_nCopyCount)) +
                       ", instance " + std::to_string(v->m_nInstance);
            if (rule == kRuleLineColumn)
                out += " line " + std::to_string(v->m_nStartLine) + " col " +
                       std::to_string(v->m_nStartCol) + " to line " +
                       std::to_string(v->m_nEndLine) + " col " + std::to_string(v->m_nEndCol);
            out += "\n";
        }
        if (f->m_nNextVarNo == 0) out += "    (variable lines refused: nothing is extracted)\n";
    }
    return out;
}

}  // namespace kolvane
