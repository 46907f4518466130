#include "grid/gridstyle.h"

#include "editor/textdraw.h"

GridStyle::GridStyle()
    : colors{RGB(255, 255, 255), RGB(230, 230, 255), RGB(200, 200, 250), RGB(200, 200, 220),
             RGB(150, 150, 150), RGB(220, 220, 255), RGB(255, 220, 220), RGB(240, 240, 240),
             RGB(0, 0, 0),       RGB(240, 240, 240), RGB(0, 150, 150),   RGB(100, 100, 100),
             RGB(0, 0, 0),       RGB(120, 120, 120), RGB(255, 255, 50),  RGB(0, 0, 0)} {
    ready = 1;
}

GridStyle::~GridStyle() {
    HideTip();
    if (tip.wnd) DestroyWindow(tip.wnd);
    tip.wnd = nullptr;
    delete measure;
    measure = nullptr;
}

void GridStyle::HideTip() {
    if (!tip.shown) return;
    tip.shown = 0;
    if (tip.wnd) {
        KillTimer(tip.wnd, GRID_TIP_TIMER);
        ShowWindow(tip.wnd, SW_HIDE);
    }
}

COLORREF TintColor(COLORREF color, double factor) {
    int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    auto mul = [factor](int v) {
        double x = v * factor;
        return x > 255 ? 255 : static_cast<int>(x);
    };
    if (r > g && r > b) {
        g = mul(g);
        b = mul(b);
    } else if (r == g && g == b) {
        r = mul(r);
        g = mul(g);
        b = mul(b);
    } else if (g > r && g > b) {
        r = mul(r);
        b = mul(b);
    } else {
        r = mul(r);
        g = mul(g);
    }
    return RGB(r, g, b);
}
