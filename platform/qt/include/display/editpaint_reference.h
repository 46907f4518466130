// Qt's QPlainTextEdit as the yardstick of the editor-window paint benchmark:
// the same text, face, pixel size, tab stops, size and first line, with a
// QSyntaxHighlighter for keywords, comments and strings. No Qt type appears here.
#pragma once

#include <string>
#include <vector>

namespace qtplatform {

struct EditPaintReference;

EditPaintReference* EditPaintCreate(const std::u16string& text, const std::vector<std::u16string>& keywords,
                                    const char16_t* family, int pixelSize, int tabStopPixels, int width,
                                    int height, int firstLine);
void EditPaintDestroy(EditPaintReference* ref);
// Puts the cursor at (line, column), untimed.
void EditPaintSetCursor(EditPaintReference* ref, int line, int column);
// One printable key as a real key event, then the events processed: Qt
// paints the region the key updated, and nothing more.
void EditPaintKey(EditPaintReference* ref, char16_t ch);
// viewport()->repaint(): the whole view.
void EditPaintRepaint(EditPaintReference* ref);
// The paint events the view has received so far.
long EditPaintPaints(EditPaintReference* ref);
// The document's text, its lines joined by LF.
std::u16string EditPaintText(EditPaintReference* ref);

} // namespace qtplatform
