// Qt's own tree widget filled like a report list view, for the benchmark.
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTreeWidget>

#include "display/display.h"

namespace qtplatform {

long FillTreeReference(const std::vector<std::vector<std::u16string>>& rows, int columns, int width,
                       int height, int rounds) {
    QTreeWidget tree;
    tree.setColumnCount(columns);
    tree.setRootIsDecorated(false);
    tree.setUniformRowHeights(true);
    tree.resize(width, height);
    QImage image(width, height, QImage::Format_ARGB32);
    long count = 0;
    for (int r = 0; r < rounds; ++r) {
        tree.setUpdatesEnabled(false);
        tree.clear();
        QList<QTreeWidgetItem*> items;
        items.reserve(qsizetype(rows.size()));
        for (const auto& row : rows) {
            auto* item = new QTreeWidgetItem;
            for (int c = 0; c < columns && c < int(row.size()); ++c)
                item->setText(c, QString::fromUtf16(row[size_t(c)].data(), qsizetype(row[size_t(c)].size())));
            items.push_back(item);
        }
        tree.addTopLevelItems(items);
        tree.setUpdatesEnabled(true);
        tree.render(&image);
        count = tree.topLevelItemCount();
    }
    return count;
}

} // namespace qtplatform
