// Fuzz target: one variable definition (the text after "NAME=" on a variable line) and a scan
// text, split at the first 0xFF byte; without one the whole input is the definition and the scan
// text is empty. The definition goes through ParseScanVarRule; when it is accepted the variable
// is extracted from the scan text. Checks: a copied value is never longer than its count, a
// pattern value holds no line break, a line-column value is a piece of the scan text, and a
// whole-file value is the whole text; the recorded outcome says found exactly when there is a
// value. The patterns are also searched for in the scan text along every search path the machine
// has (scalar, SSE2, AVX2): all of them must agree.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "engine/text_ops.h"

namespace kolvane::fuzz {
namespace {

// Every search path the machine has finds what the plain byte loop finds, from the start and
// from just after each of the first few hits.
void CheckSearchPaths(std::string_view text, std::string_view what) {
    static constexpr EFindPath kPaths[] = {EFindPath::Sse2, EFindPath::Avx2};
    std::size_t from = 0;
    for (int hit = 0; hit < 4 && from <= text.size(); ++hit) {
        const std::size_t expected = FindTextOn(EFindPath::Scalar, text, what, from);
        for (EFindPath path : kPaths)
            if (FindPathSupported(path))
                FUZZ_CHECK(FindTextOn(path, text, what, from) == expected,
                           std::string(what) + " from " + std::to_string(from) + " path " +
                               std::to_string(int(path)));
        if (expected == npos) break;
        from = expected + 1;
    }
}

}  // namespace
}  // namespace kolvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kolvane;
    using namespace kolvane::fuzz;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\xFF');
    const std::string_view definition = input.substr(0, cut);
    const std::string_view scan =
        cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);

    SEngine e;
    CScanFile* file = e.doc.m_scanFiles.AddNewScanFile();
    file->m_nNumber = 1;
    file->m_nNextVarNo = 2;
    CScanVar* var = e.doc.m_scanVars.AddNewVar();
    var->m_nScanFile = 1;
    var->m_nVarNo = 1;
    var->m_szName = "Value";
    if (!e.engine.ParseScanVarRule(definition, *var, var->m_szName)) return 0;

    e.engine.SetScanText(scan);
    const std::string_view text = scan.substr(0, scan.find('\0'));  // the text ends at a NUL
    CheckSearchPaths(text, var->m_szStartPattern);
    CheckSearchPaths(text, var->m_szEndPattern);
    const int withoutValue = e.engine.ExtractScanVars(*file);
    FUZZ_CHECK(withoutValue == (var->m_pszValue ? 0 : 1), "the count of variables without a value");
    FUZZ_CHECK((var->m_outcome.kind == EValueOutcome::Found) == var->m_pszValue.has_value(),
               "a value exactly when the outcome says found: " + ValueOutcomeText(var->m_outcome));
    if (!var->m_pszValue) return 0;

    const std::string& value = *var->m_pszValue;
    switch (var->m_nRule) {
        case kRuleWholeFile:
            FUZZ_CHECK(value == text, value);
            break;
        case kRuleLineColumn:
            FUZZ_CHECK(!value.empty() && text.find(value) != std::string_view::npos, value);
            break;
        case kRuleCopy:
            FUZZ_CHECK(value.size() <= static_cast<std::size_t>(var->m_nCopyCount), value);
            [[fallthrough]];
        case kRuleExtract:
            FUZZ_CHECK(value.find_first_of("\r\n") == std::string::npos, value);
            FUZZ_CHECK(value.size() <= text.size(), value);
            break;
        default:
            Fail("a value from a variable without a rule", value);
    }
    return 0;
}
