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

} // namespace qtplatform
