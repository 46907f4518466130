// Qt's plain-text document as the text-buffer benchmark's reference.
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QPlainTextDocumentLayout>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "display/textdoc_reference.h"

namespace {

// Keeps only whether a block ends inside a /* */ comment.
class CommentHighlighter : public QSyntaxHighlighter {
public:
    explicit CommentHighlighter(QTextDocument* doc) : QSyntaxHighlighter(doc) {}

protected:
    void highlightBlock(const QString& text) override {
        bool inComment = previousBlockState() == 1;
        qsizetype i = 0;
        const qsizetype n = text.size();
        while (i < n) {
            if (inComment) {
                qsizetype end = text.indexOf(QStringLiteral("*/"), i);
                if (end < 0) break;
                inComment = false;
                i = end + 2;
            } else {
                qsizetype start = text.indexOf(QStringLiteral("/*"), i);
                if (start < 0) break;
                inComment = true;
                i = start + 2;
            }
        }
        setCurrentBlockState(inComment ? 1 : 0);
    }
};

} // namespace

namespace qtplatform {

struct TextDocReference {
    QTextDocument doc;
    CommentHighlighter* highlighter = nullptr;
};

TextDocReference* TextDocCreate() {
    auto* r = new TextDocReference;
    r->doc.setDocumentLayout(new QPlainTextDocumentLayout(&r->doc));
    r->doc.setUndoRedoEnabled(true);
    return r;
}

void TextDocDestroy(TextDocReference* doc) {
    delete doc;
}

void TextDocSetPlainText(TextDocReference* doc, const std::u16string& text) {
    doc->doc.setPlainText(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
}

int TextDocBlockCount(TextDocReference* doc) {
    return doc->doc.blockCount();
}

void TextDocType(TextDocReference* doc, int block, int count) {
    QTextCursor cursor(doc->doc.findBlockByNumber(block));
    for (int i = 1; i <= count; i++) {
        if (i % 60 == 0)
            cursor.insertBlock();
        else if (i % 25 == 0)
            cursor.deletePreviousChar();
        else
            cursor.insertText(QString(QChar(u'a' + i % 26)));
    }
}

int TextDocUndoAll(TextDocReference* doc) {
    int n = 0;
    while (doc->doc.isUndoAvailable()) {
        doc->doc.undo();
        n++;
    }
    return n;
}

int TextDocRedoAll(TextDocReference* doc) {
    int n = 0;
    while (doc->doc.isRedoAvailable()) {
        doc->doc.redo();
        n++;
    }
    return n;
}

void TextDocAttachHighlighter(TextDocReference* doc) {
    doc->doc.setUndoRedoEnabled(false);
    doc->highlighter = new CommentHighlighter(&doc->doc);
    QCoreApplication::processEvents(); // the highlighter's first pass is queued
}

void TextDocTypeCommentStart(TextDocReference* doc) {
    QTextCursor cursor(&doc->doc);
    cursor.insertText(QStringLiteral("/"));
    cursor.insertText(QStringLiteral("*"));
}

void TextDocDeleteCommentStart(TextDocReference* doc) {
    QTextCursor cursor(&doc->doc);
    cursor.deleteChar();
    cursor.deleteChar();
}

int TextDocCommentBlocks(TextDocReference* doc) {
    int n = 0;
    for (QTextBlock b = doc->doc.begin(); b.isValid(); b = b.next()) n += b.userState() == 1;
    return n;
}

TextDocReference* TextDocLoadUtf8(const char* path) {
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    QByteArray bytes = file.readAll();
    TextDocReference* r = TextDocCreate();
    r->doc.setPlainText(QString::fromUtf8(bytes));
    return r;
}

int TextDocReplaceAll(TextDocReference* doc, const std::u16string& find, const std::u16string& with,
                      bool regex) {
    const QString pattern = QString::fromUtf16(find.data(), static_cast<qsizetype>(find.size()));
    const QString replacement = QString::fromUtf16(with.data(), static_cast<qsizetype>(with.size()));
    QRegularExpression re(pattern);
    QTextCursor edit(&doc->doc);
    edit.beginEditBlock();
    QTextCursor at(&doc->doc);
    int count = 0;
    for (;;) {
        QTextCursor found =
            regex ? doc->doc.find(re, at) : doc->doc.find(pattern, at, QTextDocument::FindCaseSensitively);
        if (found.isNull()) break;
        QString text = replacement;
        if (regex) text.replace(QStringLiteral("$0"), found.selectedText());
        found.insertText(text);
        at = found;
        ++count;
    }
    edit.endEditBlock();
    return count;
}

void TextDocUndo(TextDocReference* doc) {
    doc->doc.undo();
}

void TextDocRedo(TextDocReference* doc) {
    doc->doc.redo();
}

int TextDocFind(TextDocReference* doc, const std::u16string& literal) {
    QTextCursor c = doc->doc.find(QString::fromUtf16(literal.data(), static_cast<qsizetype>(literal.size())),
                                  0, QTextDocument::FindCaseSensitively);
    return c.isNull() ? -1 : c.selectionStart();
}

int TextDocLength(TextDocReference* doc) {
    return doc->doc.characterCount() - 1;
}

} // namespace qtplatform
