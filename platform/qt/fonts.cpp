// Fonts: the face table, whole-pixel advances at 96 DPI, Windows text
// metrics, a per-code-point fallback chain and glyph-run drawing.
#include <QFontDatabase>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>

#include "qt_internal.h"
#include "win32/thread.h"

namespace qtbk {

namespace {
const QString kMono = QStringLiteral("Noto Sans Mono CJK JP");
const QString kProp = QStringLiteral("Noto Sans CJK JP");
const QString kLast = QStringLiteral("DejaVu Sans");

QString FaceName(const LOGFONTW& lf) {
    size_t n = 0;
    while (n < LF_FACESIZE && lf.lfFaceName[n]) ++n;
    return QString::fromUtf16(lf.lfFaceName, static_cast<qsizetype>(n));
}

bool Installed(const QString& family) {
    return InstalledFamilies().contains(family, Qt::CaseInsensitive);
}

QString MapFace(const LOGFONTW& lf) {
    QString name = FaceName(lf);
    if (name == u"Terminal" || name == u"ＭＳ ゴシック" || name == u"MS Gothic") return kMono;
    if (name == u"ＭＳ Ｐゴシック" || name == u"MS PGothic") return kProp;
    if (!name.isEmpty() && Installed(name)) return name;
    bool fixed = (lf.lfPitchAndFamily & 3) == FIXED_PITCH || (lf.lfPitchAndFamily & 0xF0) == FF_MODERN;
    return fixed ? kMono : kProp;
}

QRawFont MakeRaw(const QString& family, int px, int weight, bool italic, bool antialias) {
    QFont f(family);
    f.setPixelSize(px);
    f.setWeight(static_cast<QFont::Weight>(weight));
    f.setItalic(italic);
    f.setKerning(false);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(static_cast<QFont::StyleStrategy>(QFont::NoFontMerging | QFont::NoSubpixelAntialias |
                                                         (antialias ? 0 : QFont::NoAntialias)));
    return QRawFont::fromFont(f);
}

// The cell height (ascent + descent) of a face at 100 pixels, once per face
// and style (callers hold the font lock).
double CellAt100(const QString& family, int weight, bool italic, bool antialias) {
    static std::map<std::tuple<QString, int, bool, bool>, double> cells;
    auto key = std::make_tuple(family, weight, italic, antialias);
    auto it = cells.find(key);
    if (it == cells.end()) {
        QRawFont probe = MakeRaw(family, 100, weight, italic, antialias);
        it = cells.emplace(key, probe.ascent() + probe.descent()).first;
    }
    return it->second;
}

// A face's advances read from its own tables ('head', 'hhea', 'hmtx') and
// scaled as FreeType scales them for Qt's design metrics: the same figures
// as QRawFont::advancesForGlyphIndexes, without loading each glyph's outline
// (for the CJK faces some 40,000 instructions a glyph).
class TableAdvances {
public:
    // False when the face has no such tables, or varies (its advances are
    // then not the table's). The widths in font units are read once a face
    // (family and style), whatever its size.
    bool Read(const QRawFont& raw, const QString& family, int weight, bool italic, int px) {
        widths_ = WidthsOf(raw, family, weight, italic);
        if (!widths_) return false;
        // FT_DivFix(px in 26.6, units per em): the 16.16 scale.
        const qint64 size = static_cast<qint64>(px) * 64;
        scale_ = ((size << 16) + widths_->upem / 2) / widths_->upem;
        return true;
    }
    // The glyph's advance in pixels, to 1/64.
    double Advance(quint32 glyph) const {
        const std::vector<quint16>& w = widths_->units;
        const qint64 units = w[std::min<size_t>(glyph, w.size() - 1)];
        // FT_MulDiv(units, scale, 64): 16.16 pixels; Qt keeps them in 26.6.
        const qint64 linear = (units * scale_ + 32) / 64;
        return static_cast<double>(linear >> 10) / 64.0;
    }

private:
    struct Widths {
        std::vector<quint16> units;
        quint32 upem = 0;
    };
    static quint32 U16(const QByteArray& t, int at) {
        return (static_cast<quint32>(static_cast<uchar>(t[at])) << 8) | static_cast<uchar>(t[at + 1]);
    }
    static std::shared_ptr<const Widths> WidthsOf(const QRawFont& raw, const QString& family, int weight,
                                                  bool italic) {
        static std::mutex mutex;
        static std::map<std::tuple<QString, int, bool>, std::shared_ptr<const Widths>> faces;
        std::lock_guard<std::mutex> lock(mutex);
        auto key = std::make_tuple(family, weight, italic);
        if (auto it = faces.find(key); it != faces.end()) return it->second;
        std::shared_ptr<Widths> w;
        const QByteArray head = raw.fontTable("head"), hhea = raw.fontTable("hhea");
        if (head.size() >= 54 && hhea.size() >= 36 && raw.fontTable("fvar").isEmpty()) {
            const quint32 upem = U16(head, 18);
            const quint32 count = U16(hhea, 34);
            const QByteArray hmtx = raw.fontTable("hmtx");
            if (upem != 0 && count != 0 && hmtx.size() >= static_cast<qsizetype>(count) * 4) {
                w = std::make_shared<Widths>();
                w->upem = upem;
                w->units.resize(count);
                for (quint32 i = 0; i < count; ++i)
                    w->units[i] = static_cast<quint16>(U16(hmtx, static_cast<int>(i) * 4));
            }
        }
        faces.emplace(key, w);
        return w;
    }
    std::shared_ptr<const Widths> widths_;
    qint64 scale_ = 0;
};

class QtFontFace : public win32bk::FontFace {
public:
    QtFontFace(const LOGFONTW& lf) {
        family_ = MapFace(lf);
        int weight = lf.lfWeight <= 0 ? 400 : std::clamp<int>(lf.lfWeight, 100, 900);
        bool italic = lf.lfItalic != 0;
        bool aa = lf.lfQuality != NONANTIALIASED_QUALITY;
        int px = 12;
        if (lf.lfHeight < 0)
            px = -lf.lfHeight;
        else if (lf.lfHeight > 0) {
            double cell = CellAt100(family_, weight, italic, aa);
            px = cell > 0 ? std::max(1, static_cast<int>(std::lround(lf.lfHeight * 100.0 / cell)))
                          : lf.lfHeight;
        }
        px_ = px;
        weight_ = weight;
        italic_ = italic;
        antialias_ = aa;
        mono_ = family_ == kMono;
        // The fallback faces are loaded when a character first needs them.
        chainFamilies_.push_back(family_);
        for (const QString& f : {kMono, kProp, kLast})
            if (f != family_) chainFamilies_.push_back(f);
        chain_.resize(chainFamilies_.size());
        tables_.resize(chainFamilies_.size());
        chain_[0] = MakeRaw(family_, px, weight, italic, aa);
        ascent_ = static_cast<int>(std::ceil(chain_[0]->ascent() - 1e-3));
        descent_ = static_cast<int>(std::ceil(chain_[0]->descent() - 1e-3));
        leading_ = std::max(0, static_cast<int>(std::lround(chain_[0]->leading())));
    }

    struct Glyph {
        int font;
        quint32 index;
        int advance;
    };

    const Glyph& Resolve(char32_t cp) {
        if (cp < 0x10000) {
            // 256 pages of 256 code points, each made when one of its code points is first drawn.
            if (bmp_.empty()) bmp_.resize(256);
            auto& page = bmp_[cp >> 8];
            if (!page) {
                page = std::make_unique<std::array<Glyph, 256>>();
                page->fill(Glyph{-2, 0, 0});
            }
            Glyph& g = (*page)[cp & 0xFF];
            if (g.font == -2) g = Lookup(cp);
            return g;
        }
        auto it = astral_.find(cp);
        if (it == astral_.end()) it = astral_.emplace(cp, Lookup(cp)).first;
        return it->second;
    }

    int Advance(char32_t cp) override { return Resolve(cp).advance; }

    void Metrics(TEXTMETRICW* tm) override {
        *tm = TEXTMETRICW{};
        tm->tmAscent = ascent_;
        tm->tmDescent = descent_;
        tm->tmHeight = ascent_ + descent_;
        tm->tmInternalLeading = std::max(0, tm->tmHeight - px_);
        tm->tmExternalLeading = leading_;
        tm->tmAveCharWidth = Advance(U'x');
        tm->tmMaxCharWidth = std::max({Advance(U'W'), Advance(U'M'), Advance(0x3042)});
        tm->tmWeight = weight_;
        tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
        tm->tmFirstChar = 0x20;
        tm->tmLastChar = 0xFFFC;
        tm->tmDefaultChar = 0x30FB;
        tm->tmBreakChar = 0x20;
        bool variable = Advance(U'i') != Advance(U'W') || Advance(U'i') != Advance(U'x');
        // As in Windows, the bit means variable pitch.
        tm->tmPitchAndFamily = static_cast<BYTE>((variable ? TMPF_FIXED_PITCH : 0) | TMPF_VECTOR |
                                                 TMPF_TRUETYPE | (mono_ ? FF_MODERN : FF_SWISS));
        tm->tmCharSet = SHIFTJIS_CHARSET;
    }

    std::u16string Family() const override {
        return std::u16string(reinterpret_cast<const char16_t*>(family_.utf16()),
                              static_cast<size_t>(family_.size()));
    }

    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    const QRawFont& raw(int i) { return Face(static_cast<size_t>(i)); }

private:
    const QRawFont& Face(size_t i) {
        if (!chain_[i]) chain_[i] = MakeRaw(chainFamilies_[i], px_, weight_, italic_, antialias_);
        return *chain_[i];
    }

    // Qt's design advance of a glyph of chain face i: from the face's tables
    // once the first glyph measured both ways agrees, else through Qt.
    double DesignAdvance(size_t i, quint32 glyph) {
        Tables& t = tables_[i];
        if (t.state > 0) return t.advances.Advance(glyph);
        QPointF adv;
        Face(i).advancesForGlyphIndexes(&glyph, &adv, 1, QRawFont::UseDesignMetrics);
        if (t.state == 0)
            t.state = t.advances.Read(Face(i), chainFamilies_[i], weight_, italic_, px_) &&
                              t.advances.Advance(glyph) == adv.x()
                          ? 1
                          : -1;
        return adv.x();
    }

    Glyph Lookup(char32_t cp) {
        if (cp < 0x20 || (cp >= 0xD800 && cp < 0xE000)) return Glyph{-1, 0, 0};
        QChar units[2];
        int n = 1;
        if (cp > 0xFFFF) {
            units[0] = QChar(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units[1] = QChar(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            n = 2;
        } else {
            units[0] = QChar(static_cast<char16_t>(cp));
        }
        for (size_t i = 0; i < chain_.size(); ++i) {
            const QRawFont& raw = Face(i);
            if (!raw.isValid() || !raw.supportsCharacter(static_cast<uint>(cp))) continue;
            // Qt wants room for one glyph per unit, even where a surrogate
            // pair gives a single glyph: with less it fails, and a character
            // beyond U+FFFF would draw the missing-glyph box.
            quint32 glyphs[2] = {0, 0};
            int count = 2;
            if (!raw.glyphIndexesForChars(units, n, glyphs, &count) || count < 1 || glyphs[0] == 0) continue;
            quint32 glyph = glyphs[0];
            const double x = DesignAdvance(i, glyph);
            int a =
                (mono_ && i == 0) ? static_cast<int>(std::ceil(x - 1e-3)) : static_cast<int>(std::lround(x));
            return Glyph{static_cast<int>(i), glyph, a};
        }
        // Not in any face: the missing-glyph box of the face itself.
        quint32 glyph = 0;
        QPointF adv;
        chain_[0]->advancesForGlyphIndexes(&glyph, &adv, 1, QRawFont::UseDesignMetrics);
        return Glyph{0, 0, static_cast<int>(std::lround(adv.x()))};
    }

    QString family_;
    int px_ = 12, weight_ = 400;
    bool mono_ = false, italic_ = false, antialias_ = true;
    int ascent_ = 0, descent_ = 0, leading_ = 0;
    QStringList chainFamilies_;
    std::vector<std::optional<QRawFont>> chain_;
    struct Tables {
        int state = 0; // 0: not tried yet; 1: advances from the tables; -1: through Qt
        TableAdvances advances;
    };
    std::vector<Tables> tables_;
    std::vector<std::unique_ptr<std::array<Glyph, 256>>> bmp_;
    std::map<char32_t, Glyph> astral_;
};

std::mutex g_fontMutex;
} // namespace

bool GlyphAlphaMap(win32bk::FontFace* face, char32_t cp, std::vector<uint8_t>* alpha, int* width, int* height,
                   int* originX, int* originY, int* advance) {
    auto* f = dynamic_cast<QtFontFace*>(face);
    if (!f) return false;
    std::lock_guard<std::mutex> lock(g_fontMutex);
    const QtFontFace::Glyph& g = f->Resolve(cp);
    *advance = g.advance;
    if (g.font < 0) {
        *width = *height = 0;
        *originX = *originY = 0;
        alpha->clear();
        return true;
    }
    const QRawFont& raw = f->raw(g.font);
    QImage img = raw.alphaMapForGlyph(g.index, QRawFont::PixelAntialiasing);
    QRectF br = raw.boundingRect(g.index);
    *width = img.width();
    *height = img.height();
    *originX = static_cast<int>(std::floor(br.left()));
    *originY = -static_cast<int>(std::floor(br.top()));
    alpha->assign(static_cast<size_t>(img.width()) * static_cast<size_t>(img.height()), 0);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            int v;
            if (img.format() == QImage::Format_Indexed8 || img.format() == QImage::Format_Alpha8 ||
                img.format() == QImage::Format_Grayscale8)
                v = img.constScanLine(y)[x];
            else
                v = qAlpha(img.pixel(x, y));
            (*alpha)[static_cast<size_t>(y) * static_cast<size_t>(img.width()) + static_cast<size_t>(x)] =
                static_cast<uint8_t>(v);
        }
    return true;
}

std::shared_ptr<win32bk::FontFace> RealizeFont(const LOGFONTW& lf) {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    static std::map<std::tuple<QString, LONG, LONG, int, int>, std::shared_ptr<win32bk::FontFace>> cache;
    auto key = std::make_tuple(FaceName(lf) + QChar(u'|') + QString::number(lf.lfPitchAndFamily), lf.lfHeight,
                               lf.lfWeight, static_cast<int>(lf.lfItalic), static_cast<int>(lf.lfQuality));
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    auto face = std::make_shared<QtFontFace>(lf);
    cache[key] = face;
    return face;
}

// The program adds no fonts while it runs: the font database's list of
// families (a walk over every face) is taken once.
const QStringList& InstalledFamilies() {
    static const QStringList families = QFontDatabase::families();
    return families;
}

namespace {

// Draws code points at the given x positions, their baseline at baseline,
// one glyph run per face of the chain.
void DrawRuns(QPainter& p, QtFontFace* f, const char32_t* cps, const int* xs, size_t count, double baseline) {
    QVector<quint32> glyphs;
    QVector<QPointF> positions;
    int font = -1;
    auto flush = [&] {
        if (font >= 0 && !glyphs.isEmpty()) {
            QGlyphRun gr;
            gr.setRawFont(f->raw(font));
            gr.setGlyphIndexes(glyphs);
            gr.setPositions(positions);
            p.drawGlyphRun(QPointF(0, 0), gr);
        }
        glyphs.clear();
        positions.clear();
    };
    for (size_t i = 0; i < count; ++i) {
        char32_t cp = cps[i];
        if (cp == U' ' || cp == U'\t' || cp == 0x3000) continue;
        const auto& g = f->Resolve(cp);
        if (g.font < 0) continue;
        if (g.font != font) {
            flush();
            font = g.font;
        }
        glyphs.push_back(g.index);
        positions.push_back(QPointF(xs[i], baseline));
    }
    flush();
}

} // namespace

void DrawGlyphs(QImage& image, const win32bk::Region& clip, win32bk::FontFace* face,
                const win32bk::GlyphRun& run, COLORREF color) {
    auto* f = static_cast<QtFontFace*>(face);
    if (clip.Empty() || run.count == 0) return;
    QPainter p(&image);
    if (clip.Rects().size() == 1) {
        const RECT& r = clip.Rects()[0];
        p.setClipRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
    } else {
        p.setClipRegion(ToQRegion(clip));
    }
    p.setPen(QColor(GetRValue(color), GetGValue(color), GetBValue(color)));
    DrawRuns(p, f, run.cps, run.xs, run.count, run.y + f->ascent());
}

void DrawMenuText(QPainter& p, const QRect& r, const std::u16string& text, const QColor& color) {
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    const std::shared_ptr<win32bk::FontFace> face = RealizeFont(lf);
    auto* f = static_cast<QtFontFace*>(face.get());
    // "&x" shows x underlined, "&&" one "&".
    std::vector<char32_t> cps;
    size_t mnemonic = SIZE_MAX;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == u'&' && i + 1 < text.size()) {
            c = text[++i];
            if (c != u'&' && mnemonic == SIZE_MAX) mnemonic = cps.size();
        }
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        cps.push_back(c);
    }
    std::vector<int> xs(cps.size() + 1, 0);
    {
        std::lock_guard<std::mutex> lock(g_fontMutex);
        for (size_t i = 0; i < cps.size(); ++i) xs[i + 1] = xs[i] + f->Resolve(cps[i]).advance;
    }
    const int left = r.left() + (r.width() - xs.back()) / 2;
    for (int& x : xs) x += left;
    const int baseline = r.top() + (r.height() - (f->ascent() + f->descent())) / 2 + f->ascent();
    p.setPen(color);
    DrawRuns(p, f, cps.data(), xs.data(), cps.size(), baseline);
    if (mnemonic < cps.size())
        p.fillRect(QRect(xs[mnemonic], baseline + 1, xs[mnemonic + 1] - xs[mnemonic], 1), color);
}

} // namespace qtbk

namespace qtplatform {

namespace {
std::thread g_fontDatabaseLoader;
}

// Qt guards its font database with one recursive lock that every query and
// every font resolution takes: filled on another thread, it is only ever
// seen complete. The list of families is the same walk and is kept.
void StartFontDatabase() {
    if (g_fontDatabaseLoader.joinable()) return;
    g_fontDatabaseLoader = win32detail::MakeThread([] { qtbk::InstalledFamilies(); });
}

void FinishFontDatabase() {
    if (g_fontDatabaseLoader.joinable()) g_fontDatabaseLoader.join();
}

int TableAdvanceMismatches(const char16_t* family, int px, bool bold, const std::u32string& cps) {
    std::lock_guard<std::mutex> lock(qtbk::g_fontMutex);
    const QRawFont raw = qtbk::MakeRaw(QString::fromUtf16(family), px, bold ? 700 : 400, false, true);
    qtbk::TableAdvances tables;
    if (!raw.isValid() || !tables.Read(raw, QString::fromUtf16(family), bold ? 700 : 400, false, px))
        return -1;
    int mismatches = 0;
    for (char32_t cp : cps) {
        const char32_t one[1] = {cp};
        const QString text = QString::fromUcs4(one, 1);
        quint32 glyphs[2] = {0, 0};
        int count = 2;
        if (!raw.glyphIndexesForChars(text.constData(), static_cast<int>(text.size()), glyphs, &count) ||
            glyphs[0] == 0)
            continue;
        QPointF adv;
        raw.advancesForGlyphIndexes(glyphs, &adv, 1, QRawFont::UseDesignMetrics);
        if (adv.x() != tables.Advance(glyphs[0])) ++mismatches;
    }
    return mismatches;
}

bool FamilyInstalled(const char16_t* family) {
    return qtbk::InstalledFamilies().contains(QString::fromUtf16(family), Qt::CaseInsensitive);
}
} // namespace qtplatform
