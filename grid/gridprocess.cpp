// Cell processes, selection statistics, the sort order and the export.
#include <cfloat>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/textfile.h"
#include "base/width.h"
#include "grid/griddata.h"

namespace {

size_t Len16(const char16_t* s) {
    size_t n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

// ASCII copy of a number text for the C runtime conversions (other
// characters end a number anyway); short texts stay on the stack.
class NarrowText {
public:
    explicit NarrowText(const char16_t* s) {
        size_t n = 0;
        while (s && s[n]) ++n;
        char* out = n < sizeof(m_buf) ? m_buf : (m_long.resize(n + 1), m_long.data());
        for (size_t i = 0; i < n; ++i) out[i] = s[i] < 0x80 ? static_cast<char>(s[i]) : '\x7f';
        out[n] = 0;
        m_text = out;
    }
    const char* c_str() const { return m_text; }

private:
    char m_buf[256];
    std::string m_long;
    const char* m_text;
};

double ToDouble(const char16_t* s) {
    return std::strtod(NarrowText(s).c_str(), nullptr);
}

int64_t ToInt64(const char16_t* s) {
    return std::strtoll(NarrowText(s).c_str(), nullptr, 10);
}

class MakeUpperProcess : public CGridData::CGridUpdateProcess {
public:
    CString MakeText(const char16_t* old) override {
        CString s(old);
        s.MakeUpper();
        return s;
    }
};

class MakeLowerProcess : public CGridData::CGridUpdateProcess {
public:
    CString MakeText(const char16_t* old) override {
        CString s(old);
        s.MakeLower();
        return s;
    }
};

class MakeWidthProcess : public CGridData::CGridUpdateProcess {
public:
    MakeWidthProcess(bool zenkaku, int ascii, int kana) : m_zenkaku(zenkaku), m_ascii(ascii), m_kana(kana) {}
    CString MakeText(const char16_t* old) override {
        std::u16string buf(Len16(old) * 2 + 1, u'\0');
        if (m_zenkaku)
            width_to_zenkaku(old, buf.data(), m_ascii, m_kana);
        else
            width_to_hankaku(old, buf.data(), m_ascii, m_kana);
        return CString(buf.c_str());
    }

private:
    bool m_zenkaku;
    int m_ascii, m_kana;
};

// Numbers start, start + step, ...; once the next number does not fit in 64
// bits the sequence stops and the cells keep their texts.
class InputSequenceProcess : public CGridData::CGridUpdateProcess {
public:
    InputSequenceProcess(int64_t start, int64_t step) : m_start(start), m_step(step) {}
    CString MakeText(const char16_t* old) override {
        if (m_over) return CString(old);
        if (!m_started) {
            m_current = m_start;
            m_started = true;
        } else if (__builtin_add_overflow(m_current, m_step, &m_current)) {
            m_over = true;
            return CString(old);
        }
        CString s;
        s.Format(u"%I64d", static_cast<long long>(m_current));
        return s;
    }

private:
    int64_t m_start, m_step, m_current = 0;
    bool m_started = false, m_over = false;
};

} // namespace

int CGridData::ExecUpdateProcess(CGridUpdateProcess* process) {
    if (!IsEditable() || !IsCursorInData()) return 0;
    int c1, c2, r1, r2;
    if (HasSelection()) {
        c1 = std::min(m_sel1.x, m_sel2.x);
        c2 = std::max(m_sel1.x, m_sel2.x);
        r1 = m_sel1.y;
        r2 = m_sel2.y;
    } else {
        c1 = c2 = m_curCol;
        r1 = r2 = m_curRow;
    }
    if (r2 < r1) return 0;
    int changed = 0;
    bool open = false;
    for (int r = r1; r <= r2; ++r)
        for (int c = c1; c <= c2; ++c) {
            if (!IsCellEditable(r, c)) continue;
            const char16_t* old = GetEditText(r, c);
            if (!old) old = u"";
            CString text = process->MakeText(old);
            size_t n = Len16(old);
            if (static_cast<size_t>(text.GetLength()) == n &&
                std::memcmp(text.GetString(), old, n * sizeof(char16_t)) == 0)
                continue;
            if (!open) {
                BeginUndoGroup();
                open = true;
            }
            if (SetText(r, c, text.GetString(), -1) == 0) ++changed;
        }
    if (open) EndUndoGroup();
    return changed;
}

int CGridData::ToUpper() {
    MakeUpperProcess p;
    return ExecUpdateProcess(&p);
}

int CGridData::ToLower() {
    MakeLowerProcess p;
    return ExecUpdateProcess(&p);
}

int CGridData::ToHankaku(int ascii, int kana) {
    MakeWidthProcess p(false, ascii, kana);
    return ExecUpdateProcess(&p);
}

int CGridData::ToZenkaku(int ascii, int kana) {
    MakeWidthProcess p(true, ascii, kana);
    return ExecUpdateProcess(&p);
}

void CGridData::InputSequence(int64_t start, int64_t step) {
    InputSequenceProcess p(start, step);
    ExecUpdateProcess(&p);
}

CString CGridData::FormatThousands(double value, int decimals, const char16_t* text) {
    CString src;
    if (text)
        src = text;
    else
        src.Format(u"%.*f", decimals, value);
    const char16_t* s = src.GetString();
    CString out;
    if (*s == u'-') {
        out += u'-';
        ++s;
    }
    const char16_t* dot = s;
    while (*dot && *dot != u'.') ++dot;
    int digits = static_cast<int>(dot - s);
    for (int i = 0; i < digits; ++i) {
        if (i > 0 && (digits - i) % 3 == 0) out += u',';
        out += s[i];
    }
    out += dot;
    return out;
}

double CGridData::GetCalcValue(int type, POINT first, POINT last, POINT* cell, int* decimals) {
    if (type == GRID_CALC_ROWS) return last.y - first.y + 1;
    double sum = 0, maxV = 0, minV = 0;
    int64_t count = 0;
    int maxDec = 0;
    POINT maxCell{}, minCell{};
    for (int c = first.x; c <= last.x; ++c)
        for (int r = first.y; r <= last.y; ++r) {
            if (IsNull(r, c) || GetColType(r, c) != 0) continue;
            const char16_t* t = GetText(r, c);
            if (!t) t = u"";
            double v = ToDouble(t);
            const char16_t* dot = t;
            while (*dot && *dot != u'.') ++dot;
            if (*dot) maxDec = std::max(maxDec, static_cast<int>(Len16(dot + 1)));
            if (count == 0 || v > maxV) {
                maxV = v;
                maxCell = POINT{c, r};
            }
            if (count == 0 || v < minV) {
                minV = v;
                minCell = POINT{c, r};
            }
            sum += v;
            ++count;
        }
    if (count == 0) return DBL_MAX;
    if (decimals) *decimals = maxDec;
    switch (type) {
    case GRID_CALC_SUM: return sum;
    case GRID_CALC_AVG: return sum / static_cast<double>(count);
    case GRID_CALC_MAX:
        if (cell) *cell = maxCell;
        return maxV;
    case GRID_CALC_MIN:
        if (cell) *cell = minCell;
        return minV;
    default: return DBL_MAX;
    }
}

CString CGridData::GetCalcText(int type, POINT a, POINT b) {
    POINT first{std::min(a.x, b.x), std::min(a.y, b.y)};
    POINT last{std::max(a.x, b.x), std::max(a.y, b.y)};
    CString out;
    if (type == GRID_CALC_ROWS) {
        out.Format(u"行数:%s", FormatThousands(last.y - first.y + 1, 0, nullptr).GetString());
        return out;
    }
    int scale = 0;
    bool numeric = false;
    for (int c = first.x; c <= last.x; ++c) {
        if (GetColType(0, c) != 0) continue;
        numeric = true;
        int s = GetColScale(c);
        scale = s == 129 ? 0 : std::max(scale, s);
    }
    if (numeric) {
        POINT cell{};
        int dec = 0;
        double v = GetCalcValue(type, first, last, &cell, &dec);
        if (v == DBL_MAX) return out;
        switch (type) {
        case GRID_CALC_SUM:
            out.Format(u"%s:%s", u"合計", FormatThousands(v, std::max(scale, dec), nullptr).GetString());
            break;
        case GRID_CALC_AVG:
            out.Format(u"%s:%s", u"平均", FormatThousands(v, std::max(scale, dec) + 1, nullptr).GetString());
            break;
        case GRID_CALC_MAX:
        case GRID_CALC_MIN: {
            const char16_t* t = GetDispText(cell.y, cell.x);
            out.Format(u"%s:%s", type == GRID_CALC_MAX ? u"最大値" : u"最小値",
                       FormatThousands(0, 0, t ? t : u"").GetString());
            break;
        }
        default: break;
        }
        return out;
    }
    if (type != GRID_CALC_MAX && type != GRID_CALC_MIN) return out;
    CString best;
    bool have = false;
    for (int c = first.x; c <= last.x; ++c)
        for (int r = first.y; r <= last.y; ++r) {
            if (IsNull(r, c)) continue;
            const char16_t* t = GetDispText(r, c);
            if (!t) t = u"";
            int cmp = have ? best.Compare(t) : 0;
            if (!have || (type == GRID_CALC_MAX ? cmp < 0 : cmp > 0)) {
                best = t;
                have = true;
            }
        }
    if (have) out.Format(u"%s:%s", type == GRID_CALC_MAX ? u"最大値" : u"最小値", best.GetString());
    return out;
}

// ---------------------------------------------------------------------------
// Sort order
//
// Each key of each row is read once into a 32-byte cell: text cells keep the
// first four units packed for a quick comparison; plain decimals of up to 18
// integer and 18 fraction digits become two exact integers; other numbers
// keep what the general comparison needs in a side record. The comb sort
// moves the first key's cells with the row numbers, so its passes read
// memory in order.

namespace {

enum : uint8_t { CELL_TEXT = 0, CELL_NULL = 1, CELL_FAST = 2, CELL_SLOW = 3 };

struct SortCell {
    uint64_t k1 = 0; // text: first four units; fast decimal: integer part (biased)
    int64_t k2 = 0;  // fast decimal: fraction scaled to 18 digits, signed
    uint32_t off = 0, len = 0;
    uint8_t numeric = 0, cls = CELL_TEXT;
    int32_t row = 0;
};
static_assert(sizeof(SortCell) == 32, "a sort cell is 32 bytes");

struct SlowCell {
    uint8_t plain = 0, hasDot = 0, neg = 0;
    uint32_t intOff = 0, intLen = 0, fracLen = 0; // plain decimals, normalised
    double d = 0;
    int64_t i = 0;
};

struct SortKey {
    int dir = 1;
    bool ranked = false; // every cell is text and k1 is the rank of its text
    std::u16string arena;
    std::vector<SortCell> cells;  // by row (keys after the first)
    std::vector<SlowCell> slow;   // by row, only where cls is CELL_SLOW
    std::vector<uint32_t> slowAt; // row -> index into slow
};

// Plain decimal: optional sign, digits, optional '.' and digits; at least one
// digit. Leading zeros of the integer part and trailing zeros of the fraction
// are cut off.
bool ParsePlain(const char16_t* t, size_t len, uint32_t base, SlowCell* c) {
    size_t i = 0;
    bool neg = false;
    if (i < len && (t[i] == u'-' || t[i] == u'+')) neg = t[i++] == u'-';
    size_t is = i;
    while (i < len && t[i] >= u'0' && t[i] <= u'9') ++i;
    size_t ie = i;
    size_t fs = ie, fe = ie;
    if (i < len && t[i] == u'.') {
        fs = ++i;
        while (i < len && t[i] >= u'0' && t[i] <= u'9') ++i;
        fe = i;
    }
    if (i != len || (ie == is && fe == fs)) return false;
    while (is < ie && t[is] == u'0') ++is;
    while (fe > fs && t[fe - 1] == u'0') --fe;
    c->plain = 1;
    c->neg = neg && (ie > is || fe > fs); // -0 is 0
    c->intOff = base + static_cast<uint32_t>(is);
    c->intLen = static_cast<uint32_t>(ie - is);
    c->fracLen = static_cast<uint32_t>(fe - fs);
    return true;
}

int Sign(double d) {
    return d > 0 ? 1 : (d < 0 ? -1 : 0);
}

int CompareUnits(const char16_t* a, size_t na, const char16_t* b, size_t nb) {
    size_t n = std::min(na, nb);
    for (size_t k = 0; k < n; ++k)
        if (a[k] != b[k]) return a[k] < b[k] ? -1 : 1;
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

int ComparePlain(const SortKey& k, const SlowCell& a, const SlowCell& b) {
    if (a.neg != b.neg) return a.neg ? -1 : 1;
    const char16_t* s = k.arena.data();
    int mag;
    if (a.intLen != b.intLen) {
        mag = a.intLen < b.intLen ? -1 : 1;
    } else {
        mag = CompareUnits(s + a.intOff, a.intLen, s + b.intOff, b.intLen);
        if (mag == 0)
            mag =
                CompareUnits(s + a.intOff + a.intLen + 1, a.fracLen, s + b.intOff + b.intLen + 1, b.fracLen);
    }
    return a.neg ? -mag : mag;
}

// The general numeric comparison of two non-NULL cells.
int CompareSlow(const SortKey& k, const SortCell& a, const SortCell& b) {
    const char16_t* s = k.arena.data();
    if (CompareUnits(s + a.off, a.len, s + b.off, b.len) == 0) return 0;
    auto slowOf = [&](const SortCell& c, SlowCell* out) {
        if (c.cls == CELL_SLOW) {
            *out = k.slow[k.slowAt[static_cast<size_t>(c.row)]];
            return;
        }
        // Other cells (rare here): made again from the text.
        const char16_t* t = s + c.off;
        ParsePlain(t, c.len, c.off, out);
        for (uint32_t j = 0; j < c.len; ++j)
            if (t[j] == u'.') out->hasDot = 1;
        out->d = ToDouble(t);
        out->i = ToInt64(t);
    };
    SlowCell fa, fb;
    slowOf(a, &fa);
    slowOf(b, &fb);
    if (fa.plain && fb.plain) return ComparePlain(k, fa, fb);
    if (fa.hasDot || fb.hasDot) return Sign(fa.d - fb.d);
    return fa.i < fb.i ? -1 : (fa.i > fb.i ? 1 : 0);
}

// Compares rows a and b on one key; the kind of row a decides.
inline int CompareCells(const SortKey& k, const SortCell& a, const SortCell& b) {
    if (k.ranked) return a.k1 < b.k1 ? -1 : (a.k1 > b.k1 ? 1 : 0);
    if (!a.numeric) {
        // k1 holds the packed prefix of every cell but a fast decimal.
        if (b.cls != CELL_FAST && a.k1 != b.k1) return a.k1 < b.k1 ? -1 : 1;
        const char16_t* s = k.arena.data();
        return CompareUnits(s + a.off, a.len, s + b.off, b.len);
    }
    if (a.cls == CELL_NULL || b.cls == CELL_NULL) {
        if (a.cls == b.cls) return 0;
        return a.cls == CELL_NULL ? 1 : -1;
    }
    if (a.cls == CELL_FAST && b.cls == CELL_FAST) {
        if (a.k1 != b.k1) return a.k1 < b.k1 ? -1 : 1;
        return a.k2 < b.k2 ? -1 : (a.k2 > b.k2 ? 1 : 0);
    }
    return CompareSlow(k, a, b);
}

uint64_t PackPrefix(const char16_t* t, size_t len) {
    uint64_t v = 0;
    for (size_t j = 0; j < 4; ++j) v = (v << 16) | (j < len ? t[j] : 0);
    return v;
}

// Reads one cell of a key into c (and the side record when needed).
void ReadCell(CGridData* g, SortKey& key, int row, int col, SortCell* c) {
    c->row = row;
    c->numeric = g->GetColType(row, col) == 0;
    const char16_t* t = g->GetText(row, col);
    if (!t) t = u"";
    size_t len = 0;
    while (t[len]) ++len;
    c->off = static_cast<uint32_t>(key.arena.size());
    c->len = static_cast<uint32_t>(len);
    key.arena.append(t, len);
    key.arena.push_back(0);
    c->k1 = PackPrefix(t, len);
    if (!c->numeric) {
        c->cls = CELL_TEXT;
        return;
    }
    if (g->IsNull(row, col)) {
        c->cls = CELL_NULL;
        return;
    }
    SlowCell s;
    bool plain = ParsePlain(t, len, c->off, &s);
    if (plain && s.intLen <= 18 && s.fracLen <= 18) {
        const char16_t* a = key.arena.data() + s.intOff;
        int64_t ip = 0, fp = 0;
        for (uint32_t j = 0; j < s.intLen; ++j) ip = ip * 10 + (a[j] - u'0');
        const char16_t* f = a + s.intLen + 1;
        for (uint32_t j = 0; j < 18; ++j) fp = fp * 10 + (j < s.fracLen ? f[j] - u'0' : 0);
        if (s.neg) ip = -ip, fp = -fp;
        c->cls = CELL_FAST;
        c->k1 = static_cast<uint64_t>(ip) ^ (1ull << 63);
        c->k2 = fp;
        return;
    }
    for (size_t j = 0; j < len; ++j)
        if (t[j] == u'.') s.hasDot = 1;
    s.d = ToDouble(t);
    s.i = ToInt64(t);
    c->cls = CELL_SLOW;
    if (key.slowAt.empty()) key.slowAt.resize(static_cast<size_t>(g->GetRowCount()));
    key.slowAt[static_cast<size_t>(row)] = static_cast<uint32_t>(key.slow.size());
    key.slow.push_back(s);
}

// Replaces the texts of a key whose cells are all text by the ranks of the
// distinct texts in unit order: comparing ranks gives the same answers as
// comparing the texts.
void RankTexts(SortKey& key, std::vector<SortCell>& cells) {
    for (const SortCell& c : cells)
        if (c.numeric) return;
    const char16_t* s = key.arena.data();
    std::unordered_map<std::u16string_view, uint32_t> ids;
    std::vector<std::u16string_view> distinct;
    std::vector<uint32_t> id(cells.size());
    for (size_t r = 0; r < cells.size(); ++r) {
        std::u16string_view v(s + cells[r].off, cells[r].len);
        auto [it, added] = ids.try_emplace(v, static_cast<uint32_t>(distinct.size()));
        if (added) distinct.push_back(v);
        id[r] = it->second;
    }
    std::vector<uint32_t> order(distinct.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<uint32_t>(i);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return distinct[a] < distinct[b]; });
    std::vector<uint32_t> rank(distinct.size());
    for (size_t i = 0; i < order.size(); ++i) rank[order[i]] = static_cast<uint32_t>(i);
    for (size_t r = 0; r < cells.size(); ++r) cells[r].k1 = rank[id[r]];
    key.ranked = true;
}

// The comb sort: the gap shrinks by 10/13 (0 becomes 1, 9 and 10 become 11);
// passes repeat until a pass with gap 1 exchanges nothing.
template <class Elem, class Greater> void CombSort(Elem* e, int64_t n, Greater greater) {
    int64_t gap = n;
    for (;;) {
        gap = gap * 10 / 13;
        if (gap == 0) gap = 1;
        if (gap == 9 || gap == 10) gap = 11;
        bool swapped = false;
        if (gap < n) {
            for (int64_t i = 0; i + gap < n; ++i)
                if (greater(e[i], e[i + gap])) {
                    std::swap(e[i], e[i + gap]);
                    swapped = true;
                }
        }
        if (gap == 1 && !swapped) break;
    }
}

// Dense ranks of a key whose cells all compare by k1 alone or by (k1, k2):
// ranked texts, or numbers that are all short decimals or NULL. Equal ranks
// for equal cells, NULLs last; the direction is folded in. False when the
// key has other cells.
bool OrderRanks(const SortKey& key, std::vector<uint32_t>* ranks, uint32_t* top) {
    const std::vector<SortCell>& cells = key.cells;
    // The cells' values with their rows, sorted: ranks are given in one
    // sweep, a new one wherever the value changes.
    struct Value {
        uint64_t k1;
        int64_t k2;
        uint32_t row;
    };
    std::vector<Value> values;
    values.reserve(cells.size());
    for (size_t r = 0; r < cells.size(); ++r) {
        const SortCell& c = cells[r];
        if (key.ranked) {
            values.push_back(Value{c.k1, 0, static_cast<uint32_t>(r)});
            continue;
        }
        if (!c.numeric || c.cls == CELL_SLOW || c.cls == CELL_TEXT) return false;
        if (c.cls == CELL_FAST) values.push_back(Value{c.k1, c.k2, static_cast<uint32_t>(r)});
    }
    std::sort(values.begin(), values.end(),
              [](const Value& a, const Value& b) { return a.k1 != b.k1 ? a.k1 < b.k1 : a.k2 < b.k2; });
    uint32_t distinct = 0;
    for (size_t i = 0; i < values.size(); ++i)
        if (i == 0 || values[i].k1 != values[i - 1].k1 || values[i].k2 != values[i - 1].k2) ++distinct;
    const uint32_t nulls = distinct;
    *top = nulls;
    // NULL cells (those without a value) rank after every value
    ranks->assign(cells.size(), key.dir < 0 ? 0 : nulls);
    uint32_t rank = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0 && (values[i].k1 != values[i - 1].k1 || values[i].k2 != values[i - 1].k2)) ++rank;
        (*ranks)[values[i].row] = key.dir < 0 ? nulls - rank : rank;
    }
    return true;
}

struct SortCellRest {
    SortCell c;
    uint64_t rest; // the later keys' folded ranks, most significant first
};

// A row whose keys all fold into one integer: the first key's rank (turned
// round when it sorts descending) above the later keys' folded ranks.
struct PackedRow {
    uint64_t key;
    int32_t row;
};

// Sorts rows by a first key of ranked texts and the later keys' folded ranks
// (rest, bits wide; none when bits is 0) when they fit in one integer: the
// comb sort then makes the same exchanges as on the cells, since every
// comparison has the same answer. False when they do not fit.
bool SortPacked(const SortKey& k0, const std::vector<SortCell>& first, const std::vector<uint64_t>* rest,
                int bits, std::vector<int32_t>* out) {
    if (!k0.ranked || k0.dir == 0) return false;
    uint64_t top = 0;
    for (const SortCell& c : first) top = std::max(top, c.k1);
    int w = 1;
    while (w < 64 && (uint64_t{1} << w) <= top) ++w;
    if (w + bits > 64) return false;
    size_t n = first.size();
    std::vector<PackedRow> e(n);
    for (size_t r = 0; r < n; ++r) {
        uint64_t rank = k0.dir < 0 ? top - first[r].k1 : first[r].k1;
        e[r] = PackedRow{(rank << bits) | (rest ? (*rest)[r] : 0), first[r].row};
    }
    CombSort(e.data(), static_cast<int64_t>(n),
             [](const PackedRow& a, const PackedRow& b) { return a.key > b.key; });
    for (size_t i = 0; i < n; ++i) (*out)[i] = e[i].row;
    return true;
}

} // namespace

void CGridData::ComputeSortOrder(const int* cols, const int* dirs, int keyCount, std::vector<int32_t>* out) {
    int n = std::max(0, GetRowCount());
    out->resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) (*out)[static_cast<size_t>(i)] = i;
    if (keyCount <= 0 || n < 2) return;
    std::vector<SortKey> keys(static_cast<size_t>(keyCount));
    std::vector<SortCell> first(static_cast<size_t>(n));
    for (int k = 0; k < keyCount; ++k) {
        SortKey& key = keys[static_cast<size_t>(k)];
        key.dir = dirs ? dirs[k] : 1;
        std::vector<SortCell>& cells = k == 0 ? first : key.cells;
        cells.resize(static_cast<size_t>(n));
        for (int r = 0; r < n; ++r) ReadCell(this, key, r, cols[k], &cells[static_cast<size_t>(r)]);
        RankTexts(key, cells);
    }
    const SortKey& k0 = keys[0];
    int dir0 = k0.dir;
    if (keyCount > 1) {
        // Later keys folded into one integer when their ranks fit in 64 bits.
        std::vector<uint64_t> rest(static_cast<size_t>(n), 0);
        int bits = 0;
        bool folded = true;
        for (size_t k = 1; k < keys.size() && folded; ++k) {
            std::vector<uint32_t> ranks;
            uint32_t top = 0;
            if (!OrderRanks(keys[k], &ranks, &top)) {
                folded = false;
                break;
            }
            int w = 1;
            while (w < 32 && (uint64_t{1} << w) <= top) ++w;
            bits += w;
            if (bits > 64) {
                folded = false;
                break;
            }
            for (size_t r = 0; r < rest.size(); ++r) rest[r] = (rest[r] << w) | ranks[r];
        }
        if (folded && SortPacked(k0, first, &rest, bits, out)) return;
        if (folded) {
            std::vector<SortCellRest> e(static_cast<size_t>(n));
            for (size_t r = 0; r < e.size(); ++r) e[r] = SortCellRest{first[r], rest[r]};
            std::vector<SortCell>().swap(first);
            std::vector<uint64_t>().swap(rest);
            for (size_t k = 1; k < keys.size(); ++k) std::vector<SortCell>().swap(keys[k].cells);
            CombSort(e.data(), n, [&](const SortCellRest& a, const SortCellRest& b) {
                int c = CompareCells(k0, a.c, b.c);
                if (c != 0) return dir0 * c > 0;
                return a.rest > b.rest;
            });
            for (int i = 0; i < n; ++i) (*out)[static_cast<size_t>(i)] = e[static_cast<size_t>(i)].c.row;
            return;
        }
    }
    if (keyCount == 1 && SortPacked(k0, first, nullptr, 0, out)) return;
    CombSort(first.data(), n, [&](const SortCell& a, const SortCell& b) {
        int c = CompareCells(k0, a, b);
        if (c != 0) return dir0 * c > 0;
        for (size_t k = 1; k < keys.size(); ++k) {
            const SortKey& key = keys[k];
            c = CompareCells(key, key.cells[static_cast<size_t>(a.row)],
                             key.cells[static_cast<size_t>(b.row)]);
            if (c != 0) return key.dir * c > 0;
        }
        return false;
    });
    for (int i = 0; i < n; ++i) (*out)[static_cast<size_t>(i)] = first[static_cast<size_t>(i)].row;
}

void CGridData::ApplyOrderBySwaps(const std::vector<int32_t>& order) {
    size_t n = order.size();
    std::vector<int32_t> where(n), at(n);
    for (size_t i = 0; i < n; ++i) where[i] = at[i] = static_cast<int32_t>(i);
    for (size_t i = 0; i < n; ++i) {
        int32_t row = order[i];
        int32_t p = where[static_cast<size_t>(row)];
        if (p == static_cast<int32_t>(i)) continue;
        SwapRows(static_cast<int>(i), p);
        int32_t other = at[i];
        at[i] = row;
        where[static_cast<size_t>(row)] = static_cast<int32_t>(i);
        at[static_cast<size_t>(p)] = other;
        where[static_cast<size_t>(other)] = p;
    }
}

// ---------------------------------------------------------------------------
// Export

int CGridData::ExportToFile(const char16_t* path, CharCode code, LineEndCode lineEnd, int sepKind,
                            int withNames, int withQuotes, CString* err, int* replaced, int* cut) {
    if (replaced) *replaced = 0;
    if (cut) *cut = 0;
    int cutValues = 0;
    if (sepKind != 0 && sepKind != 1) {
        if (err) *err = u"Error: Invalid separator";
        return 0;
    }
    TextFile tf;
    if (!textfile_open(&tf, path, u"w")) {
        if (err) err->Format(u"Error: File can not open (%s)", path);
        return 0;
    }
    textfile_init(&tf, tf.archive, code,
                  lineEnd == LINE_END_LF || lineEnd == LINE_END_CR ? lineEnd : LINE_END_CRLF);
    const char16_t* eol = lineEnd == LINE_END_LF ? u"\n" : (lineEnd == LINE_END_CR ? u"\r" : u"\r\n");
    const char16_t* sep = sepKind == 0 ? u"," : u"\t";
    int cols = GetColCount(), rows = GetRowCount();
    bool ok = true;
    try {
        if (withNames) {
            for (int c = 0; c < cols; ++c) {
                if (c > 0) textfile_write(&tf, sep);
                const char16_t* name = GetColName(c);
                textfile_write_csv_field(&tf, name ? name : u"", withQuotes);
            }
            textfile_write(&tf, eol);
        }
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                if (c > 0) textfile_write(&tf, sep);
                if (IsNull(r, c)) continue;
                // The whole value, as editing and copying have it: the shown
                // text of a long value is only its beginning.
                const char16_t* t = GetEditText(r, c);
                if (IsValueCut(r, c)) ++cutValues;
                textfile_write_csv_field(&tf, t ? t : u"", withQuotes);
            }
            textfile_write(&tf, eol);
        }
    } catch (CException* e) {
        e->Delete();
        ok = false;
    }
    if (replaced) *replaced = textfile_replaced_count(&tf);
    if (cut) *cut = cutValues;
    // Only a file written whole takes the place of the one at path; after a
    // failure that one is as it was and no part of the new one is left.
    if (!ok) {
        textfile_abort(&tf);
    } else {
        try {
            textfile_close(&tf);
        } catch (CException* e) {
            e->Delete();
            ok = false;
        }
    }
    if (!ok) {
        if (err) err->Format(u"Error: File can not write (%s)", path);
        return 0;
    }
    return 1;
}
