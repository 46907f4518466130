// The display platform the program runs on.
#include <cstdlib>
#include <string>

#include "display/display.h"

namespace qtplatform {

namespace {
bool Set(const char* value) {
    return value && *value;
}
} // namespace

std::string ChooseDisplayPlatform(const char* qpaPlatform, const char* waylandDisplay, const char* display,
                                  const char* sessionType) {
    if (Set(qpaPlatform)) return qpaPlatform;
    const bool wayland = Set(waylandDisplay) || (sessionType && std::string(sessionType) == "wayland");
    // The X display of a Wayland session first: the X server answers for
    // the keys the busy program has not read yet (the cancel key of a running
    // script); Wayland when that display cannot be reached.
    if (wayland && Set(display)) return "xcb;wayland";
    return std::string();
}

std::string ChooseDisplayPlatform() {
    return ChooseDisplayPlatform(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                                 std::getenv("DISPLAY"), std::getenv("XDG_SESSION_TYPE"));
}

} // namespace qtplatform
