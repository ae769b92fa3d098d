// --values: every variable's value, or why it has none, without writing anything. The rule is
// read, the remote scan files are fetched into temporary files (each fetch's entries are kept
// for the files that did not come) and every scan file is read and extracted as a run does; the
// reasons are the ones the extraction recorded (value_outcome.h). The template's markers that
// no variable names are listed after the rows.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "cli/commands.h"
#include "cli/look_rule.h"
#include "cli/model_report.h"
#include "engine/shown_text.h"
#include "engine/text_ops.h"
#include "run/transfer_loader.h"

namespace kolvane {
namespace {

// A rule kind's name in the report; "-" for a variable without a rule.
std::string KindText(int rule) {
    const std::string_view name = RuleName(rule);
    return name.empty() ? "-" : std::string(name);
}

// Length of the character at `i`: a valid UTF-8 sequence, else one byte.
std::size_t CharLength(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return n > 1 && i + n <= s.size() && IsUtf8(s.substr(i, n)) ? n : 1;
}

// A value in a row: in quotes, at most 60 characters, line breaks and other control characters
// and bytes that are not UTF-8 written as escapes; a longer value is cut with "…" and its
// length.
std::string ShownValue(std::string_view v) {
    constexpr std::size_t kShown = 60;
    std::string out = "\"";
    std::size_t chars = 0;
    bool cut = false;
    for (std::size_t i = 0, n; i < v.size(); i += n, ++chars) {
        n = CharLength(v, i);
        if (chars == kShown) cut = true;
        if (cut) continue;
        const auto c = static_cast<unsigned char>(v[i]);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && n == 1)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out.append(v.substr(i, n));
        }
    }
    out += '"';
    if (cut) out += "… (" + std::to_string(chars) + " characters)";
    return out;
}

std::string Base64(std::string_view bytes) {
    static const char* const kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

// The template's markers, walked as the merge walks them, that no variable (and neither system
// marker) names; each once, in order. A "%%" without a closing one ends the walk and is listed
// with the text after it.
std::vector<std::string> UnfilledMarkers(std::string_view text, const CScanVarList& vars) {
    std::set<std::string> named = {"%%sysdate%%", "%%systime%%"}, listed;
    for (const auto& var : vars)
        if (var->m_nScanFile > 0 && var->m_szName.size() <= kMaxName)
            named.insert(FoldedCopy("%%" + var->m_szName + "%%"));
    std::vector<std::string> unfilled;
    for (std::size_t pos = 0;;) {
        const std::size_t open = text.find("%%", pos);
        if (open == npos) break;
        const std::size_t close = text.find("%%", open + 1);
        if (close == npos) {
            unfilled.push_back(std::string(text.substr(open, 20)) + " (no closing %%)");
            break;
        }
        const std::string_view marker = text.substr(open, close + 2 - open);
        const std::string key = FoldedCopy(marker);
        if ((marker.size() >= kMarkerBuffer || !named.count(key)) && listed.insert(key).second)
            unfilled.emplace_back(marker);
        pos = close + 2;
    }
    return unfilled;
}

// The fetch pass, one scan file at a time so that a file that did not come records the
// entries its fetch wrote; the numbers of those files. The transfer module is loaded for the
// first remote file; when it cannot be, that entry is the reason of every remote file.
std::set<int> FetchRemoteScanFilesForValues(CLookRule& rule) {
    std::set<int> missing;
    CKolvaneEngine& engine = rule.engine;
    IRemoteTransfer* transfer = nullptr;
    std::string loadFailure;
    for (auto& file : rule.doc.m_scanFiles) {
        CScanFile& f = *file;
        if (!rule.Remote(f)) continue;
        const std::size_t before = rule.Entries().size();
        if (!transfer && loadFailure.empty()) {
            transfer = RemoteTransfer(engine);
            if (!transfer && rule.Entries().size() > before)
                loadFailure = EntryText(rule.Entries().back());
        }
        if (transfer) transfer->FetchScanFile(rule.doc.m_scanFiles, f, engine);
        std::error_code ec;
        if (std::filesystem::exists(JoinPath(f.m_strPath, f.m_strName), ec)) continue;
        SValueOutcome why;
        why.kind = EValueOutcome::FetchFailed;
        for (std::size_t i = before; i < rule.Entries().size(); ++i)
            why.detail += (why.detail.empty() ? "" : " ") + EntryText(rule.Entries()[i]);
        if (why.detail.empty()) why.detail = loadFailure;
        if (why.detail.empty()) why.detail = "nothing came for " + f.m_strServerFile;
        engine.SetScanFileOutcome(f, why);
        missing.insert(f.m_nNumber);
    }
    if (transfer) transfer->EndSession(rule.doc.m_scanFiles);
    return missing;
}

void ScanEveryFile(CLookRule& rule, const std::set<int>& notFetched) {
    CKolvaneEngine& engine = rule.engine;
    engine.m_nScanCount = static_cast<int>(rule.doc.m_scanFiles.size());
    engine.m_nScanIndex = 0;
    for (auto& file : rule.doc.m_scanFiles) {
        CScanFile& f = *file;
        if (notFetched.count(f.m_nNumber)) {
            // Its variables already say why.
        } else if (engine.ReadScanFile(f.m_strPath, f.m_strName)) {
            engine.ScanFileVars(f, f.m_strName);
            engine.ReleaseScanText();
        } else {
            SValueOutcome why = engine.LastScanRead();
            why.detail = rule.ShownPath(f);
            engine.SetScanFileOutcome(f, why);
        }
        ++engine.m_nScanIndex;
    }
}

std::string TextReport(const CKolvaneDocData& doc, const std::vector<std::string>& unfilled) {
    std::size_t width = 8;
    for (const auto& var : doc.m_scanVars)
        if (var->m_nScanFile > 0)
            width = std::max(width, std::min<std::size_t>(var->m_szName.size(), 24));
    std::string out;
    for (const auto& var : doc.m_scanVars) {
        if (var->m_nScanFile <= 0) continue;
        char head[64];
        std::snprintf(head, sizeof head, "%4d  ", var->m_nScanFile);
        out += head + EscapeControls(var->m_szName) +
               std::string(width - std::min(width, var->m_szName.size()) + 2, ' ');
        const std::string kind = KindText(var->m_nRule);
        out += kind + std::string(13 - kind.size(), ' ');
        out += var->m_pszValue ? ShownValue(*var->m_pszValue)
                               : "no value: " + EscapeControls(ValueOutcomeText(var->m_outcome));
        out += '\n';
    }
    if (!unfilled.empty()) {
        out += "\nMarkers no variable fills:\n";
        for (const auto& m : unfilled) out += "      " + m + "\n";
    }
    return out;
}

std::string JsonReport(const CKolvaneDocData& doc, const std::vector<std::string>& unfilled) {
    std::string out = "{\"rule\":" + JsonString(doc.m_strRulePath) + ",\"variables\":[";
    bool first = true;
    for (const auto& var : doc.m_scanVars) {
        if (var->m_nScanFile <= 0) continue;
        out += first ? "{" : ",{";
        first = false;
        out += "\"scan_file\":" + std::to_string(var->m_nScanFile) +
               ",\"name\":" + JsonString(var->m_szName) +
               ",\"rule\":" + JsonString(KindText(var->m_nRule)) + ",\"value\":";
        if (var->m_pszValue) {
            out += JsonString(*var->m_pszValue);
            if (!IsUtf8(*var->m_pszValue))
                out += ",\"value_base64\":\"" + Base64(*var->m_pszValue) + "\"";
        } else {
            out += "null,\"reason\":" + JsonString(ValueOutcomeText(var->m_outcome));
        }
        out += "}";
    }
    out += "],\"unfilled_markers\":[";
    for (std::size_t i = 0; i < unfilled.size(); ++i)
        out += (i ? "," : "") + JsonString(unfilled[i]);
    return out + "]}\n";
}

}  // namespace

int RunValues(const SOptions& options) {
    CLookRule rule(options, /*echoEntries=*/false);
    return rule.Guarded([&] {
        if (!rule.Load()) return int(kExitRefused);
        if (!rule.FetchIntoTemporaryFiles()) return int(kExitFailed);
        ScanEveryFile(rule, FetchRemoteScanFilesForValues(rule));
        rule.host.ClearStatusLine();
        const std::vector<std::string> unfilled =
            UnfilledMarkers(rule.engine.Template(), rule.doc.m_scanVars);
        const std::string report =
            options.json ? JsonReport(rule.doc, unfilled) : TextReport(rule.doc, unfilled);
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::fflush(stdout);
        bool all = unfilled.empty();
        for (const auto& var : rule.doc.m_scanVars)
            all = all && (var->m_nScanFile <= 0 || var->m_pszValue.has_value());
        return int(all ? kExitOk : kExitFailed);
    });
}

}  // namespace kolvane
