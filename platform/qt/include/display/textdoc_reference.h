// Qt's plain-text document, as the yardstick of the text-buffer benchmark: a
// QTextDocument with a QPlainTextDocumentLayout (as QPlainTextEdit sets it up),
// typed into through a QTextCursor, and a QSyntaxHighlighter that keeps only
// the block-comment state. No Qt type appears here.
#pragma once

#include <string>

namespace qtplatform {

struct TextDocReference;

TextDocReference* TextDocCreate();
void TextDocDestroy(TextDocReference* doc);
void TextDocSetPlainText(TextDocReference* doc, const std::u16string& text);
int TextDocBlockCount(TextDocReference* doc);
// count typed characters at the start of the block: an Enter every 60, a
// Backspace every 25, else one letter; undo is on.
void TextDocType(TextDocReference* doc, int block, int count);
// Undo (redo) until none is left; the number of steps.
int TextDocUndoAll(TextDocReference* doc);
int TextDocRedoAll(TextDocReference* doc);
// Attaches the comment highlighter (which highlights the whole document once).
void TextDocAttachHighlighter(TextDocReference* doc);
// Types "/*" at the start of the first block, or deletes those two characters.
void TextDocTypeCommentStart(TextDocReference* doc);
void TextDocDeleteCommentStart(TextDocReference* doc);
// Number of blocks whose state says they end inside a comment.
int TextDocCommentBlocks(TextDocReference* doc);

// Reads a UTF-8 file (QFile::readAll, QString::fromUtf8) into a new document
// by setPlainText; null when the file cannot be read.
TextDocReference* TextDocLoadUtf8(const char* path);
// Replaces every occurrence of the literal (or, with regex, every match of
// the pattern; "$0" in the replacement stands for the match) in one edit
// block of QTextDocument::find and QTextCursor::insertText; the count.
int TextDocReplaceAll(TextDocReference* doc, const std::u16string& find, const std::u16string& with,
                      bool regex);
void TextDocUndo(TextDocReference* doc);
void TextDocRedo(TextDocReference* doc);
// QTextDocument::find of the literal from the start: its position or -1.
int TextDocFind(TextDocReference* doc, const std::u16string& literal);
// The document's text length in units.
int TextDocLength(TextDocReference* doc);

} // namespace qtplatform
