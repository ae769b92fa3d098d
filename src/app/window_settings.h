// The main window's state in the settings file's "Last Window Data" group.
#pragma once

#include "app/window_state.h"

namespace kolvane::settings {

// The saved main-window state, fitted to a screen of the given size.
SWindowState LoadWindowState(int screenWidth, int screenHeight);
void SaveWindowState(const SWindowState& state);

}  // namespace kolvane::settings
