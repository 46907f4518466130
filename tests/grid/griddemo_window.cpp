#include "griddemo_window.h"

#include <string>

#include "editor/editctrl.h"
#include "testing_pump.h"

BOOL GridDemoFrame::CreateDemo(int rows, int width, int height) {
    model = std::make_unique<GeneratedGridData>(rows, 20);
    if (!Make(model.get(), width, height, GRS_NAMETIP | GRS_NOTNULLMARK | GRS_LINEFEEDMARK)) return FALSE;
    for (int i = 0; i < 2; ++i) {
        CGridCtrl& g = Pane(i);
        g.SetColor(GRID_NULL_CELL_COLOR, RGB(236, 236, 236));
    }
    return TRUE;
}

void GridDemoFrame::StageShot() {
    CGridCtrl& top = Pane(0);
    CGridCtrl& bottom = Pane(1);
    second = std::make_unique<GeneratedGridData>(200, 20);
    bottom.SetData(second.get());
    top.SetFocus();
    DemoPump();
    // The lower pane edits a cell in place: typed into, not yet written.
    bottom.MoveCursor(POINT{1, 2}, 0, 0);
    bottom.StartEdit(0, 0);
    for (char16_t c : std::u16string(u" typed here")) bottom.m_editWnd->SendMessage(WM_CHAR, c, 1);
    DemoPump();
    top.SetCellText(1, 3, u"edited value", -1);
    top.SetSelectArea(POINT{1, 2}, POINT{1, 2}, POINT{4, 4});
    model->SetColWidth(2, 40);
    top.Relayout();
    DemoPump();
    // The pointer rests on the narrowed header: the name tip shows.
    int l, r;
    top.GetColumnExtent(2, &l, &r);
    POINT p{l + 10, top.m_colHeaderHeight / 2};
    top.m_tipPoint = p;
    top.ClientToScreen(&p);
    SetCursorPos(p.x, p.y);
    top.ShowColumnTip();
    DemoPump();
}

qtplatform::Image GridDemoFrame::Shot() {
    qtplatform::Image img = qtplatform::Capture(m_hWnd);
    GridTip& tip = model->m_style.tip;
    if (tip.shown && tip.wnd) {
        qtplatform::Image popup = qtplatform::Capture(tip.wnd);
        RECT fr, tr;
        ::GetWindowRect(m_hWnd, &fr);
        ::GetWindowRect(tip.wnd, &tr);
        int ox = tr.left - fr.left, oy = tr.top - fr.top;
        for (int y = 0; y < popup.height; ++y)
            for (int x = 0; x < popup.width; ++x) {
                int fx = ox + x, fy = oy + y;
                if (fx >= 0 && fy >= 0 && fx < img.width && fy < img.height)
                    img.pixels[static_cast<size_t>(fy) * img.width + fx] = popup.At(x, y);
            }
    }
    return img;
}
