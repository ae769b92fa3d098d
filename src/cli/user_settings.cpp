// Reading the runner's one user setting.
#include "cli/user_settings.h"

#include <cstdlib>
#include <fstream>

#include "engine/text_ops.h"

namespace kolvane {

std::string UserSettingsPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') return JoinPath(xdg, "Kolvane.conf");
    const char* home = std::getenv("HOME");
    return JoinPath(JoinPath(home ? home : "", ".config"), "Kolvane.conf");
}

std::optional<int> ReadDateDisplaySetting(const std::string& path) {
    std::ifstream in(path);
    std::string line, group;
    while (std::getline(in, line)) {
        std::string_view t = TrimView(line);
        if (t.empty() || t[0] == '#' || t[0] == ';') continue;
        if (t.front() == '[' && t.back() == ']') {
            group = std::string(TrimView(t.substr(1, t.size() - 2)));
            continue;
        }
        auto eq = t.find('=');
        if (eq == std::string_view::npos || group != "Preferences") continue;
        if (TrimView(t.substr(0, eq)) != "DateDisplay") continue;
        std::string value(TrimView(t.substr(eq + 1)));
        if (value.empty()) return std::nullopt;
        return std::atoi(value.c_str()) != 0 ? 1 : 0;
    }
    return std::nullopt;
}

}  // namespace kolvane
