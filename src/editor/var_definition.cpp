// Scan variable fields to model and back (see var_definition.h).
#include "editor/var_definition.h"

#include <algorithm>
#include <climits>

#include "engine/text_ops.h"

namespace kolvane::editor {

SVarShown ShowVariable(const CScanVar& var) {
    SVarShown out;
    SVarFields& f = out.fields;
    SVarEnabled& e = out.enabled;
    f.name = var.m_szName;
    auto number = [](int n) { return n < 0 ? 0u : unsigned(n); };
    switch (var.m_nRule) {
        case kRuleLineColumn:
            f.startLine = number(var.m_nStartLine);
            f.startCol = number(var.m_nStartCol);
            f.endLine = number(var.m_nEndLine);
            f.endCol = number(var.m_nEndCol);
            f.instance = 1;
            e.lineColumn = true;
            break;
        case kRuleExtract:
        case kRuleCopy:
            f.startPattern = var.m_szStartPattern;
            if (var.m_nRule == kRuleCopy) {
                f.rule = "??" + std::to_string(var.m_nCopyCount) + "??";
            } else {
                f.rule = "????";
                f.endPattern = var.m_szEndPattern;
                e.endPattern = true;
            }
            f.instance = var.m_nInstance;
            e.startPattern = e.rule = e.instance = true;
            break;
        default:
            f.rule = "?All?";
            e.rule = true;
            f.instance = 1;
            break;
    }
    return out;
}

std::string NormalizeRule(std::string_view rule) {
    if (EqualFolded(rule, "?all?")) return "?All?";
    return std::string(rule);
}

bool IsWholeFileRule(std::string_view rule) {
    return EqualFolded(rule, "?all?");
}

bool IsCopyRule(std::string_view rule) {
    bool digit = false;
    for (char c : rule) digit = digit || IsDigit(c);
    std::size_t q = rule.find_first_not_of('?');
    if (q == std::string_view::npos) q = rule.size();
    return digit && q == 2;
}

bool ReadPatternRule(std::string_view rule, int& kind, int& copyCount) {
    bool digit = false;
    for (char c : rule) {
        if (c != '?' && !IsDigit(c)) return false;
        digit = digit || IsDigit(c);
    }
    if (!digit) {
        kind = kRuleExtract;
        copyCount = 0;
        return true;
    }
    kind = kRuleCopy;
    long long n = 0;
    for (std::size_t i = rule.find_first_not_of('?'); i < rule.size() && IsDigit(rule[i]); ++i)
        n = std::min<long long>(n * 10 + (rule[i] - '0'), INT_MAX);
    copyCount = static_cast<int>(n);
    return true;
}

std::optional<std::string> StoreVariable(SVarFields& f, bool cleared, CScanVar* var) {
    f.rule = NormalizeRule(f.rule);
    if (cleared)
        return "You just cleared the variable and haven't defined a new\nline-column or pattern "
               "expression!  Do one or the other.";
    if (!var) return std::nullopt;
    if (f.name.empty()) return "Variable field may NOT be left Empty!";
    if (f.endLine < f.startLine) return "End Row MUST be greater than or equal to Start Row!";
    if (f.endLine == f.startLine && f.startCol > f.endCol)
        return "End Column MUST be greater than or equal to Start Column!";
    int kind = 0, copyCount = 0;
    const bool lineColumn = f.startLine > 0 || f.startCol > 0;
    if (!lineColumn && !IsWholeFileRule(f.rule) && !ReadPatternRule(f.rule, kind, copyCount))
        return "Pattern rule MUST be of the form ???? or ??XXX?? where each X is a digit!";

    var->m_szName = f.name;
    auto clamp = [](unsigned n) { return n > unsigned(INT_MAX) ? INT_MAX : int(n); };
    if (lineColumn) {
        var->m_nRule = kRuleLineColumn;
        var->m_nStartLine = clamp(f.startLine);
        var->m_nStartCol = clamp(f.startCol);
        var->m_nEndLine = clamp(f.endLine);
        var->m_nEndCol = clamp(f.endCol);
        var->m_szStartPattern.clear();
        var->m_szEndPattern.clear();
        var->m_nInstance = 0;
        return std::nullopt;
    }
    var->m_nStartLine = var->m_nStartCol = var->m_nEndLine = var->m_nEndCol = 0;
    if (IsWholeFileRule(f.rule)) {
        var->m_nRule = kRuleWholeFile;
        var->m_szStartPattern.clear();
        var->m_szEndPattern.clear();
        var->m_nInstance = 0;
        return std::nullopt;
    }
    var->m_nRule = kind;
    var->m_nCopyCount = copyCount;
    var->m_szStartPattern = f.startPattern;
    var->m_szEndPattern = f.endPattern;
    var->m_nInstance = f.instance;
    return std::nullopt;
}

}  // namespace kolvane::editor
