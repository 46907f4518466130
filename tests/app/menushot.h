// A window's picture with an open popup menu drawn over it where the popup
// stands on the screen, for the shot programs' menu-answer hooks. A popup
// that reaches past the window widens the picture, on a grey desktop.
#pragma once

#include <algorithm>

#include "testing/driver.h"

namespace apptest {

inline qtplatform::Image WithPopup(HWND window, HWND popup) {
    qtplatform::Image shot = tvtest::Capture(window);
    if (!popup) return shot;
    const qtplatform::Image menu = qtplatform::Capture(popup);
    RECT client, pr;
    ::GetClientRect(window, &client);
    ::GetWindowRect(popup, &pr);
    POINT at{pr.left, pr.top};
    ::ScreenToClient(window, &at);
    // The client area is the image's lower part (a menu bar may be above it).
    at.y += shot.height - client.bottom;
    const int left = std::min(0, int(at.x)), top = std::min(0, int(at.y));
    const int right = std::max(shot.width, int(at.x) + menu.width);
    const int bottom = std::max(shot.height, int(at.y) + menu.height);
    qtplatform::Image out;
    out.width = right - left;
    out.height = bottom - top;
    out.pixels.assign(static_cast<size_t>(out.width) * out.height, 0xFF808080u);
    auto paste = [&out, left, top](const qtplatform::Image& image, int x0, int y0) {
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                out.pixels[static_cast<size_t>(y0 + y - top) * out.width + (x0 + x - left)] = image.At(x, y);
    };
    paste(shot, 0, 0);
    paste(menu, at.x, at.y);
    return out;
}

} // namespace apptest
