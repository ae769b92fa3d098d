// The value a definition gives now (see value_now.h): the engine reads the scan file and
// extracts the one variable as a run does; the reason for a missing value is the engine's.
#include "editor/value_now.h"

#include <filesystem>

#include "engine/clock.h"
#include "engine/engine.h"
#include "engine/run_host.h"
#include "engine/text_ops.h"
#include "engine/value_outcome.h"

namespace kolvane::editor {

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

SValueNow ValueNowOf(const CScanFile& file, const CScanVar& var, std::string_view ruleDir) {
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
    SValueOutcome outcome;
    if (!engine.ReadScanFile(dir, file.m_strName)) {
        outcome = engine.LastScanRead();
    } else {
        const bool found = engine.ExtractScanVars(*entry) == 0;
        outcome = copy->m_outcome;
        if (found) {
            out.found = true;
            out.text = ShownValue(*copy->m_pszValue);
            return out;
        }
    }
    // The runner's value report says the same words; the field starts them with a capital.
    out.text = ValueOutcomeText(outcome);
    if (!out.text.empty() && out.text[0] >= 'a' && out.text[0] <= 'z') out.text[0] -= 'a' - 'A';
    return out;
}

}  // namespace kolvane::editor
