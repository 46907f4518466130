// The start-up benchmark's yardstick: an empty Qt main window of the given
// size; at its first idle the milliseconds since the process started go to
// stderr (as TAVRELIX_SCREENSHOT reports them) and the program ends.
#pragma once

namespace qtplatform {
int RunStartupReference(int argc, char** argv, int width, int height);
} // namespace qtplatform
