// The main window's saved state ("Last Window Data") and how a saved rectangle is fitted to the
// screen at start-up. GUI-free, so the fitting rules are tested without a display.
#pragma once

#include <string>
#include <string_view>

namespace kolvane {

struct SRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const SRect&) const = default;
};

// Where the main window opens when no position was saved: two thirds of the screen each way,
// centred.
SRect FirstStartRect(int screenWidth, int screenHeight);

struct SWindowState {
    SRect rect{19, 72, 676, 449};
    bool iconized = false;
    bool maximized = false;
    bool toolBar = true;
    bool statusLine = true;
};

// "Coordinates": four integers read at character positions 0, 5, 10 and 15, each as far as
// its digits go (malformed text gives what the reading yields, later fitted to the screen).
SRect ParseCoordinates(std::string_view text);
// "%04d %04d %04d %04d".
std::string FormatCoordinates(const SRect& r);

// Moves a rectangle lying partly off a screen of `width` x `height` back onto it, keeping its
// size; one larger than the screen is cut to the screen.
SRect FitToScreen(SRect r, int width, int height);

// The stored state from the settings' texts: absent or empty coordinates give the default
// rectangle; a flag counts as set only when it is exactly "1".
SWindowState WindowStateFromTexts(std::string_view coordinates, std::string_view iconized,
                                  std::string_view maximized, std::string_view toolBar,
                                  std::string_view statusLine, int screenWidth, int screenHeight);

}  // namespace kolvane
