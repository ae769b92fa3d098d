// The one per-user setting the runner shares with the desktop program: "DateDisplay" in the
// "Preferences" group of the settings file ($XDG_CONFIG_HOME/Kolvane.conf, else
// ~/.config/Kolvane.conf), an INI-style file that the desktop program's wxConfig writes.
#pragma once

#include <optional>
#include <string>

namespace kolvane {

std::string UserSettingsPath();
// The stored DateDisplay value (1 U.S., 0 long); none when the file or the key is missing or
// its text is empty.
std::optional<int> ReadDateDisplaySetting(const std::string& path);

}  // namespace kolvane
