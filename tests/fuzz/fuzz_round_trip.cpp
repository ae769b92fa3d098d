// Fuzz target: a rule text read in the editor's tolerant mode, written back by WriteRuleFile and
// read again. The written file is always accepted; when the first model has none of the writer's
// known losses, the second model is the same (compared as the check mode's JSON). A rule that a
// run accepts gives the editor the same model, and its written form is accepted by a run as well.
//
// The writer's losses, for which equality is not asserted:
//  - a name or pattern holding "&&", a name holding "=", a start pattern holding "??", an end
//    pattern holding "::", an untrimmed name or pattern (each reads back differently);
//  - a variable without a rule (dropped), a scan file whose variable lines were cut short
//    (next number 0), a line-column variable with a copy count (not written);
//  - an upload or FTP field given empty (not written: read back as the default, or as
//    missing);
//  - a value that holds the text of a key or section header (found in its place on re-read).
// The written form of a rule near the size limit can pass it (every line gets CR LF, every
// pattern "::" and its instance); the reader refuses it as too big.
// A rule that a run accepts without a first scan file is written with no &scanfile section,
// which a run refuses; its model still reads back the same in the editor.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "cli/model_report.h"
#include "engine/text_ops.h"

namespace kolvane::fuzz {
namespace {

bool Untrimmed(const std::string& s) {
    return TrimView(s).size() != s.size();
}

bool HoldsKey(std::string_view value) {
    static constexpr std::string_view kKeys[] = {
        "&command", "scanfile", "templatefile", "outputfile", "errorlogfile", "reschedule",
        "ftpurl",   "httpurl",  "userid",       "userpw",     "serverdir",    "serverfile",
        "password"};
    for (std::string_view k : kKeys)
        if (FindText(value, k) != npos) return true;
    return false;
}

// True when the model has a feature that the writer does not carry over.
bool Lossy(const CKolvaneDocData& doc, bool upload) {
    const CCommandSection& c = doc.m_cmd;
    for (const std::string* s :
         {&c.m_strTemplateName, &c.m_strTemplatePath, &c.m_strOutputName, &c.m_strOutputPath,
          &c.m_strErrorLogName, &c.m_strErrorLogPath, &c.m_strUploadUrl, &c.m_strUploadUserId,
          &c.m_strUploadPassword, &c.m_strUploadServerDir, &c.m_strUploadServerFile})
        if (HoldsKey(*s)) return true;
    if (upload && (c.m_strUploadUrl.empty() || c.m_strUploadUserId.empty() ||
                   c.m_strUploadServerFile.empty()))
        return true;
    for (const auto& f : doc.m_scanFiles) {
        if (f->m_nNextVarNo == 0) return true;
        if (f->m_bHttp && f->m_strUrl.empty()) return true;
        if (f->m_bFtp &&
            (f->m_strUrl.empty() || f->m_strUserId.empty() || f->m_strServerFile.empty()))
            return true;
        for (const std::string* s : {&f->m_strName, &f->m_strPath, &f->m_strUrl, &f->m_strUserId,
                                     &f->m_strUserPw, &f->m_strServerDir, &f->m_strServerFile})
            if (HoldsKey(*s)) return true;
    }
    for (const auto& v : doc.m_scanVars) {
        const std::string& name = v->m_szName;
        const std::string& start = v->m_szStartPattern;
        const std::string& end = v->m_szEndPattern;
        if (v->m_nRule == kRuleNone) return true;
        if (HoldsKey(name) || name.find("&&") != npos || name.find('=') != npos ||
            Untrimmed(name))
            return true;
        if (v->m_nRule == kRuleLineColumn) {
            if (v->m_nCopyCount != 0) return true;
            continue;
        }
        if (v->m_nRule != kRuleExtract && v->m_nRule != kRuleCopy) continue;
        if (start.find("&&") != npos || start.find("??") != npos || Untrimmed(start) ||
            HoldsKey(start))
            return true;
        if (v->m_nRule == kRuleExtract && (end.find("&&") != npos || end.find("::") != npos ||
                                           Untrimmed(end) || HoldsKey(end)))
            return true;
    }
    return false;
}

struct SParsed {
    SEngine e;
    int result = 0;
    std::string json;
    SParsed(bool editing, std::string_view text, const std::string* path) : e(editing) {
        if (path) {
            e.doc.m_strRulePath = *path;
            if (!e.engine.ReadRuleFile()) return;
        } else {
            e.engine.SetRuleText(text);
        }
        result = e.engine.ParseRuleFile();
        e.engine.ReleaseRuleText();
        json = ModelJson(e.doc, e.engine.m_bUpload, e.engine.m_bRemote, true);
    }
};

}  // namespace
}  // namespace kolvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kolvane;
    using namespace kolvane::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string path = ScratchDir() + "/rule.rul";

    SParsed first(true, text, nullptr);
    FUZZ_CHECK(first.result == 1, "the editor accepts any text");
    SParsed run(false, text, nullptr);
    if (run.result == 1) FUZZ_CHECK(run.json == first.json, run.json + "\n" + first.json);

    first.e.doc.m_strRulePath = path;
    FUZZ_CHECK(first.e.engine.WriteRuleFile() == 1, "the rule file is written");
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) > kMaxFileSize) return 0;  // too big to read back
    SParsed second(true, {}, &path);
    FUZZ_CHECK(second.result == 1, "the written rule file is read back");
    if (Lossy(first.e.doc, first.e.engine.m_bUpload)) return 0;
    FUZZ_CHECK(second.json == first.json, first.json + "\n" + second.json);
    // A rule without a first scan file is accepted by a run, but its written form has no
    // &scanfile section at all, which a run refuses.
    if (run.result == 1 && !first.e.doc.m_scanFiles.empty()) {
        SParsed again(false, {}, &path);
        FUZZ_CHECK(again.result == 1, "a rule a run accepts is accepted after the rewrite");
    }
    return 0;
}
