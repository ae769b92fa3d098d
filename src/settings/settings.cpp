// The settings file through its own reader and writer.
#include "settings/settings.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <utility>

#include "engine/text_ops.h"
#include "settings/ini_file.h"

namespace kolvane::settings {
namespace {

std::unique_ptr<CIniFile>& Holder() {
    static std::unique_ptr<CIniFile> file;
    return file;
}

CIniFile& File() {
    auto& file = Holder();
    if (!file) {
        // A file that cannot be read is never written over (Load says so); a line the file
        // cannot hold is skipped without a word, as kolvane-run always did.
        file = std::make_unique<CIniFile>();
        file->Load(FilePath());
    }
    return *file;
}

// "/Group/Entry" as group and entry.
std::pair<std::string_view, std::string_view> Split(std::string_view key) {
    if (!key.empty() && key.front() == '/') key.remove_prefix(1);
    const std::size_t slash = key.rfind('/');
    if (slash == std::string_view::npos) return {{}, key};
    return {key.substr(0, slash), key.substr(slash + 1)};
}

std::string Read(std::string_view key, const std::string& fallback = {}) {
    const auto [group, entry] = Split(key);
    return File().Read(group, entry).value_or(fallback);
}

void Put(std::string_view key, std::string_view value) {
    const auto [group, entry] = Split(key);
    File().Write(group, entry, value);
}

void Drop(std::string_view key) {
    const auto [group, entry] = Split(key);
    File().Remove(group, entry);
}

// An integer setting: its stored text converted, or the default when absent or empty.
int ReadInt(std::string_view key, int fallback) {
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
    return Read(key, fallback);
}

void WriteText(const std::string& key, const std::string& value) {
    Put(key, value);
}

bool Flush() {
    CIniFile& file = File();
    if (!file.Dirty()) return true;
    // The folder and those above it that are missing, for this user alone.
    const std::string path = FilePath();
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    return file.Save(path);
}

void Close() {
    if (Holder()) Flush();
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
    Put("/Preferences/Editor", editor);
    Flush();
}

void SavePreferences(const SPreferences& p) {
    if (p.m_strEditor != kDefaultEditor) Put("/Preferences/Editor", p.m_strEditor);
    Put("/Preferences/DateDisplay", std::to_string(p.m_nDateDisplay));
    Put("/Preferences/MatchCase", std::to_string(p.m_nMatchCase));
    Put("/Preferences/AskFileName", std::to_string(p.m_nAskFileName));
    Flush();
}

void SaveLastPath(const std::string& dir) {
    Put("/Preferences/LastPath", dir);
    Flush();
}

std::vector<std::string> DefaultFilters() {
    return {"Rule Files|*.rul", "Text|*.txt", "All Files|*.*"};
}

std::vector<std::string> LoadFilters() {
    std::vector<std::string> filters;
    for (int n = 1; n <= kMaxFilters; ++n) {
        std::string value = Read("/File Filters/Filter" + std::to_string(n));
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
        Put("/File Filters/Filter" + std::to_string(n), f);
    }
    for (++n; n <= kMaxFilters; ++n) Drop("/File Filters/Filter" + std::to_string(n));
    Flush();
}

std::vector<std::string> LoadRecentFiles() {
    std::vector<std::string> files;
    for (int n = 1; n <= kRecentFiles; ++n) {
        std::string path = Read("/Recent File List/File" + std::to_string(n));
        if (!path.empty()) files.push_back(std::move(path));
    }
    return files;
}

void SaveRecentFiles(const std::vector<std::string>& files) {
    for (int n = 1; n <= kRecentFiles; ++n) {
        std::string key = "/Recent File List/File" + std::to_string(n);
        if (n <= static_cast<int>(files.size()))
            Put(key, files[static_cast<std::size_t>(n - 1)]);
        else
            Drop(key);
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
        std::string path = Read("/Run on Change/Rule" + std::to_string(n));
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
        const std::string key = "/Run on Change/Rule" + std::to_string(int(n + 1));
        if (n < rules.size())
            Put(key, rules[n]);
        else
            Drop(key);
    }
    Flush();
}

}  // namespace kolvane::settings
