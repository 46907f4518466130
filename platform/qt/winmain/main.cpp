// The program's main: starts the display (its font database filled on a
// worker meanwhile, the libraries beside the program mapped on another),
// records the arguments in UTF-16 and runs the application through
// AfxWinMain.
#include <windows.h>

#include "display/display.h"

int AfxWinMain(HINSTANCE instance, HINSTANCE prev, LPWSTR cmdLine, int cmdShow);

int main(int argc, char** argv) {
    win32bk::PreloadModulesBesideExecutable();
    SetProcessArguments(argc, argv);
    qtplatform::Init(&argc, argv);
    qtplatform::StartFontDatabase();
    qtplatform::InstallScreenshotFromEnvironment();
    const int rc = AfxWinMain(nullptr, nullptr, GetCommandLineW(), SW_SHOWNORMAL);
    qtplatform::FinishFontDatabase();
    win32bk::ReleasePreloadedModules();
    return rc;
}
