// The reference for the grid benchmark: Qt's table view over a minimal model
// whose display texts and column headers come from the two functions; fixed
// row height and column widths, grid lines on. Repaint renders the view into
// an image; page-down sends a Page Down key, then renders. No Qt type appears
// here.
#pragma once

#include <functional>
#include <string>

namespace qtplatform {

struct TableReference;
TableReference* TableReferenceCreate(int rows, int cols, int colWidth, int rowHeight, const char16_t* family,
                                     int pixelSize, int width, int height,
                                     std::function<std::u16string(int, int)> cell,
                                     std::function<std::u16string(int)> header);
void TableReferenceScrollTo(TableReference* table, int row);
long TableReferenceRepaint(TableReference* table);
long TableReferencePageDown(TableReference* table);
int TableReferenceFirstRow(TableReference* table);
void TableReferenceFree(TableReference* table);

} // namespace qtplatform
