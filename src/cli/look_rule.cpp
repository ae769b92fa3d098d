// A rule read for a look that changes nothing.
#include "cli/look_rule.h"

#include <stdlib.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>

#include "cli/commands.h"
#include "engine/text_ops.h"

namespace kolvane {
namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int) {
    g_stop = 1;
}

void WriteToStderr(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

// The file name of a local copy inside the look's directory: the last part of the rule's
// name, unless that part is no file name ("", ".", "..") or too long to leave room for the
// temporary name the fetch writes first.
std::string LookCopyName(std::string_view name) {
    const std::string_view last = FileNameOf(name);
    if (last.empty() || last == "." || last == ".." || last.size() > 100) return "scan-file";
    return std::string(last);
}

}  // namespace

std::string EntryText(std::string_view entry) {
    // The stamp is the last "  *** ... ***" of the entry; a server's answer quoted after the
    // first line is left out.
    std::size_t stamp = entry.rfind("  *** ");
    if (stamp != npos) entry = entry.substr(0, stamp);
    return std::string(TrimView(entry.substr(0, entry.find_first_of("\r\n"))));
}

CLookRule::CLookRule(const SOptions& options, bool echoEntries) {
    doc.m_strRulePath = options.rulePath;
    doc.m_nDateDisplay = DateStyleFor(options);
    engine.m_bOpenErrorLog = false;
    engine.SetEntrySink([this, echoEntries](std::string_view entry) {
        m_entries.emplace_back(entry);
        if (echoEntries) WriteToStderr(entry);
    });

    CatchSignals(OnStopSignal, {SIGINT, SIGTERM, SIGHUP});
    // A reader that went away (`| head`) makes a write fail instead of ending the process
    // before the temporary directory is removed.
    std::signal(SIGPIPE, SIG_IGN);
    host.m_onPump = [] {
        if (g_stop) throw SLookStopped{};
    };
}

CLookRule::~CLookRule() {
    if (m_strTempDir.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_strTempDir, ec);
}

bool CLookRule::Load() {
    const std::size_t shown = m_entries.size();
    auto refused = [&] {
        // Entries that were only kept: the reason for the refusal is among them.
        if (!engine.ErrorLogOpen())
            for (std::size_t i = shown; i < m_entries.size(); ++i) WriteToStderr(m_entries[i]);
        return false;
    };
    engine.FormatSysDate();
    engine.FormatSysTime();
    if (!engine.ReadRuleFile()) return false;
    const int parsed = engine.ParseRuleFile();
    engine.ReleaseRuleText();
    if (!parsed || !engine.ReadTemplateFile()) return refused();
    engine.m_bRuleLoaded = true;
    engine.m_bUpload = false;
    doc.m_bRunOnce = true;
    return true;
}

bool CLookRule::FetchIntoTemporaryFiles() {
    for (auto& file : doc.m_scanFiles) {
        CScanFile& f = *file;
        if (f.m_strUrl.empty() || !(f.m_bFtp || f.m_bHttp)) continue;
        if (m_strTempDir.empty()) {
            std::string pattern = std::filesystem::temp_directory_path().string();
            pattern += "/kolvane-look-XXXXXX";
            if (!::mkdtemp(pattern.data())) {
                std::perror("kolvane-run: cannot make a temporary directory");
                return false;
            }
            m_strTempDir = pattern;
        }
        // One directory per scan file keeps two remote files of the same name apart; inside it
        // the copy takes the last part of the rule's name only, so a name that climbs out
        // ("../../x") or names a directory stays in the look's own directory.
        const std::string dir = JoinPath(m_strTempDir, std::to_string(f.m_nNumber));
        std::error_code ec;
        if (!std::filesystem::create_directory(dir, ec) && ec) {
            std::fprintf(stderr, "kolvane-run: cannot make %s: %s\n", dir.c_str(),
                         ec.message().c_str());
            return false;
        }
        m_shown[f.m_nNumber] = JoinPath(f.m_strPath, f.m_strName);
        f.m_strPath = dir;
        f.m_strName = LookCopyName(f.m_strName);
    }
    return true;
}

int CLookRule::Guarded(const std::function<int()>& body) {
    try {
        int status = body();
        host.ClearStatusLine();
        // A look whose output did not reach its reader failed.
        return std::fflush(stdout) != 0 || std::ferror(stdout) ? int(kExitFailed) : status;
    } catch (const SLookStopped&) {
        host.ClearStatusLine();
        std::fputs("kolvane-run: stopped\n", stderr);
    } catch (const std::exception& e) {
        host.ClearStatusLine();
        std::fprintf(stderr, "kolvane-run: %s\n", e.what());
    }
    return kExitFailed;
}

std::string CLookRule::ShownPath(const CScanFile& file) const {
    auto it = m_shown.find(file.m_nNumber);
    return it != m_shown.end() ? it->second : JoinPath(file.m_strPath, file.m_strName);
}

}  // namespace kolvane
