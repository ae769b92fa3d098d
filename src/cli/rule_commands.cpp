// --check and --write-rule: reading a rule without running it.
#include <cstdio>
#include <string_view>

#include "engine/clock.h"
#include "cli/commands.h"
#include "cli/console_host.h"
#include "engine/engine.h"
#include "cli/model_report.h"
#include "engine/shown_text.h"
#include "settings/settings.h"

namespace kolvane {
namespace {

// Entries the parse would write to the error log go to standard error instead.
void EntryToStderr(std::string_view entry) {
    std::fwrite(entry.data(), 1, entry.size(), stderr);
    std::fflush(stderr);
}

// A rule that parses but had a variable line refused runs without any value of that scan file:
// the check names what was refused.
void ListRefusedVariables(const CKolvaneDocData& doc) {
    for (const auto& f : doc.m_scanFiles) {
        if (f->m_nNextVarNo != 0) continue;
        const std::string section = "&scanfile" + std::to_string(f->m_nNumber);
        bool named = false;
        for (const auto& v : doc.m_scanVars) {
            if (v->m_nScanFile != f->m_nNumber || v->m_nRule != kRuleNone) continue;
            std::fprintf(stderr, "kolvane-run: refused variable %s in %s\n",
                         EscapeControls(v->m_szName).c_str(), section.c_str());
            named = true;
        }
        if (!named)
            std::fprintf(stderr, "kolvane-run: refused variable line in %s\n", section.c_str());
        std::fprintf(stderr, "kolvane-run: no variable of %s gets a value\n", section.c_str());
    }
}

}  // namespace

int DateStyleFor(const SOptions& options) {
    if (options.dateStyle >= 0) return options.dateStyle;
    // The desktop program's choice; 1 (U.S.) without a settings file.
    const int stored = settings::LoadPreferences().m_nDateDisplay;
    settings::Close();
    return stored != 0 ? 1 : 0;
}

SConsoleRule::SConsoleRule(const SOptions& options) {
    doc.m_strRulePath = options.rulePath;
    doc.m_nDateDisplay = DateStyleFor(options);
}

int RunCheck(const SOptions& options) {
    SConsoleRule rule(options);
    CKolvaneEngine& engine = rule.engine;
    engine.FormatSysDate();
    engine.FormatSysTime();
    engine.m_bOpenErrorLog = false;
    engine.SetEntrySink(EntryToStderr);
    if (!engine.ReadRuleFile()) return kExitRefused;
    int parsed = engine.ParseRuleFile();
    engine.ReleaseRuleText();
    if (!parsed) return kExitRefused;
    const CKolvaneDocData& doc = rule.doc;
    const bool show = options.showPasswords;
    std::string report =
        options.json ? ModelJson(doc, engine.m_bUpload, engine.m_bRemote, show) + "\n"
                     : EscapeControls(ModelSummary(doc, engine.m_bUpload, engine.m_bRemote, show),
                                      ELineBreaks::Keep);  // names, patterns: any byte
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
    if (!doc.m_scanFiles.AnyVarLinesRefused() && engine.SeriousEntries() == 0) return kExitOk;
    ListRefusedVariables(doc);
    return kExitFailed;
}

int RunWriteRule(const SOptions& options) {
    SConsoleRule rule(options);
    CKolvaneEngine& engine = rule.engine;
    engine.SetEntrySink(EntryToStderr);
    if (!engine.ReadRuleFile()) return kExitRefused;  // refuses a rule others may write
    engine.m_bEditing = true;
    engine.ParseRuleFile();
    engine.ReleaseRuleText();
    rule.doc.m_strRulePath = options.writeTarget;
    return engine.WriteRuleFile() ? kExitOk : kExitRefused;
}

}  // namespace kolvane
