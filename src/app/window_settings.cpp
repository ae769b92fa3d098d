// The main window's state through the settings file.
#include "app/window_settings.h"

#include <string>

#include "settings/settings.h"

namespace kolvane::settings {

SWindowState LoadWindowState(int screenWidth, int screenHeight) {
    return WindowStateFromTexts(
        ReadText("/Last Window Data/Coordinates"), ReadText("/Last Window Data/Iconized", "0"),
        ReadText("/Last Window Data/Maximized", "0"), ReadText("/Last Window Data/ToolBar", "1"),
        ReadText("/Last Window Data/StatusLine", "1"), screenWidth, screenHeight);
}

void SaveWindowState(const SWindowState& s) {
    auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    WriteText("/Last Window Data/Coordinates", FormatCoordinates(s.rect));
    WriteText("/Last Window Data/Iconized", flag(s.iconized));
    WriteText("/Last Window Data/Maximized", flag(s.maximized));
    WriteText("/Last Window Data/ToolBar", flag(s.toolBar));
    WriteText("/Last Window Data/StatusLine", flag(s.statusLine));
    Flush();
}

}  // namespace kolvane::settings
