// Cell processes, selection statistics, the sort order and the export.
#include <cfloat>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

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

namespace {

struct SortCell {
    uint32_t off = 0, len = 0; // text in the key's arena
    uint8_t numeric = 0, isNull = 0, plain = 0, hasDot = 0, neg = 0;
    uint32_t intOff = 0, intLen = 0, fracLen = 0; // plain decimals, normalised
    double d = 0;
    int64_t i = 0;
};

struct SortKey {
    int dir = 1;
    std::u16string arena;
    std::vector<SortCell> cells;
};

// Plain decimal: optional sign, digits, optional '.' and digits; at least one
// digit. Leading zeros of the integer part and trailing zeros of the fraction
// are cut off.
void ParsePlain(const char16_t* t, size_t len, uint32_t base, SortCell* c) {
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
    if (i != len || (ie == is && fe == fs)) return;
    while (is < ie && t[is] == u'0') ++is;
    while (fe > fs && t[fe - 1] == u'0') --fe;
    c->plain = 1;
    c->neg = neg && (ie > is || fe > fs); // -0 is 0
    c->intOff = base + static_cast<uint32_t>(is);
    c->intLen = static_cast<uint32_t>(ie - is);
    c->fracLen = static_cast<uint32_t>(fe - fs);
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

int ComparePlain(const SortKey& k, const SortCell& a, const SortCell& b) {
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

int CompareCells(const SortKey& k, const SortCell& a, const SortCell& b) {
    const char16_t* s = k.arena.data();
    if (!a.numeric) return CompareUnits(s + a.off, a.len, s + b.off, b.len);
    if (!a.isNull && b.isNull) return -1;
    if (a.isNull && !b.isNull) return 1;
    if (a.isNull && b.isNull) return 0;
    if (CompareUnits(s + a.off, a.len, s + b.off, b.len) == 0) return 0;
    if (a.plain && b.plain) return ComparePlain(k, a, b);
    if (a.hasDot || b.hasDot) return Sign(a.d - b.d);
    return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
}

} // namespace

void CGridData::ComputeSortOrder(const int* cols, const int* dirs, int keyCount, std::vector<int32_t>* out) {
    int n = std::max(0, GetRowCount());
    out->resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) (*out)[static_cast<size_t>(i)] = i;
    if (keyCount <= 0 || n < 2) return;
    std::vector<SortKey> keys(static_cast<size_t>(keyCount));
    for (int k = 0; k < keyCount; ++k) {
        SortKey& key = keys[static_cast<size_t>(k)];
        key.dir = dirs ? dirs[k] : 1;
        key.cells.resize(static_cast<size_t>(n));
        int col = cols[k];
        for (int r = 0; r < n; ++r) {
            SortCell& c = key.cells[static_cast<size_t>(r)];
            c.numeric = GetColType(r, col) == 0;
            const char16_t* t = GetText(r, col);
            if (!t) t = u"";
            size_t len = Len16(t);
            c.off = static_cast<uint32_t>(key.arena.size());
            c.len = static_cast<uint32_t>(len);
            key.arena.append(t, len);
            if (!c.numeric) continue;
            c.isNull = IsNull(r, col) ? 1 : 0;
            if (c.isNull) continue;
            for (size_t j = 0; j < len; ++j)
                if (t[j] == u'.') c.hasDot = 1;
            ParsePlain(t, len, c.off, &c);
            c.d = ToDouble(t);
            c.i = ToInt64(t);
        }
    }
    auto greater = [&](int32_t r, int32_t s) {
        for (const SortKey& key : keys) {
            int c = CompareCells(key, key.cells[static_cast<size_t>(r)], key.cells[static_cast<size_t>(s)]);
            if (c != 0) return key.dir * c > 0;
        }
        return false;
    };
    int32_t* idx = out->data();
    int64_t gap = n;
    for (;;) {
        gap = gap * 10 / 13;
        if (gap == 0) gap = 1;
        if (gap == 9 || gap == 10) gap = 11;
        bool swapped = false;
        if (gap < n) {
            for (int64_t i = 0; i + gap < n; ++i)
                if (greater(idx[i], idx[i + gap])) {
                    std::swap(idx[i], idx[i + gap]);
                    swapped = true;
                }
        }
        if (gap == 1 && !swapped) break;
    }
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
                            int withNames, int withQuotes, CString* err, int* replaced) {
    if (replaced) *replaced = 0;
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
                const char16_t* t = GetText(r, c);
                textfile_write_csv_field(&tf, t ? t : u"", withQuotes);
            }
            textfile_write(&tf, eol);
        }
    } catch (CException* e) {
        e->Delete();
        ok = false;
    }
    if (replaced) *replaced = textfile_replaced_count(&tf);
    try {
        textfile_close(&tf);
    } catch (CException* e) {
        e->Delete();
        ok = false;
    }
    if (!ok) {
        if (err) err->Format(u"Error: File can not write (%s)", path);
        return 0;
    }
    return 1;
}
