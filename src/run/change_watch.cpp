// The change watch, its pacing and the run on change.
#include "run/change_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace kolvane {
namespace {

// What changes a watched name, and the folder's own end.
constexpr std::uint32_t kEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE |
                                  IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                                  IN_ONLYDIR;

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

}  // namespace

CChangeWatch::CChangeWatch() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (m_fd < 0) m_strError = std::strerror(errno);
}

CChangeWatch::~CChangeWatch() {
    if (m_fd >= 0) ::close(m_fd);
}

std::vector<std::string> CChangeWatch::Watch(const std::vector<std::string>& files) {
    std::vector<std::string> failed;
    if (m_fd < 0) return failed;
    // The new watches are added before the old ones go, so no change falls between them (the
    // kernel gives a folder that is watched already its own descriptor again).
    std::map<int, std::set<std::string>> names;
    std::map<std::string, int> folders;
    for (const std::string& file : files) {
        std::string folder, name;
        SplitPath(file, folder, name);
        if (name.empty()) continue;
        auto known = folders.find(folder);
        if (known == folders.end()) {
            const int wd = ::inotify_add_watch(m_fd, folder.c_str(), kEvents);
            if (wd < 0) failed.push_back(folder + ": " + std::strerror(errno));
            known = folders.emplace(folder, wd).first;
        }
        if (known->second >= 0) names[known->second].insert(name);
    }
    for (const auto& [wd, old] : m_names)
        if (!names.count(wd)) ::inotify_rm_watch(m_fd, wd);
    m_names = std::move(names);
    return failed;
}

bool CChangeWatch::Drain() {
    if (m_fd < 0) return false;
    bool changed = false;
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) continue;
            return changed;  // EAGAIN: nothing more waits
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                changed = true;
                continue;
            }
            auto watched = m_names.find(event->wd);
            if (watched == m_names.end()) continue;
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                changed = true;  // the folder went, and its files with it: the run reports them
                continue;
            }
            if (event->mask & IN_IGNORED) {
                m_names.erase(watched);
                continue;
            }
            if (event->len > 0 && watched->second.count(event->name)) changed = true;
        }
    }
}

std::vector<std::string> WatchedFiles(CKolvaneEngine& engine) {
    std::vector<std::string> files;
    if (!engine.m_bRuleLoaded) return files;
    const CKolvaneDocData& doc = engine.Doc();
    const CCommandSection& cmd = doc.m_cmd;
    // Paths compared as written (normalised) and as on disk (links followed).
    auto real = [](const std::string& path) {
        char* resolved = ::realpath(path.c_str(), nullptr);
        std::string text = resolved ? resolved : "";
        std::free(resolved);
        return text;
    };
    std::set<std::string> written;
    for (const std::string& path :
         {engine.ResolvePath(cmd.m_strOutputPath, cmd.m_strOutputName),
          engine.ResolvePath(cmd.m_strErrorLogPath, cmd.m_strErrorLogName)}) {
        written.insert(std::filesystem::path(path).lexically_normal().string());
        written.insert(real(path));
    }
    auto add = [&](const std::string& path) {
        const std::string target = real(path);
        if (written.count(std::filesystem::path(path).lexically_normal().string()) ||
            written.count(target))
            return;
        files.push_back(path);
        // A link's own folder sees the link replaced; the target's folder sees the file change.
        if (!target.empty() && target != path) files.push_back(target);
    };
    add(engine.ResolvePath(cmd.m_strTemplatePath, cmd.m_strTemplateName));
    for (const auto& file : doc.m_scanFiles)
        if (!file->m_bFtp && !file->m_bHttp)
            add(engine.ResolvePath(file->m_strPath, file->m_strName));
    return files;
}

}  // namespace kolvane
