// --check and --write-rule: reading a rule without running it.
#include <cstdio>
#include <string_view>

#include "clock.h"
#include "commands.h"
#include "console_host.h"
#include "engine.h"
#include "model_report.h"
#include "user_settings.h"

namespace kolvane {
namespace {

// Entries the parse would write to the error log go to standard error instead.
void EntryToStderr(std::string_view entry) {
    std::fwrite(entry.data(), 1, entry.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

int DateStyleFor(const SOptions& options) {
    if (options.dateStyle >= 0) return options.dateStyle;
    return ReadDateDisplaySetting(UserSettingsPath()).value_or(1);
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
    std::string report = options.json ? ModelJson(doc, engine.m_bUpload, engine.m_bRemote) + "\n"
                                      : ModelSummary(doc, engine.m_bUpload, engine.m_bRemote);
    std::fwrite(report.data(), 1, report.size(), stdout);
    return kExitOk;
}

int RunWriteRule(const SOptions& options) {
    SConsoleRule rule(options);
    CKolvaneEngine& engine = rule.engine;
    engine.m_bEditing = true;
    engine.SetEntrySink(EntryToStderr);
    if (!engine.ReadRuleFile()) return kExitRefused;
    engine.ParseRuleFile();
    engine.ReleaseRuleText();
    rule.doc.m_strRulePath = options.writeTarget;
    return engine.WriteRuleFile() ? kExitOk : kExitRefused;
}

}  // namespace kolvane
