// The grid demonstration: a frame with two grid panes in a splitter over a
// generated model, staged for the screenshot or driven by a test.
#pragma once

#include <memory>

#include "display/display.h"
#include "gridwnd_fixture.h"

class GridDemoFrame : public GridSplitFrame {
public:
    std::unique_ptr<GeneratedGridData> model;
    std::unique_ptr<GeneratedGridData> second;

    // The windows go before the models they show.
    ~GridDemoFrame() override {
        if (m_hWnd) DestroyWindow();
    }

    // Both panes on one generated model of rows x 20.
    BOOL CreateDemo(int rows, int width, int height);
    // The screenshot's state: the top pane with a 4 x 3 selection, an edited
    // cell, NULL cells and the name tip over a narrowed header; the bottom
    // pane on a model of its own with a typed-into cell.
    void StageShot();
    // The frame's capture with the tip's popup laid over it at its offset.
    qtplatform::Image Shot();
};
