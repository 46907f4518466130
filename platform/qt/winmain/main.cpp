// The program's main: starts the display (its font database filled on a
// worker meanwhile), records the arguments in UTF-16 and runs the
// application through AfxWinMain; a request to end by a signal ends it in order.
#include <windows.h>

#include "display/display.h"

int AfxWinMain(HINSTANCE instance, HINSTANCE prev, LPWSTR cmdLine, int cmdShow);

int main(int argc, char** argv) {
    SetProcessArguments(argc, argv);
    qtplatform::Init(&argc, argv);
    qtplatform::EndOnSignals();
    qtplatform::StartFontDatabase();
    qtplatform::InstallScreenshotFromEnvironment();
    const int rc = AfxWinMain(nullptr, nullptr, GetCommandLineW(), SW_SHOWNORMAL);
    qtplatform::FinishFontDatabase();
    return rc;
}
