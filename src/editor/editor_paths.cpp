// The editor's path joining and splitting (see editor_paths.h).
#include "editor/editor_paths.h"

namespace kolvane::editor {

std::string JoinPath(std::string_view dir, std::string_view name) {
    std::string out;
    if (dir.empty()) {
        if (!name.empty()) out.append("./").append(name);
        return out;
    }
    out.append(dir);
    if (!name.empty() && dir.back() != '/') out.push_back('/');
    out.append(name);
    return out;
}

SSplitPath SplitPath(std::string_view path) {
    SSplitPath out;
    const std::size_t slash = path.rfind('/');
    if (path.find('.') == std::string_view::npos) {
        // A bare word is a file name: dropping it would lose what the user typed.
        if (slash == std::string_view::npos) {
            out.name = path;
            return out;
        }
        std::string_view dir = path;
        if (dir.size() > 1 && dir.back() == '/') dir.remove_suffix(1);
        out.dir = dir;
        return out;
    }
    if (slash == std::string_view::npos) {
        out.name = path;
        return out;
    }
    out.dir = slash == 0 ? std::string_view("/") : path.substr(0, slash);
    out.name = path.substr(slash + 1);
    return out;
}

}  // namespace kolvane::editor
