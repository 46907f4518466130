// What Qt's own check box paints as its indicator, for the check-box tests.
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPainter>
#include <QStyleOptionButton>

#include "display/display.h"

namespace qtplatform {

namespace {
class ReferenceBox : public QCheckBox {
public:
    QStyleOptionButton Option() const {
        QStyleOptionButton opt;
        initStyleOption(&opt);
        return opt;
    }
};
} // namespace

Image CheckBoxReference(int check, bool enabled, int size, uint32_t background) {
    ReferenceBox box;
    box.setTristate(check == 2);
    box.setCheckState(check == 2 ? Qt::PartiallyChecked : check ? Qt::Checked : Qt::Unchecked);
    box.setEnabled(enabled);
    QStyleOptionButton opt = box.Option();
    opt.rect = QRect(0, 0, size, size);
    // As in an active window.
    opt.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    opt.state |= QStyle::State_Active;
    opt.palette.setCurrentColorGroup(enabled ? QPalette::Active : QPalette::Disabled);
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(background));
    QPainter p(&image);
    box.style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, &p, &box);
    p.end();
    Image out;
    out.width = out.height = size;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) out.pixels.push_back(image.pixel(x, y));
    return out;
}

} // namespace qtplatform
