// scrolldemo [--shot FILE] [--row R] [--col C]: shows the scrolling demonstration;
// with --shot, scrolls to (R, C) through scroll messages, writes a PNG and ends.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/display.h"
#include "scrolldemo_window.h"
#include "win32/backend.h"

int main(int argc, char** argv) {
    std::string shot;
    int row = 0, col = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--shot"))
            shot = argv[++i];
        else if (!std::strcmp(argv[i], "--row"))
            row = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--col"))
            col = std::atoi(argv[++i]);
    }
    if (!shot.empty()) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_FONT_DPI", "96", 1);
    setenv("QT_SCALE_FACTOR", "1", 1);
    qtplatform::Init(&argc, argv);
    CDemoFrame frame;
    if (!frame.CreateFrame(800, 600)) return 1;
    frame.m_grid.SetFocus();
    if (shot.empty()) {
        frame.m_grid.ScrollByCode(MAKEWORD(SB_LINEDOWN, SB_LINEDOWN), 0);
        return qtplatform::Run();
    }
    win32bk::PumpPending();
    ScrollDemoTo(frame.m_grid, row, col);
    win32bk::PumpPending();
    qtplatform::Image img = qtplatform::Capture(frame.m_hWnd);
    if (!qtplatform::SavePng(img, shot)) {
        std::fprintf(stderr, "cannot write %s\n", shot.c_str());
        return 1;
    }
    std::printf("row %d, column %d: %s\n", frame.m_grid.Row(), frame.m_grid.Col(), shot.c_str());
    return 0;
}
