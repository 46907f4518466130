// A picture of a message box as the display shows it, for screenshots of
// the boxes a program shows (the tests record boxes instead of showing them).
#pragma once

#include "display/display.h"

namespace qtplatform {
// The box MessageBoxW shows for these arguments, drawn offscreen.
Image CaptureMessageBox(const char16_t* text, const char16_t* caption, unsigned type);
} // namespace qtplatform
