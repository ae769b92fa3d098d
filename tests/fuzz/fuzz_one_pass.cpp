// Fuzz target: variable definitions (the texts after "NAME=" on variable lines, up to 2000),
// separated by 0xFE bytes, then a 0xFF byte and a scan text. The definitions the reader accepts are
// extracted from the scan text together, in one pass, on every vector unit the machine has;
// each must give exactly the value and the outcome the variable gives alone on the reference
// extraction (each variable walking the text by itself).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/extract_value.h"
#include "engine/file_io.h"
#include "fuzz_support.h"
#include "reference_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kolvane;
    using namespace kolvane::fuzz;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\xFF');
    if (cut == std::string_view::npos) return 0;
    std::string_view definitions = input.substr(0, cut);
    const SScanText scan(input.substr(cut + 1));
    // The run's own reading finds the same end and line-end style.
    CTextBuffer buffer;
    buffer.Set(input.substr(cut + 1));
    FUZZ_CHECK(buffer.Text() == scan.text && buffer.Crlf() == scan.crlf, "end or line-end style");

    SEngine e;
    std::vector<std::unique_ptr<CScanVar>> vars;
    while (vars.size() < 2000) {
        const std::size_t end = definitions.find('\xFE');
        auto var = std::make_unique<CScanVar>();
        if (e.engine.ParseScanVarRule(definitions.substr(0, end), *var, "V"))
            vars.push_back(std::move(var));
        if (end == std::string_view::npos) break;
        definitions.remove_prefix(end + 1);
    }
    std::vector<const CScanVar*> list;
    std::vector<SExtraction> wanted;
    for (const auto& var : vars) {
        list.push_back(var.get());
        wanted.push_back(reference::ReferenceExtractValue(*var, scan));
    }

    for (EMultiPath path : {EMultiPath::Direct, EMultiPath::Ssse3, EMultiPath::Avx2}) {
        if (!MultiPathSupported(path)) continue;
        CScanExtractor extractor(scan, list, path);
        for (std::size_t i = 0; i < list.size(); ++i) {
            const SExtraction got = extractor.Extract(i);
            const SExtraction& want = wanted[i];
            const std::string which =
                "variable " + std::to_string(i) + " on path " + std::to_string(int(path)) + ": " +
                ValueOutcomeText(got.outcome) + " against " + ValueOutcomeText(want.outcome);
            FUZZ_CHECK(got.value == want.value, which);
            FUZZ_CHECK(ValueOutcomeText(got.outcome) == ValueOutcomeText(want.outcome), which);
        }
    }
    return 0;
}
