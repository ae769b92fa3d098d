// The page of a help topic number, read from the help book's project file: its [MAP] section
// names each number ("#define IDH_NAME 5000") and its [ALIAS] section gives the name's page
// ("IDH_NAME=page.htm"). GUI-free, so it is tested without a display.
#pragma once

#include <string>
#include <string_view>

namespace kolvane {

// The page for `topic`, or empty when the project names none.
std::string HelpPageFor(std::string_view project, int topic);

}  // namespace kolvane
