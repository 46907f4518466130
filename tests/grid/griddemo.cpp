// griddemo [--shot FILE] [--rows N]: two grid panes over a generated model;
// with --shot, stages the screenshot's state, writes a PNG and ends.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/display.h"
#include "griddemo_window.h"
#include "testing_pump.h"

int main(int argc, char** argv) {
    std::string shot;
    int rows = 1000000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--shot"))
            shot = argv[++i];
        else if (!std::strcmp(argv[i], "--rows"))
            rows = std::atoi(argv[++i]);
    }
    if (!shot.empty()) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_FONT_DPI", "96", 1);
    setenv("QT_SCALE_FACTOR", "1", 1);
    qtplatform::Init(&argc, argv);
    GridDemoFrame frame;
    if (!frame.CreateDemo(rows, 900, 620)) return 1;
    frame.StageShot();
    if (shot.empty()) return qtplatform::Run();
    qtplatform::Image img = frame.Shot();
    if (!qtplatform::SavePng(img, shot)) {
        std::fprintf(stderr, "cannot write %s\n", shot.c_str());
        return 1;
    }
    std::printf("%d rows: %s\n", rows, shot.c_str());
    return 0;
}
