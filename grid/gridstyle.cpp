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

bool (*gridtip_create_hook)() = nullptr;

namespace {

const char16_t kTipClass[] = u"Tip Control Window";

GridTip* TipOf(HWND hwnd) {
    return reinterpret_cast<GridTip*>(GetWindowLongPtrW(hwnd, 0));
}

void HideTipWindow(HWND hwnd, GridTip* tip) {
    tip->shown = 0;
    KillTimer(hwnd, GRID_TIP_TIMER);
    ShowWindow(hwnd, SW_HIDE);
}

} // namespace

LRESULT TipWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    GridTip* tip = TipOf(hwnd);
    if (!tip) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        SetBkMode(dc, TRANSPARENT);
        HGDIOBJ oldFont = tip->font ? SelectObject(dc, tip->font) : nullptr;
        RECT r{0, 0, tip->width + 2, tip->area.bottom - tip->area.top};
        HBRUSH brush = CreateSolidBrush(tip->bkColor);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        COLORREF oldColor = SetTextColor(dc, tip->textColor);
        TextOutW(dc, 3, 2, tip->text.GetString(), tip->text.GetLength());
        SetTextColor(dc, oldColor);
        if (oldFont) SelectObject(dc, oldFont);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_TIMER && wParam == GRID_TIP_TIMER) {
        if (tip->shown) {
            POINT pt{};
            GetCursorPos(&pt);
            bool inside = pt.x >= tip->area.left + 3 && pt.x < tip->area.right - 3 && pt.y >= tip->area.top &&
                          pt.y < tip->area.bottom;
            if (!inside) HideTipWindow(hwnd, tip);
        }
        return 0;
    }
    if (msg >= WM_LBUTTONDOWN && msg <= WM_MOUSEHWHEEL) {
        if (tip->shown) HideTipWindow(hwnd, tip);
        DWORD press = msg == WM_LBUTTONDOWN   ? MOUSEEVENTF_LEFTDOWN
                      : msg == WM_RBUTTONDOWN ? MOUSEEVENTF_RIGHTDOWN
                      : msg == WM_MBUTTONDOWN ? MOUSEEVENTF_MIDDLEDOWN
                                              : 0;
        if (press) mouse_event(press, 0, 0, 0, 0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool GridStyle::EnsureTipWindow() {
    if (tip.wnd) return true;
    if (m_tipFailed) return false;
    m_tipFailed = 1;
    if (gridtip_create_hook && !gridtip_create_hook()) return false;
    WNDCLASSW wc{};
    if (!GetClassInfoW(nullptr, kTipClass, &wc)) {
        wc = WNDCLASSW{};
        wc.lpfnWndProc = TipWndProc;
        wc.cbWndExtra = 8;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = kTipClass;
        if (!RegisterClassW(&wc)) return false;
    }
    tip.wnd = CreateWindowExW(WS_EX_TOOLWINDOW, kTipClass, u"", WS_POPUP, 0, 0, 10, 10, GetDesktopWindow(),
                              nullptr, nullptr, nullptr);
    if (!tip.wnd) return false;
    SetWindowLongPtrW(tip.wnd, 0, reinterpret_cast<LONG_PTR>(&tip));
    m_tipFailed = 0;
    return true;
}

void GridStyle::MeasureTip() {
    if (!EnsureTipWindow()) return;
    HDC dc = GetDC(tip.wnd);
    HGDIOBJ oldFont = tip.font ? SelectObject(dc, tip.font) : nullptr;
    DWORD ext = GetTabbedTextExtentW(dc, tip.text.GetString(), tip.text.GetLength(), 0, nullptr);
    m_textWidth = LOWORD(ext);
    tip.width = LOWORD(ext) + 3;
    tip.height = HIWORD(ext) + 2;
    if (oldFont) SelectObject(dc, oldFont);
    ReleaseDC(tip.wnd, dc);
}

int GridStyle::ShowTip(HWND owner, const char16_t* text, HFONT font, const RECT& area) {
    tip.text = text ? text : u"";
    tip.font = font;
    tip.owner = owner;
    MeasureTip();
    if (!tip.wnd) return 0;
    tip.area = area;
    if (tip.area.bottom == tip.area.top) tip.area.bottom = tip.area.top + tip.height;
    POINT pt{};
    GetCursorPos(&pt);
    if (!PtInRect(&tip.area, pt) || tip.area.right - tip.area.left >= m_textWidth) return 0;
    SetTimer(tip.wnd, GRID_TIP_TIMER, 200, nullptr);
    SetWindowPos(tip.wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    MoveWindow(tip.wnd, tip.area.left + tip.offsetX, tip.area.top + tip.offsetY, tip.width + 2,
               tip.area.bottom - tip.area.top, TRUE);
    tip.shown = 1;
    ShowWindow(tip.wnd, SW_SHOWNOACTIVATE);
    return 1;
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
