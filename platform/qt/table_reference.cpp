// QTableView over a minimal model, as the yardstick of the grid benchmark.
#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>

#include "display/table_reference.h"
#include "qt_internal.h"

namespace qtplatform {

namespace {

class GeneratedModel : public QAbstractTableModel {
public:
    GeneratedModel(int rows, int cols, std::function<std::u16string(int, int)> cell,
                   std::function<std::u16string(int)> header)
        : m_rows(rows), m_cols(cols), m_cell(std::move(cell)), m_header(std::move(header)) {}
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_cols; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) return {};
        std::u16string s = m_cell(index.row(), index.column());
        return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole) return {};
        if (orientation == Qt::Vertical) return section + 1;
        std::u16string s = m_header(section);
        return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
    }

private:
    int m_rows, m_cols;
    std::function<std::u16string(int, int)> m_cell;
    std::function<std::u16string(int)> m_header;
};

} // namespace

struct TableReference {
    std::unique_ptr<GeneratedModel> model;
    std::unique_ptr<QTableView> view;
    QImage image;
};

TableReference* TableReferenceCreate(int rows, int cols, int colWidth, int rowHeight, const char16_t* family,
                                     int pixelSize, int width, int height,
                                     std::function<std::u16string(int, int)> cell,
                                     std::function<std::u16string(int)> header) {
    auto* t = new TableReference;
    t->model = std::make_unique<GeneratedModel>(rows, cols, std::move(cell), std::move(header));
    t->view = std::make_unique<QTableView>();
    QFont font(QString::fromUtf16(family));
    font.setPixelSize(pixelSize);
    t->view->setFont(font);
    t->view->setModel(t->model.get());
    t->view->setShowGrid(true);
    t->view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->view->verticalHeader()->setDefaultSectionSize(rowHeight);
    t->view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->view->horizontalHeader()->setDefaultSectionSize(colWidth);
    t->view->resize(width, height);
    t->view->setAttribute(Qt::WA_DontShowOnScreen);
    t->view->show();
    t->image = QImage(width, height, QImage::Format_RGB32);
    QApplication::processEvents();
    return t;
}

void TableReferenceScrollTo(TableReference* t, int row) {
    t->view->setCurrentIndex(t->model->index(row, 0));
    t->view->verticalScrollBar()->setValue(row);
    QApplication::processEvents();
}

long TableReferenceRepaint(TableReference* t) {
    t->view->render(&t->image);
    return t->image.pixel(t->image.width() / 2, t->image.height() / 2) & 0xFF;
}

long TableReferencePageDown(TableReference* t) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    QApplication::sendEvent(t->view.get(), &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier);
    QApplication::sendEvent(t->view.get(), &release);
    return TableReferenceRepaint(t);
}

int TableReferenceFirstRow(TableReference* t) {
    return t->view->rowAt(0);
}

void TableReferenceFree(TableReference* t) {
    delete t;
}

} // namespace qtplatform
