#include "program_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quillpost {
namespace {

QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.scale(size / 32.0, size / 32.0);

    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    p.setBrush(QColor(0xFF, 0xFF, 0xC0));
    p.drawRect(4, 2, 20, 27);
    p.setPen(QPen(QColor(0x00, 0x00, 0x80), 1));
    for (int y = 7; y <= 25; y += 4)
        p.drawLine(7, y, 20, y);

    QPainterPath quill;
    quill.moveTo(12, 28);
    quill.cubicTo(16, 18, 22, 8, 30, 2);
    quill.cubicTo(28, 10, 22, 20, 12, 28);
    p.setPen(QPen(QColor(0x80, 0x00, 0x00), 1));
    p.setBrush(QColor(0xFF, 0x00, 0x00));
    p.drawPath(quill);
    return pixmap;
}

} // namespace

QIcon programIcon()
{
    QIcon icon;
    icon.addPixmap(drawIcon(16));
    icon.addPixmap(drawIcon(32));
    return icon;
}

} // namespace quillpost
