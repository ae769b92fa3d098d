// Reschedule interval text in both directions (see reschedule_text.h).
#include "editor/reschedule_text.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kolvane::editor {

std::string FormatInterval(int seconds) {
    char buf[64];
    if (seconds > 3600)
        std::snprintf(buf, sizeof buf, "%7.2f %c", seconds / 3600.0, 'H');
    else if (seconds > 60)
        std::snprintf(buf, sizeof buf, "%7.2f %c", seconds / 60.0, 'M');
    else
        std::snprintf(buf, sizeof buf, "%d %c", seconds, 'S');
    return buf;
}

int ParseInterval(std::string_view text) {
    const std::string s(text.substr(0, 99));  // the field holds at most 99 characters
    double value = std::strtod(s.c_str(), nullptr);
    if (std::isnan(value)) value = 0;
    value = std::fabs(value);
    double seconds;
    if (s.find_first_of("Hh") != std::string::npos)
        seconds = value * 3600;
    else if (s.find_first_of("Mm") != std::string::npos)
        seconds = value * 60;
    else
        seconds = value < 10 ? 10 : value;
    return seconds >= double(INT_MAX) ? INT_MAX : static_cast<int>(seconds);
}

bool KnownIntervalUnits(std::string_view text) {
    const std::string s(text.substr(0, 99));
    char* numberEnd = nullptr;
    std::strtod(s.c_str(), &numberEnd);
    std::string word;
    auto known = [&word] {
        static const char* const kWords[] = {"sec", "secs", "second", "seconds",
                                             "min", "mins", "minute", "minutes",
                                             "hr",  "hrs",  "hour",   "hours"};
        if (word.find_first_not_of("hms") == std::string::npos) return true;
        for (const char* w : kWords)
            if (word == w) return true;
        return false;
    };
    for (const char* p = numberEnd;; ++p) {
        const char c = *p;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            word.push_back(char(c | 0x20));
            continue;
        }
        if (!word.empty() && !known()) return false;
        word.clear();
        if (c == '\0') return true;
    }
}

}  // namespace kolvane::editor
