// Fuzz target: arbitrary bytes as a rule text, parsed as a run parses it and as the rule editor
// parses it (tolerant mode). Besides the sanitizers it checks what every parse must leave behind:
// the editor's parse never fails and never shows a message box, and the model is well formed
// (scan files numbered 1..n, each variable's numbers consecutive within its scan file, names and
// patterns within their capacities, only the known rule kinds).
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "fuzz_support.h"

namespace kolvane::fuzz {
namespace {

void CheckModel(const CKolvaneDocData& doc) {
    std::map<int, int> lastVarNo;  // scan-file number -> last variable number seen
    int expected = 1;
    for (const auto& f : doc.m_scanFiles) {
        FUZZ_CHECK(f->m_nNumber == expected, "scan files are numbered 1..n");
        FUZZ_CHECK(!(f->m_bFtp && f->m_bHttp), "a scan file is fetched one way");
        lastVarNo[f->m_nNumber] = 0;
        ++expected;
    }
    FUZZ_CHECK(doc.m_cmd.m_nInterval >= 0, std::to_string(doc.m_cmd.m_nInterval));
    for (const auto& v : doc.m_scanVars) {
        auto it = lastVarNo.find(v->m_nScanFile);
        FUZZ_CHECK(it != lastVarNo.end(), "a variable belongs to a scan file of the model");
        FUZZ_CHECK(v->m_nVarNo == it->second + 1, v->m_szName);
        it->second = v->m_nVarNo;
        FUZZ_CHECK(v->m_szName.size() <= kMaxName, v->m_szName);
        FUZZ_CHECK(v->m_szStartPattern.size() <= kMaxPattern, v->m_szStartPattern);
        FUZZ_CHECK(v->m_szEndPattern.size() <= kMaxPattern, v->m_szEndPattern);
        const int r = v->m_nRule;
        FUZZ_CHECK(r == kRuleNone || r == kRuleExtract || r == kRuleCopy || r == kRuleLineColumn ||
                       r == kRuleWholeFile,
                   std::to_string(r));
        FUZZ_CHECK(v->m_nCopyCount >= 0 && v->m_nInstance >= 0, v->m_szName);
    }
    for (const auto& f : doc.m_scanFiles) {
        // The next number is one past the last variable, or 0 when the lines were cut short.
        const int last = lastVarNo[f->m_nNumber];
        FUZZ_CHECK(f->m_nNextVarNo == 0 || f->m_nNextVarNo == last + 1, f->m_strName);
    }
}

}  // namespace
}  // namespace kolvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kolvane;
    using namespace kolvane::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (bool editing : {false, true}) {
        SEngine e(editing);
        e.engine.SetRuleText(text);
        const int result = e.engine.ParseRuleFile();
        e.engine.ReleaseRuleText();
        if (editing) {
            FUZZ_CHECK(result == 1, "the editor's parse never fails");
            FUZZ_CHECK(e.host.m_nMessages == 0, "the editor's parse shows no message box");
        }
        if (result == 1 || editing) CheckModel(e.doc);
        if (result == 1 && !editing) {
            const CCommandSection& c = e.doc.m_cmd;
            for (const std::string* s : {&c.m_strTemplateName, &c.m_strTemplatePath,
                                         &c.m_strOutputName, &c.m_strOutputPath,
                                         &c.m_strErrorLogName, &c.m_strErrorLogPath})
                FUZZ_CHECK(s->size() <= kMaxKeyValue, *s);
        }
    }
    return 0;
}
