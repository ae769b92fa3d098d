// Fuzz target: an arbitrary template merged with a fixed set of variables: values and no values,
// two names that differ only in letter case, a value that itself looks like a marker, a name too
// long for a marker, and the date system entry already in the table (the merge adds the time).
// The output goes to out.htm in a scratch directory, replaced on every run. Checks: the output is
// written whole or not at all (a failed merge leaves the previous output and no temporary file),
// a template without "%%" is copied as it is, and a second merge on the same engine (the next
// scheduled run) writes the same output.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "fuzz_support.h"

namespace kolvane::fuzz {
namespace {

void AddVar(CKolvaneDocData& doc, int file, int no, std::string name,
            std::optional<std::string> value) {
    CScanVar* v = doc.m_scanVars.AddNewVar();
    v->m_nScanFile = file;
    v->m_nVarNo = no;
    v->m_nRule = kRuleExtract;
    v->m_szName = std::move(name);
    v->m_pszValue = std::move(value);
}

std::optional<std::string> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void CheckOnlyOutputLeft(const std::string& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        FUZZ_CHECK(entry.path().filename() == "out.htm", entry.path().string());
}

}  // namespace
}  // namespace kolvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kolvane;
    using namespace kolvane::fuzz;
    const std::string_view tmpl(reinterpret_cast<const char*>(data), size);
    const std::string& dir = ScratchDir();
    const std::string out = dir + "/out.htm";
    static std::optional<std::string> previous;  // what out.htm holds before this run

    SEngine e;
    e.doc.m_cmd.m_strOutputPath = dir;
    e.doc.m_cmd.m_strOutputName = "out.htm";
    AddVar(e.doc, 1, 1, "Price", "12.50");
    AddVar(e.doc, 1, 2, "PRICE", "shadowed");
    AddVar(e.doc, 1, 3, "Missing", std::nullopt);
    AddVar(e.doc, 1, 4, "Blank", "");
    AddVar(e.doc, 1, 5, "Nested", "%%Price%% 100%");
    AddVar(e.doc, 2, 1, std::string(kMaxName + 1, 'L'), "too long");
    AddVar(e.doc, 2, 2, "a%%b", "inner");
    CScanVar* date = e.doc.m_scanVars.AddNewVar();
    date->m_nScanFile = 0, date->m_nVarNo = 1, date->m_szMarker = "%%SYSDATE%%";

    e.engine.SetTemplateText(tmpl);
    const int result = e.engine.MergeTemplate();
    CheckOnlyOutputLeft(dir);
    const std::optional<std::string> written = ReadAll(out);
    if (result != 1) {
        FUZZ_CHECK(written == previous, "a failed merge keeps the previous output");
        return 0;
    }
    FUZZ_CHECK(written.has_value(), "a merge that succeeds writes its output");
    const std::string_view text = tmpl.substr(0, tmpl.find('\0'));
    if (text.find("%%") == std::string_view::npos)
        FUZZ_CHECK(*written == text, *written);

    FUZZ_CHECK(e.engine.MergeTemplate() == 1, "the next run's merge succeeds as well");
    CheckOnlyOutputLeft(dir);
    FUZZ_CHECK(ReadAll(out) == written, "the next run's merge writes the same output");
    previous = written;
    return 0;
}
