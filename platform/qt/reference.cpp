// Qt's own text drawing, as the yardstick of the text-drawing benchmark.
#include <QFont>
#include <QImage>
#include <QPainter>

#include "qt_internal.h"

namespace qtplatform {

long DrawTextReference(const std::vector<std::u16string>& lines, const char16_t* family, int pixelSize,
                       int lineHeight, int width, int height, int rounds) {
    QImage image(width, height, QImage::Format_RGB32);
    QFont font(QString::fromUtf16(family));
    font.setPixelSize(pixelSize);
    font.setKerning(false);
    font.setStyleStrategy(QFont::NoSubpixelAntialias);
    std::vector<QString> text;
    for (const auto& l : lines)
        text.push_back(QString::fromUtf16(l.data(), static_cast<qsizetype>(l.size())));
    for (int r = 0; r < rounds; ++r) {
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        int y = 0;
        for (const QString& t : text) {
            p.drawText(QPoint(0, y + pixelSize), t);
            y += lineHeight;
        }
    }
    long ink = 0;
    for (int y = 0; y < height; y += 7)
        for (int x = 0; x < width; x += 7) ink += image.pixel(x, y) != 0xFFFFFFFFu;
    return ink;
}

} // namespace qtplatform
