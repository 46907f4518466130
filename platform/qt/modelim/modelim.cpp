// The model input method: a Qt input context that behaves as the desktop's
// Japanese input methods were seen to (fcitx5 with Mozc), unkind parts
// included, for tests that type Japanese through real key events.
//
// - Each top-level window has its own context, off until switched on.
// - Romaji keys become kana (a small table); Space converts through a small
//   fixed dictionary into clauses, each drawn with its text format (the
//   target highlighted, the others underlined) and the cursor at the
//   target; Left and Right move the target, Space and Down take the next
//   candidate, Up the previous one.
// - A printable key while converted text is composed commits it and starts
//   a new composition: two events, first the commit, then the preedit.
// - Enter commits; Escape leaves a conversion, else cancels; Backspace
//   edits, and leaves a conversion.
// - reset() commits the composition at once (switchable: dropped silently).
// - A change of the focus object drops the composition of the context it
//   leaves, without a word to the window.
//
// Keys reach it before the window (an application event filter, as a
// platform's filter of key events would), and its events go to the focus
// object. Tests reach it through the application's property
// "tavrelixModelInputMethod".
#include <QtGui/qpa/qplatforminputcontext.h>
#include <QtGui/qpa/qplatforminputcontextplugin_p.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QSet>
#include <QTextCharFormat>
#include <QWidget>
#include <QWindow>

namespace {

struct Romaji {
    const char* latin;
    const char16_t* kana;
};

const Romaji kRomaji[] = {
    {"a", u"あ"},     {"i", u"い"},     {"u", u"う"},     {"e", u"え"},     {"o", u"お"},
    {"ka", u"か"},    {"ki", u"き"},    {"ku", u"く"},    {"ke", u"け"},    {"ko", u"こ"},
    {"sa", u"さ"},    {"shi", u"し"},   {"si", u"し"},    {"su", u"す"},    {"se", u"せ"},
    {"so", u"そ"},    {"ta", u"た"},    {"chi", u"ち"},   {"ti", u"ち"},    {"tsu", u"つ"},
    {"tu", u"つ"},    {"te", u"て"},    {"to", u"と"},    {"na", u"な"},    {"ni", u"に"},
    {"nu", u"ぬ"},    {"ne", u"ね"},    {"no", u"の"},    {"ha", u"は"},    {"hi", u"ひ"},
    {"fu", u"ふ"},    {"hu", u"ふ"},    {"he", u"へ"},    {"ho", u"ほ"},    {"ma", u"ま"},
    {"mi", u"み"},    {"mu", u"む"},    {"me", u"め"},    {"mo", u"も"},    {"ya", u"や"},
    {"yu", u"ゆ"},    {"yo", u"よ"},    {"ra", u"ら"},    {"ri", u"り"},    {"ru", u"る"},
    {"re", u"れ"},    {"ro", u"ろ"},    {"wa", u"わ"},    {"wo", u"を"},    {"nn", u"ん"},
    {"n'", u"ん"},    {"ga", u"が"},    {"gi", u"ぎ"},    {"gu", u"ぐ"},    {"ge", u"げ"},
    {"go", u"ご"},    {"za", u"ざ"},    {"ji", u"じ"},    {"zi", u"じ"},    {"zu", u"ず"},
    {"ze", u"ぜ"},    {"zo", u"ぞ"},    {"da", u"だ"},    {"di", u"ぢ"},    {"du", u"づ"},
    {"de", u"で"},    {"do", u"ど"},    {"ba", u"ば"},    {"bi", u"び"},    {"bu", u"ぶ"},
    {"be", u"べ"},    {"bo", u"ぼ"},    {"pa", u"ぱ"},    {"pi", u"ぴ"},    {"pu", u"ぷ"},
    {"pe", u"ぺ"},    {"po", u"ぽ"},    {"kya", u"きゃ"}, {"kyu", u"きゅ"}, {"kyo", u"きょ"},
    {"sha", u"しゃ"}, {"shu", u"しゅ"}, {"sho", u"しょ"}, {"cha", u"ちゃ"}, {"chu", u"ちゅ"},
    {"cho", u"ちょ"}, {"ja", u"じゃ"},  {"ju", u"じゅ"},  {"jo", u"じょ"},  {"nya", u"にゃ"},
    {"nyu", u"にゅ"}, {"nyo", u"にょ"}, {"rya", u"りゃ"}, {"ryu", u"りゅ"}, {"ryo", u"りょ"},
    {"gya", u"ぎゃ"}, {"gyu", u"ぎゅ"}, {"gyo", u"ぎょ"}, {"-", u"ー"},     {",", u"、"},
    {".", u"。"},
};

struct Entry {
    const char16_t* reading;
    std::initializer_list<const char16_t*> candidates;
};

// The dictionary: readings and their candidates, the first the engine's first choice.
const Entry kDictionary[] = {
    {u"にほんご", {u"日本語", u"ニホンゴ"}},
    {u"にほんごを", {u"日本語を"}},
    {u"わたしは", {u"私は", u"渡しは"}},
    {u"はなします", {u"話します", u"離します"}},
    {u"です", {u"です", u"デス"}},
    {u"とうきょう", {u"東京", u"トウキョウ"}},
    {u"かんじ", {u"漢字", u"感じ", u"幹事"}},
    {u"へんかん", {u"変換", u"返還"}},
    {u"えいぎょうぶ", {u"営業部"}},
    {u"やまだ", {u"山田", u"ヤマダ"}},
    {u"たろう", {u"太郎"}},
    {u"けんさく", {u"検索"}},
    {u"ながいぶんしょう", {u"長い文章"}},
};

QString Q(const char16_t* s) {
    return QString::fromUtf16(s);
}

bool IsVowel(QChar c) {
    return c == u'a' || c == u'i' || c == u'u' || c == u'e' || c == u'o';
}

QString Katakana(const QString& hira) {
    QString out = hira;
    for (QChar& c : out)
        if (c.unicode() >= 0x3041 && c.unicode() <= 0x3096) c = QChar(c.unicode() + 0x60);
    return out;
}

class ModelInputContext : public QPlatformInputContext {
    Q_OBJECT
public:
    ModelInputContext() { Attach(); }

    bool isValid() const override { return true; }

    void reset() override {
        ++resets_;
        Context* c = Current();
        if (!c || !Composing(*c)) return;
        QString text = Shown(*c);
        Clear(*c);
        if (commitOnReset_) SendCommit(text);
    }

    void setFocusObject(QObject* object) override {
        Attach();
        if (object == focus_) return;
        // Leaving the focus object is a focus-out of its context: the
        // composition is gone, and the window is not told.
        if (Context* c = Find(window_)) Clear(*c);
        ++focusChanges_;
        focus_ = object;
        window_ = QGuiApplication::focusWindow();
    }

    bool eventFilter(QObject* obj, QEvent* ev) override {
        if (ev->type() != QEvent::KeyPress && ev->type() != QEvent::KeyRelease) return false;
        if (!obj->isWidgetType()) return false;
        auto* ke = static_cast<QKeyEvent*>(ev);
        if (ev->type() == QEvent::KeyRelease) return taken_.remove(ke->key());
        receiver_ = static_cast<QWidget*>(obj);
        Context* c = Current();
        if (!c || !c->on) return false;
        bool took = Key(*c, ke);
        if (took) taken_.insert(ke->key());
        return took;
    }

    // On or off in a window (the focus window when null), as the user
    // switches the input method there.
    Q_INVOKABLE void setOn(QWindow* window, bool on) {
        Context* c = window ? Of(window) : Current();
        if (!c) return;
        if (!on && Composing(*c)) {
            // Switched off, the composition is dropped (the window is told).
            Clear(*c);
            SendPreedit(QString(), {});
        }
        c->on = on;
    }
    Q_INVOKABLE void setCommitOnReset(bool commits) { commitOnReset_ = commits; }
    Q_INVOKABLE QString preedit() {
        Context* c = Current();
        return c && Composing(*c) ? Shown(*c) : QString();
    }
    Q_INVOKABLE int resets() const { return resets_; }

private:
    struct Clause {
        QString reading;
        QStringList candidates;
        int chosen = 0;
    };
    struct Context {
        bool on = false;
        QString kana, romaji; // romaji waits at the cursor
        int cursor = 0;
        bool converted = false;
        QList<Clause> clauses;
        int target = 0;
    };

    void Attach() {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || attached_) return;
        attached_ = true;
        app->setProperty("tavrelixModelInputMethod", QVariant::fromValue<QObject*>(this));
        app->installEventFilter(this);
    }

    // The window whose context is meant: the one the last key came to (the
    // focus window, on a desktop), else the focus window.
    QWindow* WindowNow() {
        if (receiver_ && receiver_->window()->windowHandle()) return receiver_->window()->windowHandle();
        return QGuiApplication::focusWindow();
    }
    QObject* Target() {
        if (QObject* o = QGuiApplication::focusObject()) return o;
        return receiver_ ? receiver_->window()->focusWidget() : nullptr;
    }
    Context* Find(QWindow* w) {
        auto it = contexts_.find(w);
        return it == contexts_.end() ? nullptr : &it.value();
    }
    Context* Current() { return Of(WindowNow()); }
    Context* Of(QWindow* w) {
        if (!w) return nullptr;
        if (!contexts_.contains(w)) connect(w, &QObject::destroyed, this, [this, w] { contexts_.remove(w); });
        return &contexts_[w];
    }

    static bool Composing(const Context& c) {
        return c.converted || !c.kana.isEmpty() || !c.romaji.isEmpty();
    }
    static void Clear(Context& c) {
        c.kana.clear();
        c.romaji.clear();
        c.cursor = 0;
        c.converted = false;
        c.clauses.clear();
        c.target = 0;
    }
    static QString Shown(const Context& c) {
        if (!c.converted) return c.kana.left(c.cursor) + c.romaji + c.kana.mid(c.cursor);
        QString t;
        for (const Clause& cl : c.clauses) t += cl.candidates[cl.chosen];
        return t;
    }

    void SendPreedit(const QString& text, const QList<QInputMethodEvent::Attribute>& attrs) {
        QObject* to = Target();
        if (!to) return;
        QInputMethodEvent ev(text, attrs);
        QCoreApplication::sendEvent(to, &ev);
    }
    void SendCommit(const QString& text) {
        QObject* to = Target();
        if (!to) return;
        QInputMethodEvent ev;
        ev.setCommitString(text);
        QCoreApplication::sendEvent(to, &ev);
    }

    void Show(Context& c) {
        if (!Composing(c)) {
            SendPreedit(QString(), {});
            return;
        }
        QList<QInputMethodEvent::Attribute> attrs;
        QTextCharFormat under;
        under.setUnderlineStyle(QTextCharFormat::DashUnderline);
        if (!c.converted) {
            QString t = Shown(c);
            attrs << QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, 0, int(t.size()), under);
            attrs << QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, c.cursor + int(c.romaji.size()),
                                                  1);
            SendPreedit(t, attrs);
            return;
        }
        QTextCharFormat high;
        high.setBackground(QColor(0, 120, 215));
        high.setForeground(Qt::white);
        int at = 0, targetAt = 0;
        for (int i = 0; i < c.clauses.size(); ++i) {
            const QString& s = c.clauses[i].candidates[c.clauses[i].chosen];
            if (i == c.target) targetAt = at;
            attrs << QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, at, int(s.size()),
                                                  i == c.target ? high : under);
            at += int(s.size());
        }
        attrs << QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, targetAt, 1);
        SendPreedit(Shown(c), attrs);
    }

    // Pending romaji: a whole syllable becomes kana; a doubled consonant a
    // small tsu; an n before a consonant ん. At the end (flush) a lone n is ん.
    void Feed(Context& c, QChar ch) {
        c.romaji += ch;
        for (;;) {
            const QString r = c.romaji;
            if (r.isEmpty()) return;
            bool prefix = false;
            for (const Romaji& e : kRomaji) {
                QString latin = QString::fromLatin1(e.latin);
                if (latin == r) {
                    Put(c, Q(e.kana));
                    c.romaji.clear();
                    return;
                }
                if (latin.startsWith(r)) prefix = true;
            }
            if (prefix) return;
            if (r.size() >= 2 && r[0] == r[1] && r[0] != u'n' && !IsVowel(r[0]) && r[0].isLetter()) {
                Put(c, Q(u"っ"));
                c.romaji = r.mid(1);
                continue;
            }
            if (r.size() >= 2 && r[0] == u'n' && !IsVowel(r[1]) && r[1] != u'y') {
                Put(c, Q(u"ん"));
                c.romaji = r.mid(1);
                continue;
            }
            // Not romaji: the first character as it is (full width when ASCII).
            QChar first = r[0];
            if (first.unicode() > 0x20 && first.unicode() < 0x7F) first = QChar(first.unicode() + 0xFEE0);
            Put(c, QString(first));
            c.romaji = r.mid(1);
        }
    }
    static void Put(Context& c, const QString& kana) {
        c.kana.insert(c.cursor, kana);
        c.cursor += int(kana.size());
    }
    static void Flush(Context& c) {
        if (c.romaji == u"n") {
            Put(c, Q(u"ん"));
        } else {
            QString wide = c.romaji;
            for (QChar& ch : wide) ch = QChar(ch.unicode() + 0xFEE0);
            Put(c, wide);
        }
        c.romaji.clear();
    }

    static void Convert(Context& c) {
        Flush(c);
        c.clauses.clear();
        const QString k = c.kana;
        int i = 0;
        QString unknown;
        auto closeUnknown = [&] {
            if (unknown.isEmpty()) return;
            c.clauses.push_back(Clause{unknown, {unknown, Katakana(unknown)}, 0});
            unknown.clear();
        };
        while (i < k.size()) {
            const Entry* best = nullptr;
            int bestLen = 0;
            for (const Entry& e : kDictionary) {
                QString r = Q(e.reading);
                if (r.size() > bestLen && k.mid(i, r.size()) == r) {
                    best = &e;
                    bestLen = int(r.size());
                }
            }
            if (!best) {
                unknown += k[i++];
                continue;
            }
            closeUnknown();
            Clause cl{Q(best->reading), {}, 0};
            for (const char16_t* cand : best->candidates) cl.candidates << Q(cand);
            c.clauses.push_back(cl);
            i += bestLen;
        }
        closeUnknown();
        c.converted = !c.clauses.isEmpty();
        c.target = 0;
    }

    void CommitAll(Context& c) {
        Flush(c);
        QString text = Shown(c);
        Clear(c);
        SendCommit(text);
    }

    bool Key(Context& c, QKeyEvent* ke) {
        const Qt::KeyboardModifiers mods =
            ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (mods) return false;
        const bool composing = Composing(c);
        switch (ke->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!composing) return false;
            CommitAll(c);
            return true;
        case Qt::Key_Escape:
            if (!composing) return false;
            if (c.converted)
                c.converted = false;
            else
                Clear(c);
            Show(c);
            return true;
        case Qt::Key_Backspace:
            if (!composing) return false;
            if (c.converted) {
                c.converted = false;
            } else if (!c.romaji.isEmpty()) {
                c.romaji.chop(1);
            } else if (c.cursor > 0) {
                c.kana.remove(c.cursor - 1, 1);
                --c.cursor;
            }
            Show(c);
            return true;
        case Qt::Key_Space:
            if (!composing) return false;
            if (!c.converted) {
                Convert(c);
            } else {
                Clause& t = c.clauses[c.target];
                t.chosen = (t.chosen + 1) % int(t.candidates.size());
            }
            Show(c);
            return true;
        case Qt::Key_Down:
        case Qt::Key_Up:
            if (!composing) return false;
            if (c.converted) {
                Clause& t = c.clauses[c.target];
                int n = int(t.candidates.size());
                t.chosen = (t.chosen + (ke->key() == Qt::Key_Down ? 1 : n - 1)) % n;
                Show(c);
            }
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right: {
            if (!composing) return false;
            int step = ke->key() == Qt::Key_Left ? -1 : 1;
            if (c.converted) {
                c.target = std::clamp(c.target + step, 0, int(c.clauses.size()) - 1);
            } else {
                Flush(c);
                c.cursor = std::clamp(c.cursor + step, 0, int(c.kana.size()));
            }
            Show(c);
            return true;
        }
        default: break;
        }
        const QString text = ke->text();
        if (text.size() != 1 || text[0].unicode() < 0x21 || text[0].unicode() > 0x7E) return composing;
        if (c.converted) {
            // The conversion is committed first; the key then starts a new
            // composition, unless the commit moved the focus, which dropped it.
            int before = focusChanges_;
            CommitAll(c);
            if (focusChanges_ != before) return true;
        }
        Feed(c, text[0].toLower());
        Show(c);
        return true;
    }

    QHash<QWindow*, Context> contexts_;
    QPointer<QObject> focus_;
    QPointer<QWindow> window_;
    QPointer<QWidget> receiver_;
    QSet<int> taken_;
    bool commitOnReset_ = true;
    bool attached_ = false;
    int resets_ = 0;
    int focusChanges_ = 0;
};

class ModelInputContextPlugin : public QPlatformInputContextPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QPlatformInputContextFactoryInterface_iid FILE "modelim.json")
public:
    QPlatformInputContext* create(const QString& key, const QStringList&) override {
        return key.compare(QStringLiteral("tavrelixmodel"), Qt::CaseInsensitive) == 0 ? new ModelInputContext
                                                                                      : nullptr;
    }
};

} // namespace

#include "modelim.moc"
