// The program's main: starts the display, records the arguments in UTF-16
// and runs the application through AfxWinMain.
#include <windows.h>

#include "display/display.h"

int AfxWinMain(HINSTANCE instance, HINSTANCE prev, LPWSTR cmdLine, int cmdShow);

int main(int argc, char** argv) {
    SetProcessArguments(argc, argv);
    qtplatform::Init(&argc, argv);
    qtplatform::InstallScreenshotFromEnvironment();
    return AfxWinMain(nullptr, nullptr, GetCommandLineW(), SW_SHOWNORMAL);
}
