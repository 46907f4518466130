// QPlainTextEdit as the editor-window paint benchmark's reference.
#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSyntaxHighlighter>
#include <QTextBlock>

#include <memory>

#include "display/editpaint_reference.h"

namespace {

class SqlHighlighter : public QSyntaxHighlighter {
public:
    SqlHighlighter(QTextDocument* doc, const std::vector<std::u16string>& keywords)
        : QSyntaxHighlighter(doc) {
        keyword_.setForeground(QColor(0, 0, 205));
        comment_.setForeground(QColor(0, 120, 0));
        string_.setForeground(QColor(220, 0, 0));
        QStringList words;
        for (const auto& k : keywords) words << QRegularExpression::escape(QString::fromStdU16String(k));
        words_ = QRegularExpression(QStringLiteral("\\b(") + words.join(u'|') + QStringLiteral(")\\b"),
                                    QRegularExpression::CaseInsensitiveOption);
    }

protected:
    void highlightBlock(const QString& text) override {
        auto it = words_.globalMatch(text);
        while (it.hasNext()) {
            auto m = it.next();
            setFormat(static_cast<int>(m.capturedStart()), static_cast<int>(m.capturedLength()), keyword_);
        }
        qsizetype i = 0;
        const qsizetype n = text.size();
        bool inComment = previousBlockState() == 1;
        while (i < n) {
            if (inComment) {
                qsizetype end = text.indexOf(QStringLiteral("*/"), i);
                qsizetype stop = end < 0 ? n : end + 2;
                setFormat(static_cast<int>(i), static_cast<int>(stop - i), comment_);
                if (end < 0) break;
                inComment = false;
                i = stop;
                continue;
            }
            QChar c = text[i];
            if (c == u'\'') {
                qsizetype end = text.indexOf(u'\'', i + 1);
                qsizetype stop = end < 0 ? n : end + 1;
                setFormat(static_cast<int>(i), static_cast<int>(stop - i), string_);
                i = stop;
            } else if (c == u'-' && i + 1 < n && text[i + 1] == u'-') {
                setFormat(static_cast<int>(i), static_cast<int>(n - i), comment_);
                break;
            } else if (c == u'/' && i + 1 < n && text[i + 1] == u'*') {
                inComment = true;
                setFormat(static_cast<int>(i), 2, comment_);
                i += 2;
            } else {
                i++;
            }
        }
        setCurrentBlockState(inComment ? 1 : 0);
    }

private:
    QTextCharFormat keyword_, comment_, string_;
    QRegularExpression words_;
};

// Counts the paint events its widget receives.
class PaintCounter : public QObject {
public:
    long paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, e);
    }
};

} // namespace

namespace qtplatform {

struct EditPaintReference {
    std::unique_ptr<QPlainTextEdit> edit;
    SqlHighlighter* highlighter = nullptr;
    PaintCounter counter;
};

EditPaintReference* EditPaintCreate(const std::u16string& text, const std::vector<std::u16string>& keywords,
                                    const char16_t* family, int pixelSize, int tabStopPixels, int width,
                                    int height, int firstLine) {
    auto* r = new EditPaintReference;
    r->edit = std::make_unique<QPlainTextEdit>();
    QFont f(QString::fromUtf16(family));
    f.setPixelSize(pixelSize);
    r->edit->setFont(f);
    r->edit->setTabStopDistance(tabStopPixels);
    r->edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    r->edit->setPlainText(QString::fromStdU16String(text));
    r->highlighter = new SqlHighlighter(r->edit->document(), keywords);
    r->edit->resize(width, height);
    r->edit->viewport()->installEventFilter(&r->counter);
    r->edit->show();
    QApplication::processEvents();
    r->edit->verticalScrollBar()->setValue(firstLine);
    QApplication::processEvents();
    return r;
}

void EditPaintDestroy(EditPaintReference* ref) {
    ref->edit->viewport()->removeEventFilter(&ref->counter);
    delete ref;
}

void EditPaintSetCursor(EditPaintReference* ref, int line, int column) {
    QTextCursor c(ref->edit->document()->findBlockByNumber(line));
    c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
    ref->edit->setTextCursor(c);
    ref->edit->setFocus();
    QApplication::processEvents();
}

void EditPaintKey(EditPaintReference* ref, char16_t ch) {
    QString t(QChar(static_cast<char16_t>(ch)));
    int key = ch >= u'a' && ch <= u'z' ? Qt::Key_A + (ch - u'a') : ch;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, t);
    QCoreApplication::sendEvent(ref->edit.get(), &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, t);
    QCoreApplication::sendEvent(ref->edit.get(), &release);
    QApplication::processEvents(); // Qt paints the region the key updated
}

long EditPaintPaints(EditPaintReference* ref) {
    return ref->counter.paints;
}

std::u16string EditPaintText(EditPaintReference* ref) {
    return ref->edit->toPlainText().toStdU16String();
}

void EditPaintRepaint(EditPaintReference* ref) {
    ref->edit->viewport()->repaint();
}

} // namespace qtplatform
