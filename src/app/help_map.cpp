// Topic numbers to help pages.
#include "app/help_map.h"

#include <cstdlib>
#include <sstream>

#include "engine/text_ops.h"

namespace kolvane {

std::string HelpPageFor(std::string_view project, int topic) {
    std::istringstream lines{std::string(project)};
    std::string line, section, name;
    while (std::getline(lines, line)) {
        std::string_view t = TrimView(line);
        if (t.empty() || t[0] == ';') continue;
        if (t.front() == '[') {
            section = std::string(t);
            continue;
        }
        if (section == "[MAP]") {
            std::istringstream words{std::string(t)};
            std::string define, id, number;
            if (words >> define >> id >> number && define == "#define" &&
                std::atoi(number.c_str()) == topic)
                name = id;
        } else if (section == "[ALIAS]" && !name.empty()) {
            auto eq = t.find('=');
            if (eq != std::string_view::npos && TrimView(t.substr(0, eq)) == name)
                return std::string(TrimView(t.substr(eq + 1)));
        }
    }
    return {};
}

}  // namespace kolvane
