// The value a definition gives now (see value_now.h). The reason for a missing value comes from
// one function, WhyNoValue, so the page says what the runner's value report says.
#include "value_now.h"

#include <filesystem>

#include "clock.h"
#include "engine.h"
#include "file_io.h"
#include "run_host.h"
#include "text_ops.h"

namespace kolvane::editor {
namespace {

int CountLines(std::string_view text) {
    int lines = 0;
    for (char c : text) lines += c == '\n';
    if (!text.empty() && text.back() != '\n') ++lines;
    return lines;
}

std::string WhyNoValue(std::string_view scanText, const CScanVar& var) {
    switch (var.m_nRule) {
        case kRuleLineColumn: {
            const int lines = CountLines(scanText);
            if (var.m_nStartLine > lines)
                return "Line " + std::to_string(var.m_nStartLine) + " does not exist";
            if (var.m_nEndLine > lines)
                return "Line " + std::to_string(var.m_nEndLine) + " does not exist";
            return "Nothing at line " + std::to_string(var.m_nStartLine) + ", column " +
                   std::to_string(var.m_nStartCol);
        }
        case kRuleExtract:
        case kRuleCopy:
            if (var.m_szStartPattern.empty()) return "No start pattern";
            // Patterns with the notations "^^", "#" and "$$$" are not plain text.
            if (var.m_szStartPattern.find_first_of("^#$") == std::string::npos &&
                FindText(scanText, var.m_szStartPattern) == npos)
                return "Start pattern not found";
            return var.m_nRule == kRuleExtract ? "End pattern not found" : "Pattern not found";
        default:
            return "No definition";
    }
}

}  // namespace

std::string ShownValue(std::string_view value) {
    std::string out;
    int chars = 0;
    for (std::size_t i = 0; i < value.size() && chars < 200; ++i) {
        const char c = value[i];
        if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') continue;
        if (c == '\n' || c == '\r') {
            out += "\xE2\x86\xB5";
        } else {
            out.push_back(c);
            // Continuation bytes of a UTF-8 sequence are not characters of their own.
            const unsigned char u = static_cast<unsigned char>(c);
            while (u >= 0xC0 && i + 1 < value.size() &&
                   (static_cast<unsigned char>(value[i + 1]) & 0xC0) == 0x80)
                out.push_back(value[++i]);
        }
        ++chars;
    }
    return out;
}

SValueNow ValueNow(const CScanFile& file, const CScanVar& var, std::string_view ruleDir) {
    SValueNow out;
    if (var.m_nRule == kRuleNone) return out;
    std::string dir = file.m_strPath;
    if (!std::filesystem::path(dir).is_absolute() && !ruleDir.empty()) dir = JoinPath(ruleDir, dir);

    CKolvaneDocData doc;
    CNullHost host;
    CSystemClock clock;
    CKolvaneEngine engine(doc, host, clock);
    CScanFile* entry = doc.m_scanFiles.AddNewScanFile();
    entry->m_nNumber = 1;
    entry->m_nNextVarNo = 2;
    CScanVar* copy = doc.m_scanVars.AddNewVar();
    *copy = var;
    copy->m_nScanFile = 1;
    copy->m_nVarNo = 1;
    copy->m_pszValue.reset();
    CTextBuffer scan;
    switch (ReadWholeFile(CKolvaneEngine::FullPath(dir, file.m_strName), kMaxFileSize, scan)) {
        case EReadResult::Ok:
            break;
        case EReadResult::OpenFailed:
            out.text = "Scan file not found";
            return out;
        case EReadResult::Empty:
            out.text = "Scan file is empty";
            return out;
        case EReadResult::TooBig:
            out.text = "Scan file is bigger than 480000 bytes";
            return out;
        case EReadResult::ReadFailed:
            out.text = "Scan file cannot be read";
            return out;
    }
    if (scan.Text().find('\n') == npos) {
        out.text = "Scan file has no line end";
        return out;
    }
    engine.SetScanText(scan.Text());
    engine.ExtractScanVars(*entry);
    if (copy->m_pszValue) {
        out.found = true;
        out.text = ShownValue(*copy->m_pszValue);
    } else {
        out.text = WhyNoValue(scan.Text(), var);
    }
    return out;
}

}  // namespace kolvane::editor
