// Reading, writing and fitting the main window's saved rectangle.
#include "app/window_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kolvane {
namespace {

int IntAt(std::string_view text, std::size_t at) {
    if (at >= text.size()) return 0;
    std::string part(text.substr(at, 16));
    return static_cast<int>(std::strtol(part.c_str(), nullptr, 10));
}

}  // namespace

SRect ParseCoordinates(std::string_view text) {
    return {IntAt(text, 0), IntAt(text, 5), IntAt(text, 10), IntAt(text, 15)};
}

std::string FormatCoordinates(const SRect& r) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d %04d %04d %04d", r.left, r.top, r.right, r.bottom);
    return text;
}

SRect FitToScreen(SRect r, int width, int height) {
    const int h = r.Height(), w = r.Width();
    if (r.bottom > height) {
        r.bottom = height;
        r.top = std::max(height - h, 0);
    }
    if (r.right > width) {
        r.right = width;
        r.left = std::max(width - w, 0);
    }
    if (r.top < 0) {
        r.top = 0;
        r.bottom = std::min(h, height);
    }
    if (r.left < 0) {
        r.left = 0;
        r.right = std::min(w, width);
    }
    return r;
}

SRect FirstStartRect(int screenWidth, int screenHeight) {
    const int w = screenWidth * 2 / 3, h = screenHeight * 2 / 3;
    const int left = (screenWidth - w) / 2, top = (screenHeight - h) / 2;
    return {left, top, left + w, top + h};
}

SWindowState WindowStateFromTexts(std::string_view coordinates, std::string_view iconized,
                                  std::string_view maximized, std::string_view toolBar,
                                  std::string_view statusLine, int screenWidth, int screenHeight) {
    SWindowState state;
    state.rect = coordinates.empty()
                     ? FirstStartRect(screenWidth, screenHeight)
                     : FitToScreen(ParseCoordinates(coordinates), screenWidth, screenHeight);
    state.iconized = iconized == "1";
    state.maximized = maximized == "1";
    state.toolBar = toolBar == "1";
    state.statusLine = statusLine == "1";
    return state;
}

}  // namespace kolvane
