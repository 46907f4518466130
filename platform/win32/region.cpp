// Rectangle helpers and the rectangle-set region.
#include <algorithm>

#include "win32/backend.h"

BOOL SetRect(LPRECT r, int left, int top, int right, int bottom) {
    if (!r) return FALSE;
    *r = RECT{left, top, right, bottom};
    return TRUE;
}
BOOL SetRectEmpty(LPRECT r) {
    return SetRect(r, 0, 0, 0, 0);
}
BOOL CopyRect(LPRECT dst, const RECT* src) {
    if (!dst || !src) return FALSE;
    *dst = *src;
    return TRUE;
}
BOOL IsRectEmpty(const RECT* r) {
    return !r || r->right <= r->left || r->bottom <= r->top;
}
BOOL PtInRect(const RECT* r, POINT pt) {
    return r && pt.x >= r->left && pt.x < r->right && pt.y >= r->top && pt.y < r->bottom;
}
BOOL OffsetRect(LPRECT r, int dx, int dy) {
    if (!r) return FALSE;
    r->left += dx, r->right += dx, r->top += dy, r->bottom += dy;
    return TRUE;
}
BOOL InflateRect(LPRECT r, int dx, int dy) {
    if (!r) return FALSE;
    r->left -= dx, r->right += dx, r->top -= dy, r->bottom += dy;
    return TRUE;
}
BOOL IntersectRect(LPRECT dst, const RECT* a, const RECT* b) {
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        SetRectEmpty(dst);
        return FALSE;
    }
    *dst = r;
    return TRUE;
}
BOOL UnionRect(LPRECT dst, const RECT* a, const RECT* b) {
    if (IsRectEmpty(a)) {
        if (IsRectEmpty(b)) return SetRectEmpty(dst), FALSE;
        *dst = *b;
        return TRUE;
    }
    if (IsRectEmpty(b)) {
        *dst = *a;
        return TRUE;
    }
    *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                std::max(a->bottom, b->bottom)};
    return TRUE;
}
BOOL SubtractRect(LPRECT dst, const RECT* a, const RECT* b) {
    RECT r = *a, i;
    if (IntersectRect(&i, a, b)) {
        if (i.top == r.top && i.bottom == r.bottom) {
            if (i.left == r.left)
                r.left = std::min(i.right, r.right);
            else if (i.right == r.right)
                r.right = i.left;
        } else if (i.left == r.left && i.right == r.right) {
            if (i.top == r.top)
                r.top = std::min(i.bottom, r.bottom);
            else if (i.bottom == r.bottom)
                r.bottom = i.top;
        }
    }
    *dst = r;
    if (IsRectEmpty(dst)) return SetRectEmpty(dst), FALSE;
    return TRUE;
}
BOOL EqualRect(const RECT* a, const RECT* b) {
    return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

namespace win32bk {

RECT Region::Bounds() const {
    RECT b{0, 0, 0, 0};
    for (const RECT& r : rects_) UnionRect(&b, &b, &r);
    return b;
}

void Region::Add(const RECT& r) {
    if (IsRectEmpty(&r)) return;
    // Keep rectangles disjoint: add only the parts of r not yet covered.
    std::vector<RECT> pieces{r};
    for (const RECT& have : rects_) {
        std::vector<RECT> next;
        for (const RECT& p : pieces) {
            RECT i;
            if (!IntersectRect(&i, &p, &have)) {
                next.push_back(p);
                continue;
            }
            if (p.top < i.top) next.push_back({p.left, p.top, p.right, i.top});
            if (i.bottom < p.bottom) next.push_back({p.left, i.bottom, p.right, p.bottom});
            if (p.left < i.left) next.push_back({p.left, i.top, i.left, i.bottom});
            if (i.right < p.right) next.push_back({i.right, i.top, p.right, i.bottom});
        }
        pieces.swap(next);
        if (pieces.empty()) return;
    }
    rects_.insert(rects_.end(), pieces.begin(), pieces.end());
}

void Region::Subtract(const RECT& r) {
    std::vector<RECT> out;
    for (const RECT& p : rects_) {
        RECT i;
        if (!IntersectRect(&i, &p, &r)) {
            out.push_back(p);
            continue;
        }
        if (p.top < i.top) out.push_back({p.left, p.top, p.right, i.top});
        if (i.bottom < p.bottom) out.push_back({p.left, i.bottom, p.right, p.bottom});
        if (p.left < i.left) out.push_back({p.left, i.top, i.left, i.bottom});
        if (i.right < p.right) out.push_back({i.right, i.top, p.right, i.bottom});
    }
    rects_.swap(out);
}

void Region::Intersect(const RECT& r) {
    std::vector<RECT> out;
    for (const RECT& p : rects_) {
        RECT i;
        if (IntersectRect(&i, &p, &r)) out.push_back(i);
    }
    rects_.swap(out);
}

void Region::Intersect(const Region& other) {
    std::vector<RECT> out;
    for (const RECT& p : rects_)
        for (const RECT& q : other.rects_) {
            RECT i;
            if (IntersectRect(&i, &p, &q)) out.push_back(i);
        }
    rects_.swap(out);
}

void Region::Offset(int dx, int dy) {
    for (RECT& r : rects_) OffsetRect(&r, dx, dy);
}

bool Region::Intersects(const RECT& r) const {
    for (const RECT& p : rects_) {
        RECT i;
        if (IntersectRect(&i, &p, &r)) return true;
    }
    return false;
}

bool Region::Contains(int x, int y) const {
    for (const RECT& p : rects_)
        if (PtInRect(&p, POINT{x, y})) return true;
    return false;
}

} // namespace win32bk
