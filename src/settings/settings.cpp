// The settings file through wxFileConfig.
#include "settings/settings.h"

#include <pwd.h>
#include <unistd.h>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/log.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "engine/text_ops.h"

namespace kolvane::settings {
namespace {

std::unique_ptr<wxFileConfig>& Holder() {
    static std::unique_ptr<wxFileConfig> config;
    return config;
}

wxString W(std::string_view s) {
    return wxString::FromUTF8(s.data(), s.size());
}

std::string S(const wxString& s) {
    return std::string(s.utf8_str());
}

std::string Read(const wxString& key, const std::string& fallback = {}) {
    wxString value;
    return Config().Read(key, &value) ? S(value) : fallback;
}

// An integer setting: its stored text converted, or the default when absent or empty.
int ReadInt(const wxString& key, int fallback) {
    std::string text = Read(key);
    return text.empty() ? fallback : std::atoi(text.c_str());
}

}  // namespace

std::string FilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') return JoinPath(xdg, "Kolvane.conf");
    const char* home = std::getenv("HOME");
    if (!home || !*home)  // cron and services may start a program without HOME
        if (const passwd* user = getpwuid(getuid())) home = user->pw_dir;
    return JoinPath(JoinPath(home ? home : "", ".config"), "Kolvane.conf");
}

std::string ReadText(const std::string& key, const std::string& fallback) {
    return Read(W(key), fallback);
}

void WriteText(const std::string& key, const std::string& value) {
    Config().Write(W(key), W(value));
}

void Flush() {
    wxFileName(W(FilePath())).Mkdir(0700, wxPATH_MKDIR_FULL);
    Config().Flush();
}

wxConfigBase& Config() {
    auto& config = Holder();
    if (!config) {
        // A line the file cannot hold is skipped without a word, as kolvane-run always did:
        // wxWidgets' complaint would reach the runner's standard error twice, time-stamped.
        const wxLogNull quiet;
        // The path is complete: without wxCONFIG_USE_RELATIVE_PATH wxFileConfig would ask the
        // application object for the user's folder, which kolvane-run does not create.
        config = std::make_unique<wxFileConfig>(
            "Kolvane", "Pellucor Enterprises", W(FilePath()), wxString(),
            wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_RELATIVE_PATH);
        // Editor commands may hold "$": keep every value as it was written.
        config->SetExpandEnvVars(false);
    }
    return *config;
}

void Close() {
    if (Holder()) Holder()->Flush();
    Holder().reset();
}

SPreferences LoadPreferences() {
    SPreferences p;
    std::string editor = Read("/Preferences/Editor");
    if (!editor.empty()) p.m_strEditor = editor;
    p.m_strLastPath = Read("/Preferences/LastPath");
    p.m_nDateDisplay = ReadInt("/Preferences/DateDisplay", 1);
    p.m_nMatchCase = ReadInt("/Preferences/MatchCase", 0);
    p.m_nAskFileName = ReadInt("/Preferences/AskFileName", 1);
    p.m_nLastFilterIndex = ReadInt("/Preferences/LastFilterIndex", 1);
    p.m_strLastFilter = Read("/Preferences/LastFilter");
    return p;
}

void SaveEditor(const std::string& editor) {
    if (editor == kDefaultEditor) return;
    Config().Write("/Preferences/Editor", W(editor));
    Flush();
}

void SavePreferences(const SPreferences& p) {
    if (p.m_strEditor != kDefaultEditor) Config().Write("/Preferences/Editor", W(p.m_strEditor));
    Config().Write("/Preferences/DateDisplay", wxString::Format("%d", p.m_nDateDisplay));
    Config().Write("/Preferences/MatchCase", wxString::Format("%d", p.m_nMatchCase));
    Config().Write("/Preferences/AskFileName", wxString::Format("%d", p.m_nAskFileName));
    Flush();
}

void SaveLastPath(const std::string& dir) {
    Config().Write("/Preferences/LastPath", W(dir));
    Flush();
}

std::vector<std::string> DefaultFilters() {
    return {"Rule Files|*.rul", "Text|*.txt", "All Files|*.*"};
}

std::vector<std::string> LoadFilters() {
    std::vector<std::string> filters;
    for (int n = 1; n <= kMaxFilters; ++n) {
        std::string value = Read(wxString::Format("/File Filters/Filter%d", n));
        if (value.empty()) break;
        if (value.find('|') == std::string::npos) continue;  // no description|pattern: unusable
        filters.push_back(std::move(value));
    }
    return filters.empty() ? DefaultFilters() : filters;
}

void SaveFilters(const std::vector<std::string>& filters) {
    int n = 0;
    for (const auto& f : filters) {
        if (++n > kMaxFilters) break;
        Config().Write(wxString::Format("/File Filters/Filter%d", n), W(f));
    }
    for (++n; n <= kMaxFilters; ++n)
        Config().DeleteEntry(wxString::Format("/File Filters/Filter%d", n), false);
    Flush();
}

std::vector<std::string> LoadRecentFiles() {
    std::vector<std::string> files;
    for (int n = 1; n <= kRecentFiles; ++n) {
        std::string path = Read(wxString::Format("/Recent File List/File%d", n));
        if (!path.empty()) files.push_back(std::move(path));
    }
    return files;
}

void SaveRecentFiles(const std::vector<std::string>& files) {
    for (int n = 1; n <= kRecentFiles; ++n) {
        wxString key = wxString::Format("/Recent File List/File%d", n);
        if (n <= static_cast<int>(files.size()))
            Config().Write(key, W(files[static_cast<std::size_t>(n - 1)]));
        else
            Config().DeleteEntry(key, false);
    }
    Flush();
}

namespace {

std::string AbsoluteRule(const std::string& rulePath) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(rulePath, ec);
    return ec ? rulePath : absolute.lexically_normal().string();
}

std::vector<std::string> RunOnChangeRules() {
    std::vector<std::string> rules;
    for (int n = 1; n <= kRunOnChangeRules; ++n) {
        std::string path = Read(wxString::Format("/Run on Change/Rule%d", n));
        if (path.empty()) break;
        rules.push_back(std::move(path));
    }
    return rules;
}

}  // namespace

bool LoadRunOnChange(const std::string& rulePath) {
    const std::vector<std::string> rules = RunOnChangeRules();
    return std::find(rules.begin(), rules.end(), AbsoluteRule(rulePath)) != rules.end();
}

void SaveRunOnChange(const std::string& rulePath, bool on) {
    const std::string rule = AbsoluteRule(rulePath);
    std::vector<std::string> rules = RunOnChangeRules();
    const std::size_t before = rules.size();
    rules.erase(std::remove(rules.begin(), rules.end(), rule), rules.end());
    if (on) rules.push_back(rule);
    if (rules.size() > std::size_t(kRunOnChangeRules)) rules.erase(rules.begin());
    for (std::size_t n = 0; n < std::max(before, rules.size()); ++n) {
        const wxString key = wxString::Format("/Run on Change/Rule%d", int(n + 1));
        if (n < rules.size())
            Config().Write(key, W(rules[n]));
        else
            Config().DeleteEntry(key, false);
    }
    Flush();
}

}  // namespace kolvane::settings
